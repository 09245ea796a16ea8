// Luma interpolation kernels against a reference written from the filter
// definitions: six-tap filters on p[-2..3], unclipped two-pass sums with one
// final rounding, diagonal phases mixing the centre sum with the nearest
// integer sample.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/mc.h"
#include "guarded_area.h"

namespace {

constexpr ptrdiff_t kStride = 256;

// Taps on p[-2] p[-1] p[0] p[1] p[2] p[3] for phases 1/4, 1/2, 3/4.
constexpr int kTaps[4][6] = {
    {0, 0, 0, 0, 0, 0}, {-1, -2, 96, 42, -7, 0}, {0, -1, 5, 5, -1, 0}, {0, -7, 42, 96, -2, -1}};
constexpr int kLog2Gain[4] = {0, 7, 3, 7};

// Reference samples on columns and rows -3..n+3.
struct Reference {
    int n;
    std::vector<int> v;
    explicit Reference(int n_) : n(n_), v(size_t(n_ + 7) * size_t(n_ + 7)) {}
    int &at(int i, int j) { return v[size_t(j + 3) * size_t(n + 7) + size_t(i + 3)]; }
    int S(int i, int j) const { return v[size_t(j + 3) * size_t(n + 7) + size_t(i + 3)]; }
};

int clip(int v, int max) { return v < 0 ? 0 : v > max ? max : v; }

// Prediction of output (i, j) at phase (x, y).
int predict(const Reference &s, int x, int y, int i, int j, int max) {
    if (x == 0 && y == 0) return s.S(i, j);
    if (y == 0 || x == 0) {
        const int f = x ? x : y;
        int sum = 0;
        for (int k = 0; k < 6; k++) sum += kTaps[f][k] * (x ? s.S(i - 2 + k, j) : s.S(i, j - 2 + k));
        const int shift = kLog2Gain[f];
        return clip((sum + (1 << (shift - 1))) >> shift, max);
    }
    if ((x & 1) && (y & 1)) {
        int centre = 0;
        for (int k = 0; k < 6; k++)
            for (int m = 0; m < 6; m++) centre += kTaps[2][k] * kTaps[2][m] * s.S(i - 2 + m, j - 2 + k);
        const int p = s.S(i + (x == 3), j + (y == 3));
        return clip((centre + 64 * p + 64) >> 7, max);
    }
    int sum = 0;
    for (int k = 0; k < 6; k++) {
        int h = 0;
        for (int m = 0; m < 6; m++) h += kTaps[x][m] * s.S(i - 2 + m, j - 2 + k);
        sum += kTaps[y][k] * h;
    }
    const int shift = kLog2Gain[x] + kLog2Gain[y];
    return clip((sum + (1 << (shift - 1))) >> shift, max);
}

// The samples a phase may read around an n x n block: a horizontal filter
// reaches columns -2..n+1 (1/4), -1..n+1 (1/2), -1..n+2 (3/4), a vertical one
// the same rows; two-pass phases may read rows -2..n+2, and the diagonal ones
// filter horizontally with the half filter.
struct Rect {
    int c0, c1, r0, r1;
};
void reach_1d(int phase, int n, int &lo, int &hi) {
    static const int lo_by_phase[4] = {0, -2, -1, -1}, hi_by_phase[4] = {-1, 1, 1, 2};
    lo = lo_by_phase[phase];
    hi = n + hi_by_phase[phase];
}
Rect reach(int x, int y, int n) {
    Rect r{};
    if (x == 0 || y == 0) {
        reach_1d(x, n, r.c0, r.c1);
        reach_1d(y, n, r.r0, r.r1);
    } else {
        reach_1d((x & 1) && (y & 1) ? 2 : x, n, r.c0, r.c1);
        r.r0 = -2;
        r.r1 = n + 2;
    }
    return r;
}

template <typename Pixel>
constexpr int kMax = sizeof(Pixel) == 1 ? 255 : 1023;

class LumaMc : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { VQ_SVACDEC_mc_init(0); }
};

// Runs the n x n put or avg kernel of phase (x, y) on the source sample(i, j),
// addressable only where the phase may read, with the destination preset to
// d(i, j); returns the block row by row.
template <typename Pixel, typename S, typename D>
std::vector<int> run_on(int n, int x, int y, bool avg, S sample, D d) {
    const Rect r = reach(x, y, n);
    GuardedArea src(sizeof(Pixel), kStride, r.c0, r.c1, r.r0, r.r1);
    for (int j = r.r0; j <= r.r1; j++)
        for (int i = r.c0; i <= r.c1; i++) src.set(i, j, sample(i, j));
    GuardedArea dst(sizeof(Pixel), kStride, 0, n - 1, 0, n - 1);
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++) dst.set(i, j, d(i, j));
    (avg ? avg_svac_qpel_pixels_tab
         : put_svac_qpel_pixels_tab)[sizeof(Pixel) == 1 ? 0 : 2][n == 16 ? 0 : 1][4 * y + x](
        dst.origin(), src.origin(), kStride);
    std::vector<int> out;
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++) out.push_back(dst.get(i, j));
    EXPECT_EQ(dst.damaged_guard_bytes() + src.damaged_guard_bytes(), 0u) << "mc" << x << y << " avg " << avg;
    return out;
}

