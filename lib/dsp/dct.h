// Inverse transforms that add their residual to the prediction in place.
// The coefficient block is column by column (index N*u + v: horizontal
// frequency u, vertical frequency v), as the dequantisers leave it.
#pragma once

#include <cstdint>

#include "common.h"

// dst: top-left sample of the block in the picture (8-bit samples, or
// 16-bit words for 10-bit pictures); block: 16 or 64 coefficients, used as
// scratch (keep it 16-byte aligned for the SIMD kernels); stride: line step
// in bytes, may be negative.
using SvacIdctAddFn = void (*)(uint8_t *dst, int32_t *block, int stride);

// Indexed by bit depth - 8: entry 0 8-bit, entry 2 10-bit, entry 1 empty.
SVAC_EXTERN_C SvacIdctAddFn svac_idct4_add[3];
SVAC_EXTERN_C SvacIdctAddFn svac_idct8_add[3];

// Portable kernels.
SVAC_EXTERN_C void VQ_SVACDEC_svac_inverse_transform_4x4(uint8_t *dst, int32_t *block, int stride);
SVAC_EXTERN_C void VQ_SVACDEC_svac_inverse_transform_4x4_10b(uint8_t *dst, int32_t *block, int stride);
SVAC_EXTERN_C void VQ_SVACDEC_svac_inverse_transform_8x8(uint8_t *dst, int32_t *block, int stride);
SVAC_EXTERN_C void VQ_SVACDEC_svac_inverse_transform_8x8_10b(uint8_t *dst, int32_t *block, int stride);
