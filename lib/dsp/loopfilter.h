// Deblocking filter kernels: one macroblock edge per call, in two halves
// (luma lines 0..7 and 8..15, chroma 0..3 and 4..7) with their own strength
// and clip value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common.h"

// edge: first sample past the edge in the first line (right of a vertical
// edge, below a horizontal one); stride in bytes; tc0 and bs hold one clip
// value and one boundary strength (0..3) per half.
typedef void (*SvacLoopFilterFunc)(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                                   const uint8_t bs[2]);

// Indexed by bit depth - 8; entry 1 stays empty.
SVAC_EXTERN_C SvacLoopFilterFunc svac_filter_lv[3];
SVAC_EXTERN_C SvacLoopFilterFunc svac_filter_lh[3];
SVAC_EXTERN_C SvacLoopFilterFunc svac_filter_cv[3];
SVAC_EXTERN_C SvacLoopFilterFunc svac_filter_ch[3];

// Portable kernels; the _10b ones take 16-bit samples (0..1023).
void svac_filter_lv_c(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                      const uint8_t bs[2]);
void svac_filter_lh_c(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                      const uint8_t bs[2]);
void svac_filter_cv_c(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                      const uint8_t bs[2]);
void svac_filter_ch_c(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                      const uint8_t bs[2]);
void svac_filter_lv_c_10b(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                          const uint8_t bs[2]);
void svac_filter_lh_c_10b(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                          const uint8_t bs[2]);
void svac_filter_cv_c_10b(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                          const uint8_t bs[2]);
void svac_filter_ch_c_10b(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                          const uint8_t bs[2]);