template <typename Pixel, typename S>
std::vector<int> run_on(int n, int x, int y, bool avg, S sample) {
    return run_on<Pixel>(n, x, y, avg, sample, [](int, int) { return 0; });
}

// Random, flat black and white, checkerboard, stripes both ways and random
// extremes, for every phase, size and both operations.
template <typename Pixel>
void check_all_phases(int trials) {
    std::mt19937 rng(1234 + sizeof(Pixel));
    const int max = kMax<Pixel>;
    for (int n : {16, 8})
        for (int pattern = 0; pattern < 7; pattern++)
            for (int t = 0; t < (pattern >= 5 ? trials : 1); t++) {
                Reference s(n);
                for (int j = -3; j <= n + 3; j++)
                    for (int i = -3; i <= n + 3; i++) {
                        const int v[7] = {0,
                                          max,
                                          ((i + j) & 1) ? max : 0,
                                          (i & 1) ? max : 0,
                                          (j & 1) ? max : 0,
                                          int(rng() % unsigned(max + 1)),
                                          (rng() & 1) ? max : 0};
                        s.at(i, j) = v[pattern];
                    }
                std::vector<int> d0(size_t(n * n));
                for (int &d : d0) d = int(rng() % unsigned(max + 1));
                const auto sample = [&](int i, int j) { return s.S(i, j); };
                const auto dst = [&](int i, int j) { return d0[size_t(j * n + i)]; };
                for (int y = 0; y < 4; y++)
                    for (int x = 0; x < 4; x++)
                        for (bool avg : {false, true}) {
                            std::vector<int> want;
                            for (int j = 0; j < n; j++)
                                for (int i = 0; i < n; i++) {
                                    const int q = predict(s, x, y, i, j, max);
                                    want.push_back(avg ? (dst(i, j) + q + 1) >> 1 : q);
                                }
                            ASSERT_EQ(run_on<Pixel>(n, x, y, avg, sample, dst), want)
                                << n << "x" << n << " mc" << x << y << " avg " << avg << " pattern "
                                << pattern << " trial " << t << " bytes " << sizeof(Pixel);
                        }
            }
}

TEST_F(LumaMc, EveryPhaseMatchesReference8Bit) { check_all_phases<uint8_t>(12); }
TEST_F(LumaMc, EveryPhaseMatchesReference10Bit) { check_all_phases<uint16_t>(12); }

TEST_F(LumaMc, WorkedExamplesOnSteps) {
    // Step between column 0 and 1: row 0, 0, 255, 255 at S(-1..2) and
    // 0, 0, 0, 255, 255, 255 at S(-2..3) for the first output column.
    const auto step_h = [](int i, int) { return i >= 1 ? 255 : 0; };
    const auto step_v = [](int, int j) { return j >= 1 ? 255 : 0; };
    const int want[4] = {0, 70, 128, 185};  // by phase
    for (int n : {8, 16})
        for (int f = 1; f < 4; f++) {
            const auto h = run_on<uint8_t>(n, f, 0, false, step_h),
                       v = run_on<uint8_t>(n, 0, f, false, step_v);
            for (int k = 0; k < n; k++) {
                EXPECT_EQ(h[size_t(k * n)], want[f]) << n << " mc" << f << "0";
                EXPECT_EQ(v[size_t(k)], want[f]) << n << " mc0" << f;
            }
        }
}

TEST_F(LumaMc, DiagonalAveragesCentreWithNearestSample) {
    // Flat 100 with S(0,0) = 50 and S(1,1) = 150: both weigh 25 in the centre
    // sum, which stays 64 * 100; mc11 takes P = S(0,0): (6400 + 3200 + 64) >> 7.
    const auto area = [](int i, int j) { return i == 0 && j == 0 ? 50 : i == 1 && j == 1 ? 150 : 100; };
    for (int n : {8, 16}) {
        EXPECT_EQ(run_on<uint8_t>(n, 1, 1, false, area)[0], 75);
        // mc33 takes P = S(1,1): (6400 + 9600 + 64) >> 7.
        EXPECT_EQ(run_on<uint8_t>(n, 3, 3, false, area)[0], 125);
        // mc31 and mc13 take P = S(1,0) and S(0,1), both 100.
        EXPECT_EQ(run_on<uint8_t>(n, 3, 1, false, area)[0], 100);
        EXPECT_EQ(run_on<uint8_t>(n, 1, 3, false, area)[0], 100);
    }
}

}  // namespace
