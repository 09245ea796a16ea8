// Portable deblocking kernels for 8-bit and 10-bit samples, and the filler
// of their tables.
#include "dsp/loopfilter.h"

#include <cstdlib>

#include "dsp/dsp_init.h"
#include "dsp/pixel.h"

SvacLoopFilterFunc svac_filter_lv[3];
SvacLoopFilterFunc svac_filter_lh[3];
SvacLoopFilterFunc svac_filter_cv[3];
SvacLoopFilterFunc svac_filter_ch[3];

namespace {

inline int clip3(int lo, int hi, int x) { return x < lo ? lo : (x > hi ? hi : x); }

// Each line helper gets q0 of its line and the step from one sample to the
// next across the edge. Every new value is computed from the samples as they
// were before the line was touched.
inline bool line_passes(int p1, int p0, int q0, int q1, int alpha, int beta) {
    return std::abs(p0 - q0) < alpha && std::abs(p1 - p0) < beta && std::abs(q1 - q0) < beta;
}

template <typename Pixel>
inline void luma_strong_line(Pixel *q, ptrdiff_t x, int alpha, int beta) {
    const int p0 = q[-x], p1 = q[-2 * x], p2 = q[-3 * x], p3 = q[-4 * x];
    const int q0 = q[0], q1 = q[x], q2 = q[2 * x], q3 = q[3 * x];
    if (!line_passes(p1, p0, q0, q1, alpha, beta)) return;
    // Averages of in-range samples stay in range: no clipping needed.
    const bool small = std::abs(p0 - q0) < (alpha >> 2) + 2;
    if (std::abs(p2 - p0) < beta && small) {
        q[-x] = static_cast<Pixel>((3 * p0 + 2 * q0 + p1 + q1 + p2 + 4) >> 3);
        q[-2 * x] = static_cast<Pixel>((p2 + p1 + p0 + q0 + 2) >> 2);
        q[-3 * x] = static_cast<Pixel>((2 * p3 + 2 * p2 + 2 * p1 + p0 + q0 + 4) >> 3);
    } else {
        q[-x] = static_cast<Pixel>((2 * p1 + p0 + q1 + 2) >> 2);
    }
    if (std::abs(q2 - q0) < beta && small) {
        q[0] = static_cast<Pixel>((3 * q0 + 2 * p0 + q1 + p1 + q2 + 4) >> 3);
        q[x] = static_cast<Pixel>((q2 + q1 + q0 + p0 + 2) >> 2);
        q[2 * x] = static_cast<Pixel>((2 * q3 + 2 * q2 + 2 * q1 + q0 + p0 + 4) >> 3);
    } else {
        q[0] = static_cast<Pixel>((2 * q1 + q0 + p1 + 2) >> 2);
    }
}

template <typename Pixel>
inline void luma_normal_line(Pixel *q, ptrdiff_t x, int alpha, int beta, int tc0) {
    const int p0 = q[-x], p1 = q[-2 * x], p2 = q[-3 * x], p3 = q[-4 * x];
    const int q0 = q[0], q1 = q[x], q2 = q[2 * x], q3 = q[3 * x];
    if (!line_passes(p1, p0, q0, q1, alpha, beta)) return;
    const int ap = std::abs(p2 - p0) < beta;
    const int aq = std::abs(q2 - q0) < beta;
    const int tc = tc0 + ap + aq;
    const int delta = clip3(-tc, tc, (4 * (q0 - p0) + (p1 - q1) + 4) >> 3);
    q[-x] = clip_pixel<Pixel>(p0 + delta);
    q[0] = clip_pixel<Pixel>(q0 - delta);
    if (ap) q[-2 * x] = clip_pixel<Pixel>(p1 + clip3(-tc0, tc0, (p3 + p2 - 4 * p1 + p0 + q0 + 2) >> 2));
    if (aq) q[x] = clip_pixel<Pixel>(q1 + clip3(-tc0, tc0, (q3 + q2 - 4 * q1 + q0 + p0 + 2) >> 2));
}

template <typename Pixel>
inline void chroma_strong_line(Pixel *q, ptrdiff_t x, int alpha, int beta) {
    const int p0 = q[-x], p1 = q[-2 * x], p2 = q[-3 * x];
    const int q0 = q[0], q1 = q[x], q2 = q[2 * x];
    if (!line_passes(p1, p0, q0, q1, alpha, beta)) return;
    const bool small = std::abs(p0 - q0) < (alpha >> 2) + 2;
    q[-x] = static_cast<Pixel>(std::abs(p2 - p0) < beta && small ? (3 * p0 + 2 * q0 + p1 + q1 + p2 + 4) >> 3
                                                                 : (2 * p1 + p0 + q1 + 2) >> 2);
    q[0] = static_cast<Pixel>(std::abs(q2 - q0) < beta && small ? (3 * q0 + 2 * p0 + p1 + q1 + q2 + 4) >> 3
                                                                : (2 * q1 + q0 + p1 + 2) >> 2);
}

template <typename Pixel>
inline void chroma_normal_line(Pixel *q, ptrdiff_t x, int alpha, int beta, int tc0) {
    const int p0 = q[-x], p1 = q[-2 * x];
    const int q0 = q[0], q1 = q[x];
    if (!line_passes(p1, p0, q0, q1, alpha, beta)) return;
    const int tc = tc0 + 1;
    const int delta = clip3(-tc, tc, (4 * (q0 - p0) + (p1 - q1) + 4) >> 3);
    q[-x] = clip_pixel<Pixel>(p0 + delta);
    q[0] = clip_pixel<Pixel>(q0 - delta);
}

// kLines is the length of the edge (16 luma, 8 chroma); a vertical edge
// steps across by one sample and along by a line, a horizontal one the
// other way round. Strength 3 in the first half selects the strong filter
// for the whole edge.
template <typename Pixel, bool kVertical, bool kLuma>
void filter_edge(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
                 const uint8_t bs[2]) {
    constexpr int kLines = kLuma ? 16 : 8;
    Pixel *pix = reinterpret_cast<Pixel *>(edge);
    const ptrdiff_t line = stride / static_cast<ptrdiff_t>(sizeof(Pixel));
    const ptrdiff_t across = kVertical ? 1 : line;
    const ptrdiff_t along = kVertical ? line : 1;
    if (bs[0] == 3) {
        for (int i = 0; i < kLines; i++) {
            if constexpr (kLuma)
                luma_strong_line(pix + i * along, across, alpha, beta);
            else
                chroma_strong_line(pix + i * along, across, alpha, beta);
        }
        return;
    }
    for (int half = 0; half < 2; half++) {
        if (!bs[half]) continue;
        Pixel *first = pix + half * (kLines / 2) * along;
        for (int i = 0; i < kLines / 2; i++) {
            if constexpr (kLuma)
                luma_normal_line(first + i * along, across, alpha, beta, tc0[half]);
            else
                chroma_normal_line(first + i * along, across, alpha, beta, tc0[half]);
        }
    }
}

}  // namespace

