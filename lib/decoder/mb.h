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

// type: internal P type 2..6. Returns 0 or a negative error.
int decode_mb_p(SvacDecoder *dec, int32_t type);

// Marks the current macroblock as non-intra for the mode prediction of later
// macroblocks.
void set_intra_mode_default(SvacDecoder *dec);

// Fills the deblocking record for the current macroblock of internal type
// `type` and finishes the macroblock: border, filter and neighbour values.
void svac_fill_filter_params(SvacDecoder *dec, uint32_t type);
void svac_finish_mb(SvacDecoder *dec, uint32_t type);
