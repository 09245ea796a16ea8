// Forward transforms and quantisation for real-mode encoding, designed as
// the least-squares inverse of the decoder's integer transforms: the inverse
// transform of the dequantised levels reproduces the residual up to the
// quantisation error.
#pragma once

#include <cstdint>

#include "macroblock.h"

namespace svacenc {

// residual: N x N values in raster order (row * N + column). levels: N x N
// quantised values in coefficient order (index N*u + v: horizontal
// frequency u, vertical frequency v). deadzone: rounding offset in 1/256
// (128 rounds to nearest). Returns the number of non-zero levels.
int forward_quant_4x4(const int32_t *residual, int qp, int deadzone, int32_t *levels);
int forward_quant_8x8(const int32_t *residual, int qp, int deadzone, int32_t *levels);

// Unquantised transform coefficients (same layout), scaled so that the
// decoder's inverse transform maps them back onto the residual.
void forward_transform_4x4(const int32_t *residual, double *coeffs);
void forward_transform_8x8(const int32_t *residual, double *coeffs);

// Lists the levels as (run, level) pairs in decoding order along the frame
// scan (scan 0) or the field scan (1); levels are clamped to +-2047.
void levels_to_pairs(const int32_t *levels, bool is4x4, BlockPairs *out, int scan = 0);

}  // namespace svacenc
