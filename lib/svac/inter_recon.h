// Inter prediction of a macroblock from the motion cache: one 16x16 block or
// four 8x8 blocks, each from list 0, list 1 or both (averaged).
#pragma once

#include <cstdint>

#include "common.h"

struct SvacDecoder;

// Partition shape (bits 6-7: 0 16x16, 1 16x8, 2 8x16, 3 8x8) and prediction
// directions of each internal macroblock type.
SVAC_EXTERN_C const uint8_t svac_partition_flags[31];

// 0, or -2 when a reference index or reference picture is missing.
SVAC_EXTERN_C int32_t VQ_SVACDEC_svac_inter(SvacDecoder *dec, int32_t type);
