// Quarter-sample luma interpolation. Every phase is computed straight from
// integer samples with its own separable filter; only the four diagonal
// quarter phases mix in the nearest integer sample, inside one rounding.
#include <cstring>

#include "dsp/mc.h"
#include "dsp/pixel.h"

namespace {

enum class Tap { hpel, qpel_l, qpel_r };

// Non-zero taps only, so no kernel touches a sample it does not weigh.
// `first` is the offset of the first tap from p[0]; the output sits between
// p[0] and p[1]; every filter's gain is 1 << log2_gain.
template <Tap F>
struct Taps;
template <>
struct Taps<Tap::hpel> {
    static constexpr int first = -1, count = 4, log2_gain = 3;
    static constexpr int c[4] = {-1, 5, 5, -1};
};
template <>
struct Taps<Tap::qpel_l> {
    static constexpr int first = -2, count = 5, log2_gain = 7;
    static constexpr int c[5] = {-1, -2, 96, 42, -7};
};
template <>
struct Taps<Tap::qpel_r> {
    static constexpr int first = -1, count = 5, log2_gain = 7;
    static constexpr int c[5] = {-7, 42, 96, -2, -1};
};

template <typename Pixel>
inline int load(const uint8_t *p) {
    return *reinterpret_cast<const Pixel *>(p);
}

template <typename Pixel, bool Avg>
inline void store(uint8_t *d, int q) {
    Pixel *p = reinterpret_cast<Pixel *>(d);
    if constexpr (Avg)
        *p = static_cast<Pixel>((*p + q + 1) >> 1);
    else
        *p = static_cast<Pixel>(q);
}

// Stores one row of eight predictions. Computing a whole row before storing
// keeps the loads apart from the stores, so the compiler vectorises both.
template <typename Pixel, bool Avg>
inline void store_row(uint8_t *d, const int (&q)[8]) {
    Pixel *p = reinterpret_cast<Pixel *>(d);
    for (int i = 0; i < 8; i++) {
        if constexpr (Avg)
            p[i] = static_cast<Pixel>((p[i] + q[i] + 1) >> 1);
        else
            p[i] = static_cast<Pixel>(q[i]);
    }
}

// Unscaled filter sum around p, taps `step` bytes apart.
template <typename Pixel, Tap F>
inline int filter_sum(const uint8_t *p, ptrdiff_t step) {
    using T = Taps<F>;
    int sum = 0;
    for (int k = 0; k < T::count; k++) sum += T::c[k] * load<Pixel>(p + (T::first + k) * step);
    return sum;
}

using Filt8Fn = void (*)(uint8_t *dst, const uint8_t *src, ptrdiff_t dst_stride, ptrdiff_t src_stride);
using Filt8EgprFn = void (*)(uint8_t *dst, const uint8_t *src, const uint8_t *int_src, ptrdiff_t dst_stride,
                             ptrdiff_t src_stride);

template <typename Pixel, bool Avg>
void copy8(uint8_t *dst, const uint8_t *src, ptrdiff_t dst_stride, ptrdiff_t src_stride) {
    for (int j = 0; j < 8; j++) {
        if constexpr (Avg) {
            int q[8];
            for (int i = 0; i < 8; i++) q[i] = load<Pixel>(src + i * ptrdiff_t(sizeof(Pixel)));
            store_row<Pixel, true>(dst, q);
        } else {
            std::memcpy(dst, src, 8 * sizeof(Pixel));
        }
        dst += dst_stride;
        src += src_stride;
    }
}

// One pass along rows (Vertical false) or columns, rounded and clipped, over
// eight rows of W samples. The prediction never overlaps its reference, and
// rows of 16 let the compiler vectorise the loop.
template <typename Pixel, Tap F, bool Vertical, bool Avg, int W = 8>
void filt8_1d(uint8_t *__restrict dst, const uint8_t *__restrict src, ptrdiff_t dst_stride,
              ptrdiff_t src_stride) {
    constexpr int shift = Taps<F>::log2_gain;
    const ptrdiff_t step = Vertical ? src_stride : ptrdiff_t(sizeof(Pixel));
    for (int j = 0; j < 8; j++) {
        for (int i = 0; i < W; i++) {
            const ptrdiff_t o = i * ptrdiff_t(sizeof(Pixel));
            const int v = filter_sum<Pixel, F>(src + o, step);
            store<Pixel, Avg>(dst + o, clip_pixel<Pixel>((v + (1 << (shift - 1))) >> shift));
        }
        dst += dst_stride;
        src += src_stride;
    }
}

// Unscaled horizontal sums of the rows the vertical filter FV needs.
template <typename Pixel, Tap FH, Tap FV>
struct HorizontalRows {
    static constexpr int first = Taps<FV>::first, count = 7 + Taps<FV>::count;
    int32_t h[count][8];

