// Edge kernels against the plain reference on random and extreme lines, and
// hand-worked single lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "arch/x86/cpu.h"
#include "dsp/dsp_init.h"
#include "dsp/loopfilter.h"
#include "ref_deblock.h"

namespace {

struct Kernel {
    const char *name;
    SvacLoopFilterFunc fn;
    bool vertical;
    bool luma;
    bool hbd;
};

constexpr int kPad = 8;  // samples of 0x99 around the footprint

// A buffer holding one edge with its footprint surrounded by padding.
struct EdgeBuffer {
    bool vertical, luma, hbd;
    int width, height;  // samples
    ptrdiff_t stride;   // bytes, a little wider than the samples
    std::vector<uint8_t> bytes;

    EdgeBuffer(bool v, bool l, bool h) : vertical(v), luma(l), hbd(h) {
        const int lines = luma ? 16 : 8;
        width = (vertical ? 8 : lines) + 2 * kPad;
        height = (vertical ? lines : 8) + 2 * kPad;
        stride = width * (hbd ? 2 : 1) + 6;
        bytes.assign(static_cast<size_t>(stride) * height, 0x99);
    }
    // The edge lies between samples 3 and 4 of the 8-sample run.
    refdb::Plane plane() {
        return refdb::Plane{bytes.data() + kPad * stride + kPad * (hbd ? 2 : 1), stride, hbd};
    }
    int ex() const { return vertical ? 4 : 0; }
    int ey() const { return vertical ? 0 : 4; }
    uint8_t *edge_ptr() {
        return bytes.data() + (kPad + ey()) * stride + (kPad + ex()) * (hbd ? 2 : 1);
    }
    // Sample k (-4..3) of line i, as coordinates in plane().
    void put(int i, int k, int v) {
        if (vertical)
            plane().set(ex() + k, i, v);
        else
            plane().set(i, ey() + k, v);
    }
    int take(int i, int k) { return vertical ? plane().get(ex() + k, i) : plane().get(i, ey() + k); }
    // Bytes outside the samples a kernel may write (p2..q2 luma, p0..q0 chroma).
    bool writable(size_t off) const {
        const int y = static_cast<int>(off / stride) - kPad;
        const int xb = static_cast<int>(off % stride);
        if (xb >= width * (hbd ? 2 : 1)) return false;
        const int x = xb / (hbd ? 2 : 1) - kPad;
        const int lines = luma ? 16 : 8;
        const int lo = luma ? -3 : -1, hi = luma ? 2 : 0;
        const int along = vertical ? y : x, across = vertical ? x - 4 : y - 4;
        return along >= 0 && along < lines && across >= lo && across <= hi;
    }
};

std::vector<Kernel> portable_kernels() {
    return {
        {"lv_c", svac_filter_lv_c, true, true, false},
        {"lh_c", svac_filter_lh_c, false, true, false},
        {"cv_c", svac_filter_cv_c, true, false, false},
        {"ch_c", svac_filter_ch_c, false, false, false},
        {"lv_c_10b", svac_filter_lv_c_10b, true, true, true},
        {"lh_c_10b", svac_filter_lh_c_10b, false, true, true},
        {"cv_c_10b", svac_filter_cv_c_10b, true, false, true},
        {"ch_c_10b", svac_filter_ch_c_10b, false, false, true},
    };
}

// Whatever the table holds for this machine's feature word.
std::vector<Kernel> table_kernels() {
    VQ_SVACDEC_loopfilter_init(VQ_SVACDEC_get_cpu_flags_x86());
    std::vector<Kernel> k;
    for (int bd : {0, 2}) {
        const bool hbd = bd == 2;
        k.push_back({"table lv", svac_filter_lv[bd], true, true, hbd});
        k.push_back({"table lh", svac_filter_lh[bd], false, true, hbd});
        k.push_back({"table cv", svac_filter_cv[bd], true, false, hbd});
        k.push_back({"table ch", svac_filter_ch[bd], false, false, hbd});
    }
    VQ_SVACDEC_loopfilter_init(0);
    return k;
}

// Lines aimed at the thresholds: steps just below, at and above alpha and
// beta, flat and saturated runs, and plain noise.
struct LineMaker {
    std::mt19937 &rng;
    int maxv;
    int uni(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    int near(int t) {
        switch (uni(0, 5)) {
        case 0: return t - 1;
        case 1: return t;
        case 2: return t + 1;
        case 3: return -(t - 1);
        case 4: return -t;
        default: return uni(-t - 2, t + 2);
        }
    }
    void make(int alpha, int beta, int out[8]) {
        const int mode = uni(0, 9);
        if (mode == 0) {
            for (int k = 0; k < 8; k++) out[k] = uni(0, maxv);
            return;
        }
        int q0;
        switch (uni(0, 3)) {
        case 0: q0 = uni(0, 3); break;
        case 1: q0 = maxv - uni(0, 3); break;
        default: q0 = uni(0, maxv);
        }
        const int d = uni(0, 3) == 0 ? near(alpha / 4 + 2) : near(alpha);
        const int p0 = q0 + d;
        const int p1 = p0 + near(beta), q1 = q0 + near(beta);
        const int p2 = p0 + near(beta), q2 = q0 + near(beta);
        const int p3 = p2 + uni(-2 * beta - 2, 2 * beta + 2);
        const int q3 = q2 + uni(-2 * beta - 2, 2 * beta + 2);
        const int v[8] = {p3, p2, p1, p0, q0, q1, q2, q3};
        for (int k = 0; k < 8; k++) out[k] = refdb::limit(0, maxv, v[k]);
    }
};

void compare_random(const Kernel &k, uint32_t seed, int iterations) {
    std::mt19937 rng(seed);
    LineMaker lm{rng, k.hbd ? 1023 : 255};
    const int lines = k.luma ? 16 : 8;
    for (int it = 0; it < iterations; it++) {
        int alpha = lm.uni(0, 2) ? lm.uni(0, 255) : lm.uni(0, 30);
        int beta = lm.uni(0, 2) ? lm.uni(0, 20) : lm.uni(0, 64);
        const int bs[2] = {lm.uni(0, 3), lm.uni(0, 3)};
        const int tc0[2] = {lm.uni(0, 3) ? lm.uni(0, 7) : lm.uni(0, 30),
                            lm.uni(0, 3) ? lm.uni(0, 7) : lm.uni(0, 30)};
        EdgeBuffer got(k.vertical, k.luma, k.hbd);
        const int first = k.luma ? -4 : -3, last = k.luma ? 3 : 2;
        for (int i = 0; i < lines; i++) {
            int v[8];
            lm.make(alpha, beta, v);
            for (int kk = first; kk <= last; kk++) got.put(i, kk, v[kk + 4]);
        }
        EdgeBuffer want = got;
        const std::vector<uint8_t> before = got.bytes;
        const uint8_t tc8[2] = {static_cast<uint8_t>(tc0[0]), static_cast<uint8_t>(tc0[1])};
        const uint8_t bs8[2] = {static_cast<uint8_t>(bs[0]), static_cast<uint8_t>(bs[1])};
        k.fn(got.edge_ptr(), got.stride, alpha, beta, tc8, bs8);
        refdb::edge(want.plane(), want.ex(), want.ey(), k.vertical, k.luma, alpha, beta, tc0, bs);
        for (size_t off = 0; off < got.bytes.size(); off++) {
            if (!got.writable(off) && got.bytes[off] != before[off]) {
                ADD_FAILURE() << k.name << " seed " << seed << " it " << it
                              << ": wrote outside its footprint at byte " << off;
                return;
            }
        }
        if (got.bytes != want.bytes) {
            ADD_FAILURE() << k.name << " seed " << seed << " it " << it << " alpha " << alpha
                          << " beta " << beta << " bs " << bs[0] << "," << bs[1] << " tc0 "
                          << tc0[0] << "," << tc0[1];
            return;
        }
    }
}

TEST(DeblockKernels, MatchReferenceOnRandomAndExtremeLines) {
    const uint32_t seed = std::random_device{}();
    std::printf("deblock kernel seed %u\n", seed);
    std::vector<Kernel> all = portable_kernels();
    for (const Kernel &k : table_kernels()) all.push_back(k);
    for (const Kernel &k : all) {
        ASSERT_NE(k.fn, nullptr) << k.name;
        compare_random(k, 12345, 3000);
        compare_random(k, seed, 3000);
    }
}

TEST(DeblockKernels, InitFillsPortableEntries) {
    VQ_SVACDEC_loopfilter_init(0xFFFFFFFFu & ~SVAC_CPU_SSSE3);
    EXPECT_EQ(svac_filter_lv[0], svac_filter_lv_c);
    EXPECT_EQ(svac_filter_lh[0], svac_filter_lh_c);
    EXPECT_EQ(svac_filter_cv[0], svac_filter_cv_c);
    EXPECT_EQ(svac_filter_ch[0], svac_filter_ch_c);
    EXPECT_EQ(svac_filter_lv[1], nullptr);
    // 10-bit entries stay portable whatever the feature word.
    VQ_SVACDEC_loopfilter_init(0xFFFFFFFFu);
    EXPECT_EQ(svac_filter_lv[2], svac_filter_lv_c_10b);
    EXPECT_EQ(svac_filter_lh[2], svac_filter_lh_c_10b);
    EXPECT_EQ(svac_filter_cv[2], svac_filter_cv_c_10b);
    EXPECT_EQ(svac_filter_ch[2], svac_filter_ch_c_10b);
    VQ_SVACDEC_loopfilter_init(0);
}

// Runs one kernel with the same 8 samples (p3..q3) in every line; returns
// the lines afterwards.
std::vector<std::vector<int>> run_lines(const Kernel &k, const int v[8], int alpha, int beta,
                                        uint8_t tc0a, uint8_t tc0b, uint8_t bs0, uint8_t bs1) {
    EdgeBuffer b(k.vertical, k.luma, k.hbd);
    const int lines = k.luma ? 16 : 8;
    const int first = k.luma ? -4 : -3, last = k.luma ? 3 : 2;
    for (int i = 0; i < lines; i++)
        for (int kk = first; kk <= last; kk++) b.put(i, kk, v[kk + 4]);
    const uint8_t tc0[2] = {tc0a, tc0b}, bs[2] = {bs0, bs1};
    k.fn(b.edge_ptr(), b.stride, alpha, beta, tc0, bs);
    std::vector<std::vector<int>> out(lines, std::vector<int>(8, -1));
    for (int i = 0; i < lines; i++)
        for (int kk = first; kk <= last; kk++) out[i][kk + 4] = b.take(i, kk);
    return out;
}

const Kernel kLv{"lv", svac_filter_lv_c, true, true, false};
const Kernel kLh{"lh", svac_filter_lh_c, false, true, false};
const Kernel kCv{"cv", svac_filter_cv_c, true, false, false};
const Kernel kLv10{"lv10", svac_filter_lv_c_10b, true, true, true};
const Kernel kCh10{"ch10", svac_filter_ch_c_10b, false, false, true};

TEST(DeblockKernels, LineConditionIsStrict) {
    // |p0 - q0| == alpha: untouched even in strong mode.
    const int a[8] = {50, 50, 50, 50, 90, 90, 90, 90};
    for (const auto &l : run_lines(kLv, a, 40, 10, 2, 2, 3, 3))
        EXPECT_EQ(l, std::vector<int>(a, a + 8));
    // One below alpha filters.
    const int b[8] = {50, 50, 50, 50, 89, 89, 89, 89};
    EXPECT_NE(run_lines(kLv, b, 40, 10, 2, 2, 2, 2)[0], std::vector<int>(b, b + 8));
    // |p1 - p0| == beta: untouched.
    const int c[8] = {40, 40, 40, 50, 60, 60, 60, 60};
    for (const auto &l : run_lines(kLh, c, 40, 10, 2, 2, 2, 2))
        EXPECT_EQ(l, std::vector<int>(c, c + 8));
}

TEST(DeblockKernels, SecondHalfOnlyWithStrengthZeroTwo) {
    const int v[8] = {60, 60, 60, 60, 70, 70, 70, 70};
    const auto out = run_lines(kLv, v, 40, 10, 1, 1, 0, 2);
    for (int i = 0; i < 8; i++) EXPECT_EQ(out[i], std::vector<int>(v, v + 8)) << i;
    // tc = 1 + 1 + 1; delta = (40 - 10 + 4) >> 3 = 4 -> 3; p1 moves by 12 >> 2 = 3 -> 1,
    // q1 by -8 >> 2 = -2 -> -1.
    for (int i = 8; i < 16; i++)
        EXPECT_EQ(out[i], (std::vector<int>{60, 60, 61, 63, 67, 69, 70, 70})) << i;
}

TEST(DeblockKernels, StrongModeWorkedLines) {
    // |p0 - q0| = 12 = (40 >> 2) + 2: only p0 and q0 change.
    const int wide[8] = {50, 50, 50, 50, 62, 62, 62, 62};
    EXPECT_EQ(run_lines(kLv, wide, 40, 10, 0, 0, 3, 3)[5],
              (std::vector<int>{50, 50, 50, 53, 59, 62, 62, 62}));
    // One less: the three samples on each side change.
    const int narrow[8] = {50, 50, 50, 50, 61, 61, 61, 61};
    EXPECT_EQ(run_lines(kLv, narrow, 40, 10, 0, 0, 3, 3)[5],
              (std::vector<int>{50, 51, 53, 54, 57, 58, 60, 61}));
    // Strength 3 first selects the strong filter for both halves.
    const auto both = run_lines(kLv, narrow, 40, 10, 0, 0, 3, 0);
    EXPECT_EQ(both[12], both[0]);
    // Chroma strong changes p0 and q0 only.
    const Kernel cv{"cv", svac_filter_cv_c, true, false, false};
    EXPECT_EQ(run_lines(cv, narrow, 40, 10, 0, 0, 3, 3)[2],
              (std::vector<int>{-1, 50, 50, 54, 57, 61, 61, -1}));
}

TEST(DeblockKernels, ZeroClipStillMoves) {
    const int v[8] = {100, 100, 100, 100, 110, 110, 110, 110};
    // Luma: tc = 0 + ap + aq = 2, delta 5 -> 2; p1, q1 clipped to no change.
    EXPECT_EQ(run_lines(kLv, v, 40, 10, 0, 0, 1, 1)[3],
              (std::vector<int>{100, 100, 100, 102, 108, 110, 110, 110}));
    // Chroma: tc = 1.
    EXPECT_EQ(run_lines(kCv, v, 40, 10, 0, 0, 1, 1)[3],
              (std::vector<int>{-1, 100, 100, 101, 109, 110, 110, -1}));
}

TEST(DeblockKernels, ResultsClipToSampleRange) {
    // delta = (0 + 19 + 4) >> 3 = 2 pushes p0 past the top.
    const int top[8] = {255, 255, 255, 255, 255, 236, 236, 236};
    EXPECT_EQ(run_lines(kLv, top, 40, 20, 1, 1, 1, 1)[0],
              (std::vector<int>{255, 255, 255, 255, 253, 237, 236, 236}));
    const int top10[8] = {1023, 1023, 1023, 1023, 1023, 1004, 1004, 1004};
    EXPECT_EQ(run_lines(kLv10, top10, 40, 20, 1, 1, 1, 1)[0],
              (std::vector<int>{1023, 1023, 1023, 1023, 1021, 1005, 1004, 1004}));
    // delta = floor(-15 / 8) = -2 pushes p0 below 0; q0 gains 2, not 1.
    const int bottom[8] = {0, 0, 0, 0, 0, 19, 19, 19};
    EXPECT_EQ(run_lines(kLv, bottom, 40, 20, 1, 1, 1, 1)[0][3], 0);
    EXPECT_EQ(run_lines(kLv, bottom, 40, 20, 1, 1, 1, 1)[0][4], 2);
    const int bottom_c[8] = {0, 0, 0, 0, 0, 19, 19, 19};
    EXPECT_EQ(run_lines(kCh10, bottom_c, 40, 20, 1, 1, 1, 1)[7][4], 2);
}

}  // namespace
