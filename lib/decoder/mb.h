// Macroblock decoders called by the slice loop.
#pragma once

#include <cstdint>

struct SvacDecoder;

// intra_type 0: 4x4 transform with an explicit cbp code; n >= 1: 8x8
// transform with cbp code n - 1. Returns 0 or a negative error.
int decode_mb_i(SvacDecoder *dec, int32_t intra_type);

#include "common.h"

// Deblocks the current macroblock with the decoder's filter record.
SVAC_EXTERN_C void VQ_SVACDEC_svac_filter_mb(SvacDecoder *dec);
