// Intra prediction kernels: luma 4x4 and 8x8 blocks, chroma 8x8 blocks and
// the inter-layer predictors that upsample the base layer by two.
#pragma once

#include <cstdint>

#include "common.h"

// Block kernels read only two neighbour arrays of the block's sample type
// (8-bit, or 16-bit words for 10-bit pictures), each 2N+2 entries:
//   top:  [0] corner, [1..N] above, [N+1..2N] above-right, [2N+1] one more;
//   left: [0] corner, [1..N] left, [N+1..2N] below-left, [2N+1] one more.
// Chroma modes read no entry beyond N+1. dst is the block's top-left sample
// in the picture, stride the line step in bytes.
using SvacIntraPredKernel = void(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride);
using SvacIntraPredFn = SvacIntraPredKernel *;

// Inter-layer predictors: upsample n (1..8) base rows of W = 8 (luma) or
// W = 4 (chroma) samples at src into 2n rows of 2W samples at dst. They read
// base rows -1..n+1 and columns -1..W+1. Both strides count samples.
using SvacIntraPredSvcKernel = void(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n);
using SvacIntraPredSvcFn = SvacIntraPredSvcKernel *;

// Luma modes (both sizes): 0 vertical, 1 horizontal, 2 DC from filtered top
// and left, 3 down-left, 4 down-right, 5 DC from left, 6 DC from top,
// 7 mid-grey. Entry = 8 * (bit depth - 8) + mode; the 9-bit row stays empty.
SVAC_EXTERN_C SvacIntraPredFn intra_pred_l_4x4[24];
SVAC_EXTERN_C SvacIntraPredFn intra_pred_l[24];
// Chroma modes: 0 DC from filtered top and left, 1 horizontal, 2 vertical,
// 3 plane, 4 DC from left, 5 DC from top, 6 mid-grey.
// Entry = 7 * (bit depth - 8) + mode; the 9-bit row stays empty.
SVAC_EXTERN_C SvacIntraPredFn intra_pred_c[21];
// Inter-layer predictors by bit depth - 8 (8, 9 and 10 bits).
SVAC_EXTERN_C SvacIntraPredSvcFn intra_pred_svc_l[3];
SVAC_EXTERN_C SvacIntraPredSvcFn intra_pred_svc_c[3];

// The entries of the flat tables by bit-depth index and mode.
inline SvacIntraPredFn intra_pred_luma_4x4(int depth_idx, int mode) {
    return intra_pred_l_4x4[8 * depth_idx + mode];
}
inline SvacIntraPredFn intra_pred_luma(int depth_idx, int mode) { return intra_pred_l[8 * depth_idx + mode]; }
inline SvacIntraPredFn intra_pred_chroma(int depth_idx, int mode) {
    return intra_pred_c[7 * depth_idx + mode];
}

// Portable kernels.
SvacIntraPredKernel intra_pred_vert_4x4, intra_pred_horiz_4x4, intra_pred_lp_4x4, intra_pred_down_left_4x4,
    intra_pred_down_right_4x4, intra_pred_lp_left_4x4, intra_pred_lp_top_4x4, intra_pred_dc_128_4x4;
SvacIntraPredKernel intra_pred_vert_4x4_10b, intra_pred_horiz_4x4_10b, intra_pred_lp_4x4_10b,
    intra_pred_down_left_4x4_10b, intra_pred_down_right_4x4_10b, intra_pred_lp_left_4x4_10b,
    intra_pred_lp_top_4x4_10b, intra_pred_dc_128_4x4_10b;
SvacIntraPredKernel intra_pred_vert, intra_pred_horiz, intra_pred_lp, intra_pred_down_left,
    intra_pred_down_right, intra_pred_lp_left, intra_pred_lp_top, intra_pred_dc_128, intra_pred_plane;
SvacIntraPredKernel intra_pred_vert_10b, intra_pred_horiz_10b, intra_pred_lp_10b, intra_pred_down_left_10b,
    intra_pred_down_right_10b, intra_pred_lp_left_10b, intra_pred_lp_top_10b, intra_pred_dc_128_10b,
    intra_pred_plane_10b;
SvacIntraPredSvcKernel intra_pred_svc8, intra_pred_svc8_9, intra_pred_svc8_10;
SvacIntraPredSvcKernel intra_pred_svc4, intra_pred_svc4_9, intra_pred_svc4_10;