    HorizontalRows(const uint8_t *src, ptrdiff_t src_stride) {
        const uint8_t *row = src + first * src_stride;
        for (int r = 0; r < count; r++, row += src_stride)
            for (int i = 0; i < 8; i++)
                h[r][i] = filter_sum<Pixel, FH>(row + i * ptrdiff_t(sizeof(Pixel)), sizeof(Pixel));
    }
    // Unscaled vertical sum over the intermediates for output (i, j).
    int vertical(int i, int j) const {
        using T = Taps<FV>;
        int sum = 0;
        for (int k = 0; k < T::count; k++) sum += T::c[k] * h[j + k][i];
        return sum;
    }
};

// Two passes: horizontal FH, then vertical FV on the unclipped intermediates,
// with a single rounding at the end.
template <typename Pixel, Tap FH, Tap FV, bool Avg>
void filt8_hv(uint8_t *dst, const uint8_t *src, ptrdiff_t dst_stride, ptrdiff_t src_stride) {
    constexpr int shift = Taps<FH>::log2_gain + Taps<FV>::log2_gain;
    const HorizontalRows<Pixel, FH, FV> rows(src, src_stride);
    for (int j = 0; j < 8; j++, dst += dst_stride) {
        int q[8];
        for (int i = 0; i < 8; i++)
            q[i] = clip_pixel<Pixel>((rows.vertical(i, j) + (1 << (shift - 1))) >> shift);
        store_row<Pixel, Avg>(dst, q);
    }
}

// Diagonal quarter phases: the centre half-sample sum (gain 64) averaged with
// the nearest integer sample within one rounding step.
template <typename Pixel, bool Avg>
void filt8_hv_egpr(uint8_t *dst, const uint8_t *src, const uint8_t *int_src, ptrdiff_t dst_stride,
                   ptrdiff_t src_stride) {
    const HorizontalRows<Pixel, Tap::hpel, Tap::hpel> rows(src, src_stride);
    for (int j = 0; j < 8; j++, dst += dst_stride, int_src += src_stride) {
        int q[8];
        for (int i = 0; i < 8; i++)
            q[i] = clip_pixel<Pixel>(
                (rows.vertical(i, j) + 64 * load<Pixel>(int_src + i * ptrdiff_t(sizeof(Pixel))) + 64) >> 7);
        store_row<Pixel, Avg>(dst, q);
    }
}

// The building blocks of the phases, each for one 8x8 block: Filt8<P, false>
// holds put_svac_filt8_v_hpel ... put_svac_filt8_hv_egpr, Filt8<P, true> their
// averaging twins.
template <typename Pixel, bool Avg>
struct Filt8 {
    static constexpr Filt8Fn v_hpel = &filt8_1d<Pixel, Tap::hpel, true, Avg>;
    static constexpr Filt8Fn h_hpel = &filt8_1d<Pixel, Tap::hpel, false, Avg>;
    static constexpr Filt8Fn v_qpel_l = &filt8_1d<Pixel, Tap::qpel_l, true, Avg>;
    static constexpr Filt8Fn h_qpel_l = &filt8_1d<Pixel, Tap::qpel_l, false, Avg>;
    static constexpr Filt8Fn v_qpel_r = &filt8_1d<Pixel, Tap::qpel_r, true, Avg>;
    static constexpr Filt8Fn h_qpel_r = &filt8_1d<Pixel, Tap::qpel_r, false, Avg>;
    static constexpr Filt8Fn hv_jj = &filt8_hv<Pixel, Tap::hpel, Tap::hpel, Avg>;
    static constexpr Filt8Fn hv_ff = &filt8_hv<Pixel, Tap::hpel, Tap::qpel_l, Avg>;
    static constexpr Filt8Fn hv_ii = &filt8_hv<Pixel, Tap::qpel_l, Tap::hpel, Avg>;
    static constexpr Filt8Fn hv_kk = &filt8_hv<Pixel, Tap::qpel_r, Tap::hpel, Avg>;
    static constexpr Filt8Fn hv_qq = &filt8_hv<Pixel, Tap::hpel, Tap::qpel_r, Avg>;
    static constexpr Filt8EgprFn hv_egpr = &filt8_hv_egpr<Pixel, Avg>;
};

// One 8x8 block at phase (X, Y).
template <typename Pixel, int X, int Y, bool Avg>
inline void qpel8(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    using B = Filt8<Pixel, Avg>;
    if constexpr (X == 0 && Y == 0) {
        copy8<Pixel, Avg>(dst, src, stride, stride);
    } else if constexpr (Y == 0) {
        constexpr Filt8Fn f = X == 1 ? B::h_qpel_l : X == 2 ? B::h_hpel : B::h_qpel_r;
        f(dst, src, stride, stride);
    } else if constexpr (X == 0) {
        constexpr Filt8Fn f = Y == 1 ? B::v_qpel_l : Y == 2 ? B::v_hpel : B::v_qpel_r;
        f(dst, src, stride, stride);
    } else if constexpr ((X & 1) && (Y & 1)) {
        // mc11, mc31, mc13, mc33: P is the integer sample nearest the phase.
        const uint8_t *p = src + (X == 3 ? ptrdiff_t(sizeof(Pixel)) : 0) + (Y == 3 ? stride : 0);
        B::hv_egpr(dst, src, p, stride, stride);
    } else {
        constexpr Filt8Fn f = X == 2 && Y == 2 ? B::hv_jj
                              : X == 2         ? (Y == 1 ? B::hv_ff : B::hv_qq)
                                               : (X == 1 ? B::hv_ii : B::hv_kk);
        f(dst, src, stride, stride);
    }
}

template <typename Pixel, int N, int X, int Y, bool Avg>
inline void qpel_block(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    if constexpr (N == 8) {
        qpel8<Pixel, X, Y, Avg>(dst, src, stride);
    } else if constexpr ((X == 0) != (Y == 0)) {
        // One-pass phases: two halves of 16x8, the same sums as four quadrants.
        constexpr Tap F = (X | Y) == 1 ? Tap::qpel_l : (X | Y) == 2 ? Tap::hpel : Tap::qpel_r;
        constexpr Filt8Fn half = &filt8_1d<Pixel, F, X == 0, Avg, 16>;
        half(dst, src, stride, stride);
        half(dst + 8 * stride, src + 8 * stride, stride, stride);
    } else {
        // Four 8x8 quadrants; the diagonal phases take P from the same offset.
        const ptrdiff_t right = 8 * sizeof(Pixel), down = 8 * stride;
        qpel8<Pixel, X, Y, Avg>(dst, src, stride);
        qpel8<Pixel, X, Y, Avg>(dst + right, src + right, stride);
        qpel8<Pixel, X, Y, Avg>(dst + down, src + down, stride);
        qpel8<Pixel, X, Y, Avg>(dst + down + right, src + down + right, stride);
    }
}

}  // namespace

