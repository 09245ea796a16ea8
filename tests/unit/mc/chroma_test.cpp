// Chroma interpolation kernels against the bilinear formula with weights
// (8-x)(8-y), x(8-y), (8-x)y, xy, for every fraction, width and both depths.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/mc.h"
#include "guarded_area.h"

namespace {

constexpr ptrdiff_t kStride = 128;
constexpr int kWidths[4] = {8, 4, 2, 1};

template <typename Pixel>
constexpr int kMax = sizeof(Pixel) == 1 ? 255 : 1023;
template <typename Pixel>
constexpr int kDepthIndex = sizeof(Pixel) == 1 ? 0 : 2;

class ChromaMc : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { VQ_SVACDEC_mc_init(0); }
};

// Runs entry `wc` of the put or avg table on h rows of the source
// sample(i, j), addressable only where the weights are non-zero (column w only
// with x > 0, row h only with y > 0), with the destination preset to d(i, j);
// returns the block row by row.
template <typename Pixel, typename S, typename D>
std::vector<int> run(int wc, int h, int x, int y, bool avg, S sample, D d) {
    const int w = kWidths[wc];
    GuardedArea src(sizeof(Pixel), kStride, 0, w - 1 + (x > 0), 0, h - 1 + (y > 0));
    for (int j = 0; j < h + (y > 0); j++)
        for (int i = 0; i < w + (x > 0); i++) src.set(i, j, sample(i, j));
    GuardedArea dst(sizeof(Pixel), kStride, 0, w - 1, 0, h - 1);
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) dst.set(i, j, d(i, j));
    (avg ? avg_chroma_pixels_tab : put_chroma_pixels_tab)[kDepthIndex<Pixel>][wc](dst.origin(), src.origin(),
                                                                                  kStride, h, x, y);
    std::vector<int> out;
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) out.push_back(dst.get(i, j));
    EXPECT_EQ(dst.damaged_guard_bytes(), 0u) << "w " << w << " h " << h;
    return out;
}

template <typename Pixel>
void check_all(int trials) {
    std::mt19937 rng(99 + sizeof(Pixel));
    const int max = kMax<Pixel>;
    for (int wc = 0; wc < 4; wc++)
        for (int h : {1, 2, 3, 4, 8, 16})
            for (int pattern = 0; pattern < 6; pattern++)
                for (int t = 0; t < (pattern >= 4 ? trials : 1); t++) {
                    const int w = kWidths[wc];
                    std::vector<int> s(size_t((w + 1) * (h + 1))), d0(size_t(w * h));
                    for (int j = 0; j <= h; j++)
                        for (int i = 0; i <= w; i++) {
                            const int v[6] = {0,
                                              max,
                                              ((i + j) & 1) ? max : 0,
                                              (i & 1) ? 0 : max,
                                              int(rng() % unsigned(max + 1)),
                                              (rng() & 1) ? max : 0};
                            s[size_t(j * (w + 1) + i)] = v[pattern];
                        }
                    for (int &d : d0) d = int(rng() % unsigned(max + 1));
                    const auto S = [&](int i, int j) { return s[size_t(j * (w + 1) + i)]; };
                    const auto D = [&](int i, int j) { return d0[size_t(j * w + i)]; };
                    for (int y = 0; y < 8; y++)
                        for (int x = 0; x < 8; x++)
                            for (bool avg : {false, true}) {
                                const int a = (8 - x) * (8 - y), b = x * (8 - y), c = (8 - x) * y, dd = x * y;
                                std::vector<int> want;
                                for (int j = 0; j < h; j++)
                                    for (int i = 0; i < w; i++) {
                                        const int p = (a * S(i, j) + b * S(i + 1, j) + c * S(i, j + 1) +
                                                       dd * S(i + 1, j + 1) + 32) >>
                                                      6;
                                        want.push_back(avg ? (D(i, j) + p + 1) >> 1 : p);
                                    }
                                ASSERT_EQ(run<Pixel>(wc, h, x, y, avg, S, D), want)
                                    << "w " << w << " h " << h << " x " << x << " y " << y << " avg " << avg
                                    << " pattern " << pattern << " bytes " << sizeof(Pixel);
                            }
                }
}

TEST_F(ChromaMc, EveryFractionMatchesFormula8Bit) { check_all<uint8_t>(4); }
TEST_F(ChromaMc, EveryFractionMatchesFormula10Bit) { check_all<uint16_t>(4); }

// The first sample of an 8-wide put or avg over a 2 x 2 neighbourhood
// repeated over the area.
template <typename Pixel>
int first_sample(int x, int y, int s00, int s10, int s01, int s11, bool avg = false, int d = 0) {
    const auto S = [&](int i, int j) { return (j & 1) ? ((i & 1) ? s11 : s01) : ((i & 1) ? s10 : s00); };
    return run<Pixel>(0, 2, x, y, avg, S, [&](int, int) { return d; })[0];
}

TEST_F(ChromaMc, WorkedExamples) {
    EXPECT_EQ(first_sample<uint8_t>(0, 0, 37, 1, 2, 3), 37);
    EXPECT_EQ(first_sample<uint8_t>(4, 0, 10, 21, 0, 0), 16);
    EXPECT_EQ(first_sample<uint8_t>(4, 4, 0, 255, 255, 0), 128);
    EXPECT_EQ(first_sample<uint8_t>(0, 0, 101, 0, 0, 0, true, 100), 101);
    EXPECT_EQ(first_sample<uint16_t>(4, 4, 0, 1023, 1023, 0), 512);
    EXPECT_EQ(first_sample<uint16_t>(7, 7, 1023, 1023, 1023, 1023), 1023);
}

TEST_F(ChromaMc, FractionOutOfRangeReportsAndWritesNothing) {
    const std::regex report("x<8 && y<8 && x>=0 && y>=0 failed at .+:[0-9]+\\.\n");
    const int bad[][2] = {{8, 0}, {0, 8}, {-1, 0}, {0, -1}, {8, 8}, {100, 3}};
    for (int depth : {0, 2})
        for (int wc = 0; wc < 4; wc++)
            for (bool avg : {false, true})
                for (const auto &xy : bad) {
                    // An empty rectangle: under ASan any read or write stops the test.
                    GuardedArea src(depth ? 2 : 1, kStride, 0, -1, 0, 0),
                        dst(depth ? 2 : 1, kStride, 0, -1, 0, 0);
                    testing::internal::CaptureStdout();
                    (avg ? avg_chroma_pixels_tab : put_chroma_pixels_tab)[depth][wc](
                        dst.origin(), src.origin(), kStride, 2, xy[0], xy[1]);
                    std::fflush(stdout);
                    const std::string out = testing::internal::GetCapturedStdout();
                    EXPECT_TRUE(std::regex_match(out, report)) << out;
                    EXPECT_EQ(dst.damaged_guard_bytes(), 0u);
                }
}

}  // namespace
