// Portable luma and chroma block predictors, 8- and 10-bit from one template.
#include <algorithm>

#include "dsp/pixel.h"
#include "dsp/predict.h"

namespace {

template <typename pixel>
inline pixel *row_of(uint8_t *dst, int stride, int y) {
    return pixel_row<pixel>(dst, stride, y);
}

template <typename pixel>
inline const pixel *samples_of(const uint8_t *p) {
    return reinterpret_cast<const pixel *>(p);
}

// Three-tap smoothing of a[i]; every DC-like mode works on these values.
template <typename pixel>
inline int smooth(const pixel *a, int i) {
    return (a[i - 1] + 2 * a[i] + a[i + 1] + 2) >> 2;
}

template <typename pixel, int N>
void pred_vert(uint8_t *dst, const uint8_t *top, const uint8_t *, int stride) {
    const pixel *t = samples_of<pixel>(top);
    for (int y = 0; y < N; y++) std::copy_n(t + 1, N, row_of<pixel>(dst, stride, y));
}

template <typename pixel, int N>
void pred_horiz(uint8_t *dst, const uint8_t *, const uint8_t *left, int stride) {
    const pixel *l = samples_of<pixel>(left);
    for (int y = 0; y < N; y++) std::fill_n(row_of<pixel>(dst, stride, y), N, l[y + 1]);
}

// Not a flat DC: each sample averages the smoothed neighbour above its
// column and the one left of its row, truncating.
template <typename pixel, int N>
void pred_lp(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    const pixel *t = samples_of<pixel>(top);
    const pixel *l = samples_of<pixel>(left);
    int tf[N], lf[N];
    for (int i = 0; i < N; i++) {
        tf[i] = smooth(t, i + 1);
        lf[i] = smooth(l, i + 1);
    }
    for (int y = 0; y < N; y++) {
        pixel *d = row_of<pixel>(dst, stride, y);
        for (int x = 0; x < N; x++) d[x] = static_cast<pixel>((tf[x] + lf[y]) >> 1);
    }
}

template <typename pixel, int N>
void pred_lp_left(uint8_t *dst, const uint8_t *, const uint8_t *left, int stride) {
    const pixel *l = samples_of<pixel>(left);
    for (int y = 0; y < N; y++)
        std::fill_n(row_of<pixel>(dst, stride, y), N, static_cast<pixel>(smooth(l, y + 1)));
}

template <typename pixel, int N>
void pred_lp_top(uint8_t *dst, const uint8_t *top, const uint8_t *, int stride) {
    const pixel *t = samples_of<pixel>(top);
    pixel row[N];
    for (int x = 0; x < N; x++) row[x] = static_cast<pixel>(smooth(t, x + 1));
    for (int y = 0; y < N; y++) std::copy_n(row, N, row_of<pixel>(dst, stride, y));
}

// Every anti-diagonal x + y = k shares the value (Tf(k+2) + Lf(k+2)) >> 1,
// reaching top[2N+1] and left[2N+1] in the bottom-right corner.
template <typename pixel, int N>
void pred_down_left(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    const pixel *t = samples_of<pixel>(top);
    const pixel *l = samples_of<pixel>(left);
    pixel diag[2 * N - 1];
    for (int k = 0; k < 2 * N - 1; k++)
        diag[k] = static_cast<pixel>((smooth(t, k + 2) + smooth(l, k + 2)) >> 1);
    for (int y = 0; y < N; y++) std::copy_n(diag + y, N, row_of<pixel>(dst, stride, y));
}

// Every diagonal x - y = k shares one value: smoothed top above the main
// diagonal, smoothed left below it, and a corner filter on it.
template <typename pixel, int N>
void pred_down_right(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    const pixel *t = samples_of<pixel>(top);
    const pixel *l = samples_of<pixel>(left);
    pixel diag[2 * N - 1];  // diag[N - 1 + k] for k = x - y
    diag[N - 1] = static_cast<pixel>((t[1] + 2 * t[0] + l[1] + 2) >> 2);
    for (int k = 1; k < N; k++) {
        diag[N - 1 + k] = static_cast<pixel>(smooth(t, k));
        diag[N - 1 - k] = static_cast<pixel>(smooth(l, k));
    }
    for (int y = 0; y < N; y++) std::copy_n(diag + N - 1 - y, N, row_of<pixel>(dst, stride, y));
}

template <typename pixel, int N>
void pred_dc_128(uint8_t *dst, const uint8_t *, const uint8_t *, int stride) {
    constexpr pixel mid = sizeof(pixel) == 1 ? 128 : 512;
    for (int y = 0; y < N; y++) std::fill_n(row_of<pixel>(dst, stride, y), N, mid);
}

// Chroma 8x8 only; the one block mode whose result needs clipping.
template <typename pixel, int N>
void pred_plane(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    static_assert(N == 8);
    const pixel *t = samples_of<pixel>(top);
    const pixel *l = samples_of<pixel>(left);
    int h = 0, v = 0;
    for (int i = 1; i <= 4; i++) {
        h += i * (t[4 + i] - t[4 - i]);
        v += i * (l[4 + i] - l[4 - i]);
    }
    const int b = (17 * h + 16) >> 5;
    const int c = (17 * v + 16) >> 5;
    const int a = 16 * (t[8] + l[8]);
    for (int y = 0; y < 8; y++) {
        pixel *d = row_of<pixel>(dst, stride, y);
        for (int x = 0; x < 8; x++) d[x] = clip_pixel<pixel>((a + b * (x - 3) + c * (y - 3) + 16) >> 5);
    }
}

}  // namespace

// The named kernels: the 8-bit and 10-bit instantiations of one template.
#define SVAC_BLOCK_KERNELS(name, tmpl, n)                                                \
    void name(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {       \
        tmpl<uint8_t, n>(dst, top, left, stride);                                        \
    }                                                                                    \
    void name##_10b(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) { \
        tmpl<uint16_t, n>(dst, top, left, stride);                                       \
    }

SVAC_BLOCK_KERNELS(intra_pred_vert_4x4, pred_vert, 4)
SVAC_BLOCK_KERNELS(intra_pred_horiz_4x4, pred_horiz, 4)
SVAC_BLOCK_KERNELS(intra_pred_lp_4x4, pred_lp, 4)
SVAC_BLOCK_KERNELS(intra_pred_down_left_4x4, pred_down_left, 4)
SVAC_BLOCK_KERNELS(intra_pred_down_right_4x4, pred_down_right, 4)
SVAC_BLOCK_KERNELS(intra_pred_lp_left_4x4, pred_lp_left, 4)
SVAC_BLOCK_KERNELS(intra_pred_lp_top_4x4, pred_lp_top, 4)
SVAC_BLOCK_KERNELS(intra_pred_dc_128_4x4, pred_dc_128, 4)

SVAC_BLOCK_KERNELS(intra_pred_vert, pred_vert, 8)
SVAC_BLOCK_KERNELS(intra_pred_horiz, pred_horiz, 8)
SVAC_BLOCK_KERNELS(intra_pred_lp, pred_lp, 8)
SVAC_BLOCK_KERNELS(intra_pred_down_left, pred_down_left, 8)
SVAC_BLOCK_KERNELS(intra_pred_down_right, pred_down_right, 8)
SVAC_BLOCK_KERNELS(intra_pred_lp_left, pred_lp_left, 8)
SVAC_BLOCK_KERNELS(intra_pred_lp_top, pred_lp_top, 8)
SVAC_BLOCK_KERNELS(intra_pred_dc_128, pred_dc_128, 8)
SVAC_BLOCK_KERNELS(intra_pred_plane, pred_plane, 8)
