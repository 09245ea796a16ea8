// Inverse transforms against the worked examples and a reference written as
// plain matrix products of the one-dimensional transforms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/dct.h"
#include "dsp/dsp_init.h"
#include "guarded_area.h"

namespace {

// Row i holds the weights of x0..x(N-1) in output y_i.
const int kM4[4][4] = {{4, 5, 4, 2}, {4, 2, -4, -5}, {4, -2, -4, 5}, {4, -5, 4, -2}};
const int kM8[8][8] = {
    {8, 12, 10, 10, 8, 6, 4, 3},     {8, 10, 4, -3, -8, -12, -10, -6}, {8, 6, -4, -12, -8, 3, 10, 10},
    {8, 3, -10, -6, 8, 10, -4, -12}, {8, -3, -10, 6, 8, -10, -4, 12},  {8, -6, -4, 12, -8, -3, 10, -10},
    {8, -10, 4, 3, -8, 12, -10, 6},  {8, -12, 10, -10, 8, -6, 4, -3},
};

int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

int weight(int n, int i, int k) { return n == 4 ? kM4[i][k] : kM8[i][k]; }

// residual[y][x] for a column-major coefficient block.
std::vector<std::vector<int32_t>> reference_residual(int n, const std::vector<int32_t> &c) {
    const int shift1 = n == 4 ? 0 : 3, shift2 = n == 4 ? 10 : 11;
    std::vector<std::vector<int32_t>> t(n, std::vector<int32_t>(n));  // t[x][v]
    for (int v = 0; v < n; v++)
        for (int x = 0; x < n; x++) {
            int64_t sum = 0;
            for (int u = 0; u < n; u++) sum += int64_t{weight(n, x, u)} * c[n * u + v];
            t[x][v] = wrap32(sum) >> shift1;
        }
    std::vector<std::vector<int32_t>> res(n, std::vector<int32_t>(n));
    for (int x = 0; x < n; x++)
        for (int y = 0; y < n; y++) {
            int64_t sum = 0;
            for (int v = 0; v < n; v++) sum += int64_t{weight(n, y, v)} * t[x][v];
            res[y][x] = wrap32(sum + (1 << (shift2 - 1))) >> shift2;
        }
    return res;
}

class Transform : public ::testing::Test {
  protected:
    void SetUp() override { VQ_SVACDEC_dct_init(0); }
};

// Runs the table kernel for bit depth 8 or 10 on a prediction in a padded
// canvas and compares with the reference; returns the reconstructed block.
template <typename T>
std::vector<int> check_add(int n, const std::vector<int32_t> &coefs, const std::vector<int> &pred,
                           int extra) {
    const int max = sizeof(T) == 1 ? 255 : 1023;
    GuardedArea blk(sizeof(T), 128 + extra, 0, n - 1, 0, n - 1);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) blk.set(x, y, pred[y * n + x]);
    std::vector<int32_t> block = coefs;
    const int depth = sizeof(T) == 1 ? 0 : 2;
    (n == 4 ? svac_idct4_add : svac_idct8_add)[depth](blk.origin(), block.data(), blk.stride());
    const auto res = reference_residual(n, coefs);
    std::vector<int> out(n * n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            out[y * n + x] = blk.get(x, y);
            EXPECT_EQ(out[y * n + x], std::clamp(pred[y * n + x] + res[y][x], 0, max))
                << "x " << x << " y " << y;
        }
    EXPECT_EQ(blk.damaged_guard_bytes(), 0u);
    return out;
}

std::vector<int32_t> dc_only(int n, int32_t d) {
    std::vector<int32_t> c(n * n, 0);
    c[0] = d;
    return c;
}

TEST_F(Transform, DcOnlyRoundsAsPublished) {
    // 4x4 adds (16d + 512) >> 10, 8x8 adds (8d + 1024) >> 11 to every sample.
    const struct {
        int n;
        int32_t d;
        int delta;
    } cases[] = {{4, 32, 1},  {4, 31, 0},  {4, -33, -1},  {4, -32, 0},
                 {8, 128, 1}, {8, 127, 0}, {8, -129, -1}, {8, -128, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " d " << c.d);
        const std::vector<int> pred(c.n * c.n, 100);
        const std::vector<int> want(c.n * c.n, 100 + c.delta);
        EXPECT_EQ(check_add<uint8_t>(c.n, dc_only(c.n, c.d), pred, 8), want);
        EXPECT_EQ(check_add<uint16_t>(c.n, dc_only(c.n, c.d), pred, 8), want);
    }
}

template <typename T>
void random_blocks(unsigned seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    const int max = sizeof(T) == 1 ? 255 : 1023;
    for (int iter = 0; iter < 1500; iter++) {
        const int n = iter % 2 ? 8 : 4;
        std::vector<int32_t> c(n * n, 0);
        const int kind = (iter / 2) % 6;
        for (auto &v : c) {
            switch (kind) {
                case 0:
                    v = rng() % 4 ? 0 : static_cast<int32_t>(rng() % 8001) - 4000;
                    break;
                case 1:
                    v = static_cast<int32_t>(rng() % 400001) - 200000;
                    break;
                case 2:
                    v = static_cast<int32_t>(rng());
                    break;  // wraps
                case 3:
                    v = INT32_MAX;
                    break;
                case 4:
                    v = rng() % 2 ? INT32_MAX : INT32_MIN;
                    break;
                default:
                    v = static_cast<int32_t>(rng() % 131) - 65;
                    break;
            }
        }
        std::vector<int> pred(n * n);
        const int pred_kind = static_cast<int>(rng() % 4);
        for (auto &p : pred)
            p = pred_kind == 0 ? 0 : pred_kind == 1 ? max : static_cast<int>(rng() % (max + 1));
        const int extra = static_cast<int>(rng() % 3) * 8;
        check_add<T>(n, c, pred, extra);
        if (::testing::Test::HasFailure()) return;
    }
}

TEST_F(Transform, MatchesReference8Bit) { random_blocks<uint8_t>(81); }
TEST_F(Transform, MatchesReference10Bit) { random_blocks<uint16_t>(82); }

}  // namespace
