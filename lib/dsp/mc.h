// Motion compensation kernels: quarter-sample luma interpolation, eighth-sample
// chroma interpolation and edge emulation, with the process-wide tables the
// inter reconstruction calls them through.
//
// Every kernel exists for 8-bit samples and for 16-bit words holding 0..1023
// (the `_10b` names); both come from one template on the sample type. Table
// entries take byte pointers and strides in bytes, whatever the sample size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common.h"

// (dst, src, stride): one 8x8 or 16x16 luma block; src is the integer sample
// at the block's top-left, one stride serves source and destination.
using SvacQpelFn = void (*)(uint8_t *dst, const uint8_t *src, ptrdiff_t stride);
// (dst, src, stride, h, x, y): h rows of a fixed width at eighth-sample
// fractions x, y in 0..7.
using SvacChromaMcFn = void (*)(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y);
// (buf, src, buf_stride, src_stride, block_w, block_h, src_x, src_y, w, h).
using SvacEdgeEmuFn = void (*)(uint8_t *buf, const uint8_t *src, ptrdiff_t buf_stride, ptrdiff_t src_stride,
                               int block_w, int block_h, int src_x, int src_y, int w, int h);

// [bit depth - 8][0: 16x16, 1: 8x8][4 * y phase + x phase]; row 1 stays empty.
SVAC_EXTERN_C SvacQpelFn put_svac_qpel_pixels_tab[3][2][16];
SVAC_EXTERN_C SvacQpelFn avg_svac_qpel_pixels_tab[3][2][16];
// [bit depth - 8][0: 8 wide, 1: 4, 2: 2, 3: 1]; row 1 stays empty.
SVAC_EXTERN_C SvacChromaMcFn put_chroma_pixels_tab[3][4];
SVAC_EXTERN_C SvacChromaMcFn avg_chroma_pixels_tab[3][4];
// [0: 8-bit samples, 1: 16-bit samples].
SVAC_EXTERN_C SvacEdgeEmuFn emulated_edge_mc[2];

// Luma block kernels: N x N block (N = 8 or 16), horizontal phase X and
// vertical phase Y in quarter samples. avg stores (d + q + 1) >> 1.
template <typename Pixel, int N, int X, int Y>
void put_svac_qpel(uint8_t *dst, const uint8_t *src, ptrdiff_t stride);
template <typename Pixel, int N, int X, int Y>
void avg_svac_qpel(uint8_t *dst, const uint8_t *src, ptrdiff_t stride);

// Chroma kernels of width W (8, 4, 2 or 1).
template <typename Pixel, int W>
void put_chroma_mc(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y);
template <typename Pixel, int W>
void avg_chroma_mc(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y);

template <typename Pixel>
void emulated_edge_mc_tpl(uint8_t *buf, const uint8_t *src, ptrdiff_t buf_stride, ptrdiff_t src_stride,
                          int block_w, int block_h, int src_x, int src_y, int w, int h);

// The kernels by name: put_svac_qpel8_mc21_c is the 8x8 put kernel with
// x = 2, y = 1, put_svac_qpel8_mc21_c_10b its 16-bit twin.
#define SVAC_QPEL_NAME(op, n, x, y)                                                                   \
    inline constexpr SvacQpelFn op##_svac_qpel##n##_mc##x##y##_c = &op##_svac_qpel<uint8_t, n, x, y>; \
    inline constexpr SvacQpelFn op##_svac_qpel##n##_mc##x##y##_c_10b = &op##_svac_qpel<uint16_t, n, x, y>;
#define SVAC_QPEL_NAME_ROW(op, n, y) \
    SVAC_QPEL_NAME(op, n, 0, y)      \
    SVAC_QPEL_NAME(op, n, 1, y) SVAC_QPEL_NAME(op, n, 2, y) SVAC_QPEL_NAME(op, n, 3, y)
#define SVAC_QPEL_NAME_ALL(op, n) \
    SVAC_QPEL_NAME_ROW(op, n, 0)  \
    SVAC_QPEL_NAME_ROW(op, n, 1) SVAC_QPEL_NAME_ROW(op, n, 2) SVAC_QPEL_NAME_ROW(op, n, 3)
SVAC_QPEL_NAME_ALL(put, 8)
SVAC_QPEL_NAME_ALL(put, 16)
SVAC_QPEL_NAME_ALL(avg, 8)
SVAC_QPEL_NAME_ALL(avg, 16)
#undef SVAC_QPEL_NAME_ALL
#undef SVAC_QPEL_NAME_ROW
#undef SVAC_QPEL_NAME

#define SVAC_CHROMA_NAME(op, w)                                                            \
    inline constexpr SvacChromaMcFn op##_chroma_mc##w##_8_c = &op##_chroma_mc<uint8_t, w>; \
    inline constexpr SvacChromaMcFn op##_chroma_mc##w##_8_c_10b = &op##_chroma_mc<uint16_t, w>;
SVAC_CHROMA_NAME(put, 8)
SVAC_CHROMA_NAME(put, 4)
SVAC_CHROMA_NAME(put, 2)
SVAC_CHROMA_NAME(put, 1)
SVAC_CHROMA_NAME(avg, 8)
SVAC_CHROMA_NAME(avg, 4)
SVAC_CHROMA_NAME(avg, 2)
SVAC_CHROMA_NAME(avg, 1)
#undef SVAC_CHROMA_NAME

inline constexpr SvacEdgeEmuFn emulated_edge_mc_c = &emulated_edge_mc_tpl<uint8_t>;
inline constexpr SvacEdgeEmuFn emulated_edge_mc_16_c = &emulated_edge_mc_tpl<uint16_t>;
