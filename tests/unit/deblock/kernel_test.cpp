// Edge kernels on hand-worked lines: the strict line condition, the halves,
// the strong mode, zero clipping and the sample range. The whole-macroblock
// comparison with the reference (filter_test) runs them on random content.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/loopfilter.h"
#include "guarded_area.h"

namespace {

struct Kernel {
    const char *name;
    SvacLoopFilterFunc fn;
    bool vertical;
    bool luma;
    bool hbd;
};

// Runs one kernel with the same 8 samples (p3..q3) in every line; returns
// the lines afterwards.
std::vector<std::vector<int>> run_lines(const Kernel &k, const int v[8], int alpha, int beta, uint8_t tc0a,
                                        uint8_t tc0b, uint8_t bs0, uint8_t bs1) {
    // Only the samples a kernel may read are addressable: p3..q3 of each
    // luma line, p2..q2 of each chroma line. Sample j of line i lies at
    // (j, i) across a vertical edge and at (i, j) across a horizontal one.
    const int lines = k.luma ? 16 : 8;
    const int first = k.luma ? -4 : -3, last = k.luma ? 3 : 2;
    GuardedArea b(k.hbd ? 2 : 1, 128, k.vertical ? first : 0, k.vertical ? last : lines - 1,
                  k.vertical ? 0 : first, k.vertical ? lines - 1 : last);
    auto col = [&](int i, int j) { return k.vertical ? j : i; };
    auto row = [&](int i, int j) { return k.vertical ? i : j; };
    for (int i = 0; i < lines; i++)
        for (int j = first; j <= last; j++) b.set(col(i, j), row(i, j), v[j + 4]);
    const uint8_t tc0[2] = {tc0a, tc0b}, bs[2] = {bs0, bs1};
    k.fn(b.origin(), b.stride(), alpha, beta, tc0, bs);
    std::vector<std::vector<int>> out(lines, std::vector<int>(8, -1));
    for (int i = 0; i < lines; i++)
        for (int j = first; j <= last; j++) out[i][j + 4] = b.get(col(i, j), row(i, j));
    EXPECT_EQ(b.damaged_guard_bytes(), 0u) << k.name;
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
    for (const auto &l : run_lines(kLv, a, 40, 10, 2, 2, 3, 3)) EXPECT_EQ(l, std::vector<int>(a, a + 8));
    // One below alpha filters.
    const int b[8] = {50, 50, 50, 50, 89, 89, 89, 89};
    EXPECT_NE(run_lines(kLv, b, 40, 10, 2, 2, 2, 2)[0], std::vector<int>(b, b + 8));
    // |p1 - p0| == beta: untouched.
    const int c[8] = {40, 40, 40, 50, 60, 60, 60, 60};
    for (const auto &l : run_lines(kLh, c, 40, 10, 2, 2, 2, 2)) EXPECT_EQ(l, std::vector<int>(c, c + 8));
}

TEST(DeblockKernels, SecondHalfOnlyWithStrengthZeroTwo) {
    const int v[8] = {60, 60, 60, 60, 70, 70, 70, 70};
    const auto out = run_lines(kLv, v, 40, 10, 1, 1, 0, 2);
    for (int i = 0; i < 8; i++) EXPECT_EQ(out[i], std::vector<int>(v, v + 8)) << i;
    // tc = 1 + 1 + 1; delta = (40 - 10 + 4) >> 3 = 4 -> 3; p1 moves by 12 >> 2 = 3 -> 1,
    // q1 by -8 >> 2 = -2 -> -1.
    for (int i = 8; i < 16; i++) EXPECT_EQ(out[i], (std::vector<int>{60, 60, 61, 63, 67, 69, 70, 70})) << i;
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