#define SVAC_LF_KERNEL(name, Pixel, vertical, luma)                                       \
    void name(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2], \
              const uint8_t bs[2]) {                                                      \
        filter_edge<Pixel, vertical, luma>(edge, stride, alpha, beta, tc0, bs);           \
    }

SVAC_LF_KERNEL(svac_filter_lv_c, uint8_t, true, true)
SVAC_LF_KERNEL(svac_filter_lh_c, uint8_t, false, true)
SVAC_LF_KERNEL(svac_filter_cv_c, uint8_t, true, false)
SVAC_LF_KERNEL(svac_filter_ch_c, uint8_t, false, false)
SVAC_LF_KERNEL(svac_filter_lv_c_10b, uint16_t, true, true)
SVAC_LF_KERNEL(svac_filter_lh_c_10b, uint16_t, false, true)
SVAC_LF_KERNEL(svac_filter_cv_c_10b, uint16_t, true, false)
SVAC_LF_KERNEL(svac_filter_ch_c_10b, uint16_t, false, false)

#undef SVAC_LF_KERNEL

void VQ_SVACDEC_loopfilter_init(uint32_t cpu_flags) {
    svac_filter_lv[0] = svac_filter_lv_c;
    svac_filter_lh[0] = svac_filter_lh_c;
    svac_filter_cv[0] = svac_filter_cv_c;
    svac_filter_ch[0] = svac_filter_ch_c;
    svac_filter_lv[2] = svac_filter_lv_c_10b;
    svac_filter_lh[2] = svac_filter_lh_c_10b;
    svac_filter_cv[2] = svac_filter_cv_c_10b;
    svac_filter_ch[2] = svac_filter_ch_c_10b;
    VQ_SVACDEC_loopfilter_init_x86(cpu_flags);
}
