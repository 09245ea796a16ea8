// Portable 4x4 and 8x8 inverse transforms with reconstruction.
#include "dsp/dct.h"

#include <algorithm>

#include "dsp/dsp_init.h"
#include "dsp/pixel.h"

SvacIdctAddFn svac_idct4_add[3];
SvacIdctAddFn svac_idct8_add[3];

namespace {

// All arithmetic is unsigned so that it wraps like 32-bit two's complement;
// only the shifts reinterpret the value as signed.
inline int32_t sar(uint32_t v, int n) { return static_cast<int32_t>(v) >> n; }

inline void idct4_1d(const uint32_t x[4], uint32_t y[4]) {
    const uint32_t e0 = 4 * (x[0] + x[2]);
    const uint32_t e1 = 4 * (x[0] - x[2]);
    const uint32_t o0 = 5 * x[1] + 2 * x[3];
    const uint32_t o1 = 2 * x[1] - 5 * x[3];
    y[0] = e0 + o0;
    y[1] = e1 + o1;
    y[2] = e1 - o1;
    y[3] = e0 - o0;
}

inline void idct8_1d(const uint32_t x[8], uint32_t y[8]) {
    const uint32_t a0 = 8 * (x[0] + x[4]);
    const uint32_t a1 = 8 * (x[0] - x[4]);
    const uint32_t b0 = 10 * x[2] + 4 * x[6];
    const uint32_t b1 = 4 * x[2] - 10 * x[6];
    const uint32_t e0 = a0 + b0, e1 = a1 + b1, e2 = a1 - b1, e3 = a0 - b0;
    const uint32_t o0 = 12 * x[1] + 10 * x[3] + 6 * x[5] + 3 * x[7];
    const uint32_t o1 = 10 * x[1] - 3 * x[3] - 12 * x[5] - 6 * x[7];
    const uint32_t o2 = 6 * x[1] - 12 * x[3] + 3 * x[5] + 10 * x[7];
    const uint32_t o3 = 3 * x[1] - 6 * x[3] + 10 * x[5] - 12 * x[7];
    y[0] = e0 + o0;
    y[1] = e1 + o1;
    y[2] = e2 + o2;
    y[3] = e3 + o3;
    y[4] = e3 - o3;
    y[5] = e2 - o2;
    y[6] = e1 - o1;
    y[7] = e0 - o0;
}

template <int N>
inline void idct_1d(const uint32_t x[N], uint32_t y[N]) {
    if constexpr (N == 4)
        idct4_1d(x, y);
    else
        idct8_1d(x, y);
}

// N = 4: first pass unshifted, residual (r + 512) >> 10.
// N = 8: first pass >> 3 without rounding, residual (r + 1024) >> 11.
template <typename pixel, int N>
inline void inverse_transform_add(uint8_t *dst, int32_t *block, int stride) {
    constexpr int pass1_shift = N == 4 ? 0 : 3;
    constexpr int pass2_shift = N == 4 ? 10 : 11;
    constexpr uint32_t round = 1u << (pass2_shift - 1);
    uint32_t x[N], y[N];

    // Over the horizontal frequencies, one vertical frequency at a time; the
    // results (one per sample column) go back into the block in place.
    for (int v = 0; v < N; v++) {
        for (int u = 0; u < N; u++) x[u] = static_cast<uint32_t>(block[N * u + v]);
        idct_1d<N>(x, y);
        for (int c = 0; c < N; c++) block[N * c + v] = sar(y[c], pass1_shift);
    }
    // Over the vertical frequencies, one sample column at a time.
    for (int c = 0; c < N; c++) {
        for (int v = 0; v < N; v++) x[v] = static_cast<uint32_t>(block[N * c + v]);
        idct_1d<N>(x, y);
        for (int r = 0; r < N; r++) {
            pixel *p = pixel_row<pixel>(dst, stride, r) + c;
            *p = clip_pixel<pixel>(*p + sar(y[r] + round, pass2_shift));
        }
    }
}

}  // namespace

void VQ_SVACDEC_svac_inverse_transform_4x4(uint8_t *dst, int32_t *block, int stride) {
    inverse_transform_add<uint8_t, 4>(dst, block, stride);
}

void VQ_SVACDEC_svac_inverse_transform_4x4_10b(uint8_t *dst, int32_t *block, int stride) {
    inverse_transform_add<uint16_t, 4>(dst, block, stride);
}

void VQ_SVACDEC_svac_inverse_transform_8x8(uint8_t *dst, int32_t *block, int stride) {
    inverse_transform_add<uint8_t, 8>(dst, block, stride);
}

void VQ_SVACDEC_svac_inverse_transform_8x8_10b(uint8_t *dst, int32_t *block, int stride) {
    inverse_transform_add<uint16_t, 8>(dst, block, stride);
}

void VQ_SVACDEC_dct_init(uint32_t cpu_flags) {
    svac_idct4_add[0] = VQ_SVACDEC_svac_inverse_transform_4x4;
    svac_idct4_add[1] = nullptr;
    svac_idct4_add[2] = VQ_SVACDEC_svac_inverse_transform_4x4_10b;
    svac_idct8_add[0] = VQ_SVACDEC_svac_inverse_transform_8x8;
    svac_idct8_add[1] = nullptr;
    svac_idct8_add[2] = VQ_SVACDEC_svac_inverse_transform_8x8_10b;
    VQ_SVACDEC_dct_init_x86(cpu_flags);
}
