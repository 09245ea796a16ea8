// Transform coefficients of CABAC slices: one block's (run, level) pairs, in
// the order and meaning of the VLC residual decoder (highest frequency
// first), ready for the shared dequantiser.
#pragma once

#include <cstdint>

#include "cabac/engine.h"
#include "dsp/quant.h"

// First context of the group of a block.
inline int svac_cabac_coef_group(bool field, bool luma) { return 64 + 67 * (2 * field + !luma); }

// Pairs of an 8x8 block (at most 65) or a 4x4 block (at most 17); returns
// their count, at least 1.
int cabac_decode_trans_coefficient(SvacCabac *c, int group, SvacRunLevel *pairs);
int cabac_decode_trans_coefficient_4x4(SvacCabac *c, int group, SvacRunLevel *pairs);
