// Inter-layer predictors against hand-computed filter outputs and a
// reference written from the two-stage upsampling rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/predict.h"
#include "guarded_area.h"

namespace {

struct Kernel {
    const char *name;
    SvacIntraPredSvcFn *table;
    int depth_index;
    int w;    // base columns
    int max;  // clip bound
};

const Kernel kKernels[] = {
    {"luma 8-bit", intra_pred_svc_l, 0, 8, 255},   {"luma 9-bit", intra_pred_svc_l, 1, 8, 511},
    {"luma 10-bit", intra_pred_svc_l, 2, 8, 1023}, {"chroma 8-bit", intra_pred_svc_c, 0, 4, 255},
    {"chroma 9-bit", intra_pred_svc_c, 1, 4, 511}, {"chroma 10-bit", intra_pred_svc_c, 2, 4, 1023},
};

// A base-layer area holding exactly rows -1..n+1 and columns -1..w+1 around
// the co-located block (plus `extra` unused samples per line, not after the
// last), so that reading beyond it trips the address sanitizer.
template <typename T>
struct BaseArea {
    int n, w, stride;
    std::vector<T> samples;
    BaseArea(int n_, int w_, int extra) : n(n_), w(w_), stride(w_ + 3 + extra) {
        samples.assign(static_cast<size_t>(n + 2) * stride + w + 3, 0);
    }
    T &at(int r, int c) { return samples[(r + 1) * stride + c + 1]; }
    const uint8_t *src() { return reinterpret_cast<const uint8_t *>(&at(0, 0)); }
};

int filter4(int a, int b, int c, int d, int max) {
    return std::clamp((9 * (b + c) - a - d + 8) >> 4, 0, max);
}

// out[row][col], 2n rows of 2w samples.
template <typename T>
std::vector<std::vector<int>> reference_upsample(BaseArea<T> &base, int max) {
    const int n = base.n, w = base.w;
    auto s = [&](int r, int c) { return static_cast<int>(base.at(r, c)); };
    std::vector<std::vector<int>> out(2 * n, std::vector<int>(2 * w));
    for (int row = 0; row < 2 * n; row++) {
        const int r = row / 2;
        auto b = [&](int c) {
            return row % 2 ? filter4(s(r - 1, c), s(r, c), s(r + 1, c), s(r + 2, c), max) : s(r, c);
        };
        for (int c = 0; c < w; c++) {
            out[row][2 * c] = b(c);
            out[row][2 * c + 1] = filter4(b(c - 1), b(c), b(c + 1), b(c + 2), max);
        }
    }
    return out;
}

// Runs the kernel into a padded canvas of 2w x dst_rows samples.
template <typename T>
std::unique_ptr<GuardedArea> upsample(const Kernel &k, BaseArea<T> &base, int n, int dst_rows,
                                      int extra = 8) {
    auto dst = std::make_unique<GuardedArea>(sizeof(T), 128 + extra, 0, 2 * k.w - 1, 0, dst_rows - 1);
    k.table[k.depth_index](dst->origin(), base.src(), static_cast<int>(dst->stride() / sizeof(T)),
                           base.stride, n);
    return dst;
}

template <typename T>
void expect_reference(const Kernel &k, BaseArea<T> &base, int extra) {
    auto dst = upsample<T>(k, base, base.n, 2 * base.n, extra);
    const auto want = reference_upsample(base, k.max);
    for (int y = 0; y < 2 * base.n; y++)
        for (int x = 0; x < 2 * k.w; x++)
            ASSERT_EQ(dst->get(x, y), want[y][x]) << k.name << " n " << base.n << " x " << x << " y " << y;
    EXPECT_EQ(dst->damaged_guard_bytes(), 0u) << k.name;
}

// Calls f with the kernel's sample type.
template <typename F>
void with_sample_type(const Kernel &k, F f) {
    if (k.depth_index == 0)
        f(uint8_t{});
    else
        f(uint16_t{});
}

class InterLayerPred : public ::testing::Test {
  protected:
    void SetUp() override { VQ_SVACDEC_predict_init(0); }
};

TEST_F(InterLayerPred, StepEdgeOvershoots) {
    // A horizontal step 100 | 200 between base columns 3 and 4: the filter
    // undershoots to 94 before the edge and overshoots to 206 after it.
    const std::vector<int> want = {100, 100, 100, 100, 100, 94,  100, 150,
                                   200, 206, 200, 200, 200, 200, 200, 200};
    BaseArea<uint8_t> base(8, 8, 0);
    for (int r = -1; r <= 9; r++)
        for (int c = -1; c <= 9; c++) base.at(r, c) = c >= 4 ? 200 : 100;
    auto dst = upsample<uint8_t>(kKernels[0], base, 8, 16);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) EXPECT_EQ(dst->get(x, y), want[x]) << x << " " << y;

    // The same step running vertically, between base rows 1 and 2 of a chroma block.
    const std::vector<int> column = {100, 94, 100, 150, 200, 206, 200, 200};
    BaseArea<uint16_t> cbase(4, 4, 0);
    for (int r = -1; r <= 5; r++)
        for (int c = -1; c <= 5; c++) cbase.at(r, c) = r >= 2 ? 200 : 100;
    auto cdst = upsample<uint16_t>(kKernels[5], cbase, 4, 8);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) EXPECT_EQ(cdst->get(x, y), column[y]) << x << " " << y;
}

TEST_F(InterLayerPred, MoreThanEightRowsIsRefused) {
    for (const auto &k : kKernels)
        with_sample_type(k, [&](auto sample) {
            using T = decltype(sample);
            BaseArea<T> base(9, k.w, 0);
            testing::internal::CaptureStdout();
            auto dst = upsample<T>(k, base, 9, 18);
            std::fflush(stdout);
            const std::string out = testing::internal::GetCapturedStdout();
            EXPECT_TRUE(testing::internal::RE::FullMatch(out, "n <= 8 failed at .+:[0-9]+\\.\n")) << out;
            EXPECT_EQ(dst->damaged_guard_bytes(), 0u);
            for (int x = 0; x < 2 * k.w; x++) EXPECT_EQ(dst->get(x, 0), static_cast<T>(0x9999));
        });
}

TEST_F(InterLayerPred, MatchesReference) {
    const unsigned seed = 99;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (const auto &k : kKernels)
        with_sample_type(k, [&](auto sample) {
            using T = decltype(sample);
            for (int iter = 0; iter < 300; iter++) {
                const int n = 1 + iter % 8;
                BaseArea<T> base(n, k.w, static_cast<int>(rng() % 5));
                const int kind = (iter / 8) % 3;
                for (auto &s : base.samples)
                    s = static_cast<T>(kind == 0   ? rng() % (k.max + 1)
                                       : kind == 1 ? (rng() % 2 ? k.max : 0)
                                                   : k.max - rng() % 3);
                expect_reference<T>(k, base, 8 * static_cast<int>(rng() % 4));
                if (HasFailure()) return;
            }
        });
}

}  // namespace
