// Luma and chroma block predictors against the worked examples and a
// reference written per sample from the prediction formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/predict.h"
#include "guarded_area.h"

namespace {

enum Mode { kVert, kHoriz, kLp, kDownLeft, kDownRight, kLpLeft, kLpTop, kDc128, kPlane };

// Table orders as published.
const Mode kLumaModes[8] = {kVert, kHoriz, kLp, kDownLeft, kDownRight, kLpLeft, kLpTop, kDc128};
const Mode kChromaModes[7] = {kLp, kHoriz, kVert, kPlane, kLpLeft, kLpTop, kDc128};

int reference_pred(Mode m, const std::vector<int> &t, const std::vector<int> &l, int x, int y, int max) {
    auto tf = [&](int i) { return (t[i - 1] + 2 * t[i] + t[i + 1] + 2) >> 2; };
    auto lf = [&](int i) { return (l[i - 1] + 2 * l[i] + l[i + 1] + 2) >> 2; };
    switch (m) {
        case kVert:
            return t[x + 1];
        case kHoriz:
            return l[y + 1];
        case kLp:
            return (tf(x + 1) + lf(y + 1)) >> 1;
        case kDownLeft:
            return (tf(x + y + 2) + lf(x + y + 2)) >> 1;
        case kDownRight:
            if (x > y) return tf(x - y);
            if (x < y) return lf(y - x);
            return (t[1] + 2 * t[0] + l[1] + 2) >> 2;
        case kLpLeft:
            return lf(y + 1);
        case kLpTop:
            return tf(x + 1);
        case kDc128:
            return max == 255 ? 128 : 512;
        case kPlane: {
            const int h = (t[5] - t[3]) + 2 * (t[6] - t[2]) + 3 * (t[7] - t[1]) + 4 * (t[8] - t[0]);
            const int v = (l[5] - l[3]) + 2 * (l[6] - l[2]) + 3 * (l[7] - l[1]) + 4 * (l[8] - l[0]);
            const int b = (17 * h + 16) >> 5, c = (17 * v + 16) >> 5, a = 16 * (t[8] + l[8]);
            return std::clamp((a + b * (x - 3) + c * (y - 3) + 16) >> 5, 0, max);
        }
    }
    return -1;
}

// One family of table entries: block size, neighbour array length, modes.
struct Family {
    const char *name;
    SvacIntraPredFn *table;
    int modes;
    int n;
    int array_len;  // exactly what the family may read
    const Mode *order;
};

const Family kFamilies[] = {
    {"luma 4x4", intra_pred_l_4x4, 8, 4, 10, kLumaModes},
    {"luma 8x8", intra_pred_l, 8, 8, 18, kLumaModes},
    {"chroma", intra_pred_c, 7, 8, 10, kChromaModes},
};

// Runs a table entry on exact-size neighbour arrays (so reading past them
// trips the address sanitizer) into a padded canvas, checks every sample
// against the reference and the padding, and returns the prediction.
template <typename T>
std::vector<int> predict(const Family &f, int mode, const std::vector<int> &top, const std::vector<int> &left,
                         int extra = 8) {
    const int max = sizeof(T) == 1 ? 255 : 1023;
    const int depth = sizeof(T) == 1 ? 0 : 2;
    const std::vector<T> t(top.begin(), top.begin() + f.array_len);
    const std::vector<T> l(left.begin(), left.begin() + f.array_len);
    GuardedArea blk(sizeof(T), 128 + extra, 0, f.n - 1, 0, f.n - 1);
    f.table[depth * f.modes + mode](blk.origin(), reinterpret_cast<const uint8_t *>(t.data()),
                                    reinterpret_cast<const uint8_t *>(l.data()), blk.stride());
    std::vector<int> out(f.n * f.n);
    for (int y = 0; y < f.n; y++)
        for (int x = 0; x < f.n; x++) {
            out[y * f.n + x] = blk.get(x, y);
            EXPECT_EQ(out[y * f.n + x], reference_pred(f.order[mode], top, left, x, y, max))
                << f.name << " mode " << mode << " bits " << 8 + depth << " x " << x << " y " << y;
        }
    EXPECT_EQ(blk.damaged_guard_bytes(), 0u) << f.name << " mode " << mode;
    return out;
}

class IntraPred : public ::testing::Test {
  protected:
    void SetUp() override { VQ_SVACDEC_predict_init(0); }
};

TEST_F(IntraPred, DownLeftReachesTheLastArrayEntry) {
    // Only the bottom-right sample sees top[2N+1] and left[2N+1]:
    // ((0 + 0 + 200 + 2) >> 2) = 50 and 25 average to 37.
    for (int fi = 0; fi < 2; fi++) {
        const Family &f = kFamilies[fi];
        std::vector<int> top(18, 0), left(18, 0);
        top[2 * f.n + 1] = 200;
        left[2 * f.n + 1] = 100;
        std::vector<int> want(f.n * f.n, 0);
        want.back() = 37;
        EXPECT_EQ(predict<uint8_t>(f, 3, top, left), want) << f.name;
        EXPECT_EQ(predict<uint16_t>(f, 3, top, left), want) << f.name;
    }
}

TEST_F(IntraPred, DownRightPutsTheCornerFilterOnTheDiagonal) {
    std::mt19937 rng(7);
    for (int fi = 0; fi < 2; fi++) {
        const Family &f = kFamilies[fi];
        std::vector<int> top(18), left(18);
        for (auto &v : top) v = static_cast<int>(rng() % 256);
        for (auto &v : left) v = static_cast<int>(rng() % 256);
        top[0] = left[0] = 100;
        top[1] = 40;
        left[1] = 60;
        const auto out = predict<uint8_t>(f, 4, top, left);
        for (int i = 0; i < f.n; i++) EXPECT_EQ(out[i * f.n + i], 75) << f.name << " " << i;
    }
}

TEST_F(IntraPred, PlaneClipsSteepGradients) {
    const Family &c = kFamilies[2];
    std::vector<int> rising(18), falling(18), rising10(18);
    for (int i = 0; i < 18; i++) {
        rising[i] = i >= 5 ? 255 : 0;
        falling[i] = i >= 5 ? 0 : 255;
        rising10[i] = i >= 5 ? 1023 : 0;
    }
    // H = V = 2550, b = c = 1355, a = 8160.
    auto out = predict<uint8_t>(c, 3, rising, rising);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 43);
    EXPECT_EQ(out[63], 255);
    // H = V = -2550, b = c = -1355, a = 0.
    out = predict<uint8_t>(c, 3, falling, falling);
    EXPECT_EQ(out[0], 254);
    EXPECT_EQ(out[3 * 8 + 3], 0);
    EXPECT_EQ(out[63], 0);
    // H = V = 10230, b = c = 5435, a = 32736.
    out = predict<uint16_t>(c, 3, rising10, rising10);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[63], 1023);
}

template <typename T>
void random_neighbours(unsigned seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    const int max = sizeof(T) == 1 ? 255 : 1023;
    for (const auto &f : kFamilies)
        for (int m = 0; m < f.modes; m++)
            for (int iter = 0; iter < 200; iter++) {
                std::vector<int> top(18), left(18);
                const int kind = iter % 4;
                for (int i = 0; i < 18; i++) {
                    const auto pick = [&]() {
                        if (kind == 0) return static_cast<int>(rng() % (max + 1));
                        if (kind == 1) return rng() % 2 ? max : 0;
                        if (kind == 2) return max - static_cast<int>(rng() % 4);
                        return static_cast<int>(rng() % 4);
                    };
                    top[i] = pick();
                    left[i] = pick();
                }
                predict<T>(f, m, top, left, static_cast<int>(rng() % 3) * 8);
                if (::testing::Test::HasFailure()) return;
            }
}

TEST_F(IntraPred, MatchesReference8Bit) { random_neighbours<uint8_t>(11); }
TEST_F(IntraPred, MatchesReference10Bit) { random_neighbours<uint16_t>(12); }

}  // namespace