template <typename Pixel, int N, int X, int Y>
void put_svac_qpel(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    qpel_block<Pixel, N, X, Y, false>(dst, src, stride);
}

template <typename Pixel, int N, int X, int Y>
void avg_svac_qpel(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    qpel_block<Pixel, N, X, Y, true>(dst, src, stride);
}

#define SVAC_QPEL_INST(P, n, x, y)                                                  \
    template void put_svac_qpel<P, n, x, y>(uint8_t *, const uint8_t *, ptrdiff_t); \
    template void avg_svac_qpel<P, n, x, y>(uint8_t *, const uint8_t *, ptrdiff_t);
#define SVAC_QPEL_INST_ROW(P, n, y) \
    SVAC_QPEL_INST(P, n, 0, y)      \
    SVAC_QPEL_INST(P, n, 1, y) SVAC_QPEL_INST(P, n, 2, y) SVAC_QPEL_INST(P, n, 3, y)
#define SVAC_QPEL_INST_ALL(P, n) \
    SVAC_QPEL_INST_ROW(P, n, 0)  \
    SVAC_QPEL_INST_ROW(P, n, 1) SVAC_QPEL_INST_ROW(P, n, 2) SVAC_QPEL_INST_ROW(P, n, 3)
SVAC_QPEL_INST_ALL(uint8_t, 8)
SVAC_QPEL_INST_ALL(uint8_t, 16)
SVAC_QPEL_INST_ALL(uint16_t, 8)
SVAC_QPEL_INST_ALL(uint16_t, 16)
