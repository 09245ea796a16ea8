// Macroblock decoders called by the slice loop.
#pragma once

#include <cstdint>

struct SvacDecoder;

// intra_type 0: 4x4 transform with an explicit cbp code; n >= 1: 8x8
// transform with cbp code n - 1. Returns 0 or a negative error.
int decode_mb_i(SvacDecoder *dec, int32_t intra_type);

// type: internal P type 2..6. Returns 0 or a negative error.
int decode_mb_p(SvacDecoder *dec, int32_t type);

// type: internal B type 7..30; others are refused with a message. Returns 0
// or a negative error.
int decode_mb_b(SvacDecoder *dec, int32_t type);

// Marks the current macroblock as non-intra for the mode prediction of later
// macroblocks.
void set_intra_mode_default(SvacDecoder *dec);

// Finishes the reconstructed macroblock of internal type `type`: border,
// deblocking, and the values later macroblocks read of it.
void svac_finish_mb(SvacDecoder *dec, uint32_t type);
