// Inter-layer intra predictors: the co-located base-layer samples upsampled
// by two in each direction with the four-tap filter (-1, 9, 9, -1) / 16.
#include <algorithm>

#include "dsp/predict.h"

namespace {

template <int M>
inline int half_sample(int a, int b, int c, int d) {
    return std::clamp((9 * (b + c) - a - d + 8) >> 4, 0, M);
}

// W base columns, clip bound M; strides count samples.
template <typename pixel, int W, int M>
void pred_svc(uint8_t *dst_bytes, const uint8_t *src_bytes, int dst_stride, int src_stride, int n) {
    if (n > 8) {
        svac_report_check("n <= 8", __FILE__, __LINE__);
        return;
    }
    constexpr int C = W + 3;  // base columns -1 .. W+1
    pixel *dst = reinterpret_cast<pixel *>(dst_bytes);
    const pixel *src = reinterpret_cast<const pixel *>(src_bytes);

    // Vertical stage: even rows keep the base row, odd rows hold the
    // half-way row below it.
    int buf[16][C];
    for (int r = 0; r < n; r++) {
        const pixel *s = src + r * src_stride - 1;
        for (int c = 0; c < C; c++) {
            const int cur = s[c];
            buf[2 * r][c] = cur;
            buf[2 * r + 1][c] =
                half_sample<M>(s[c - src_stride], cur, s[c + src_stride], s[c + 2 * src_stride]);
        }
    }
    // Horizontal stage: even columns copy, odd columns interpolate.
    for (int r = 0; r < 2 * n; r++) {
        const int *b = buf[r] + 1;  // b[-1 .. W+1]
        pixel *d = dst + r * dst_stride;
        for (int c = 0; c < W; c++) {
            d[2 * c] = static_cast<pixel>(b[c]);
            d[2 * c + 1] = static_cast<pixel>(half_sample<M>(b[c - 1], b[c], b[c + 1], b[c + 2]));
        }
    }
}

}  // namespace

void intra_pred_svc8(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n) {
    pred_svc<uint8_t, 8, 255>(dst, src, dst_stride, src_stride, n);
}
void intra_pred_svc8_9(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n) {
    pred_svc<uint16_t, 8, 511>(dst, src, dst_stride, src_stride, n);
}
void intra_pred_svc8_10(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n) {
    pred_svc<uint16_t, 8, 1023>(dst, src, dst_stride, src_stride, n);
}
void intra_pred_svc4(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n) {
    pred_svc<uint8_t, 4, 255>(dst, src, dst_stride, src_stride, n);
}
void intra_pred_svc4_9(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n) {
    pred_svc<uint16_t, 4, 511>(dst, src, dst_stride, src_stride, n);
}
void intra_pred_svc4_10(uint8_t *dst, const uint8_t *src, int dst_stride, int src_stride, int n) {
    pred_svc<uint16_t, 4, 1023>(dst, src, dst_stride, src_stride, n);
}
