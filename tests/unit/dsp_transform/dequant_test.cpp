// Dequantisers against the worked examples and a reference written from the
// placement and scaling rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/quant.h"

namespace {

// Scale factors and scan orders as published, kept apart from the library's copy.
const int kIq4[7][16] = {
    {16, 16, 16, 16, 16, 17, 16, 17, 16, 16, 16, 16, 16, 17, 16, 17},
    {18, 18, 18, 18, 18, 19, 18, 19, 18, 18, 18, 18, 18, 19, 18, 19},
    {20, 21, 20, 21, 21, 22, 21, 22, 20, 21, 20, 21, 21, 22, 21, 22},
    {22, 23, 22, 23, 23, 24, 23, 24, 22, 23, 22, 23, 23, 24, 23, 24},
    {26, 27, 26, 27, 27, 28, 27, 28, 26, 27, 26, 27, 27, 28, 27, 28},
    {28, 29, 28, 29, 29, 30, 29, 30, 28, 29, 28, 29, 29, 30, 29, 30},
    {30, 31, 30, 31, 31, 33, 31, 33, 30, 31, 30, 31, 31, 33, 31, 33},
};
const int kIq8[7][16] = {
    {32, 30, 33, 30, 30, 28, 31, 28, 33, 31, 35, 31, 30, 28, 31, 28},
    {36, 33, 37, 33, 33, 31, 35, 31, 37, 35, 39, 35, 33, 31, 35, 31},
    {40, 37, 42, 37, 37, 35, 39, 35, 42, 39, 44, 39, 37, 35, 39, 35},
    {44, 41, 46, 41, 41, 39, 43, 39, 46, 43, 48, 43, 41, 39, 43, 39},
    {52, 49, 54, 49, 49, 46, 51, 46, 54, 51, 57, 51, 49, 46, 51, 46},
    {56, 52, 58, 52, 52, 49, 55, 49, 58, 55, 61, 55, 52, 49, 55, 49},
    {60, 56, 63, 56, 56, 53, 59, 53, 63, 59, 66, 59, 56, 53, 59, 53},
};
const int kScan4[2][16] = {{0, 4, 1, 2, 5, 8, 12, 9, 6, 3, 7, 10, 13, 14, 11, 15},
                           {0, 1, 4, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}};
const int kScan8[2][64] = {
    {0,  8,  1,  2,  9,  16, 24, 17, 10, 3,  4,  11, 18, 25, 32, 40, 33, 26, 19, 12, 5,  6,
     13, 20, 27, 34, 41, 48, 56, 49, 42, 35, 28, 21, 14, 7,  15, 22, 29, 36, 43, 50, 57, 58,
     51, 44, 37, 30, 23, 31, 38, 45, 52, 59, 60, 53, 46, 39, 47, 54, 61, 62, 55, 63},
    {0,  1,  2,  8,  3,  4,  9,  10, 5,  6,  11, 16, 17, 7,  12, 18, 24, 13, 14, 19, 25, 26,
     32, 15, 20, 33, 21, 27, 34, 22, 28, 35, 40, 41, 23, 29, 36, 42, 48, 43, 30, 37, 49, 50,
     44, 31, 38, 51, 45, 39, 52, 46, 53, 47, 54, 56, 55, 57, 58, 59, 60, 61, 62, 63}};

// Straight from the rules: scan position p starts at -1 and advances by the
// low byte of each run modulo the block size; the value is
// iq[qp mod 7][class] * level * 2^(qp / 7), kept modulo 2^32.
std::vector<int32_t> reference_dequant(int n, const std::vector<SvacRunLevel> &pairs, int qp, int scan) {
    const int m = n * n;
    std::vector<int32_t> out(m, 0);
    int p = -1;
    for (int k = static_cast<int>(pairs.size()) - 1; k >= 0; k--) {
        p = ((p + (pairs[k].run & 255)) % m + m) % m;
        const int index = n == 4 ? kScan4[scan][p] : kScan8[scan][p];
        const int u = index / n, v = index % n;
        const int cls = 4 * (v % 4) + (u % 4);
        const int64_t scale = n == 4 ? kIq4[qp % 7][cls] : kIq8[qp % 7][cls];
        const int shift = qp / 7;
        const uint64_t product = static_cast<uint64_t>(scale * pairs[k].level);
        const uint64_t value = shift >= 32 ? 0 : product << shift;
        out[index] = static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return out;
}

class Dequant : public ::testing::Test {
  protected:
    void SetUp() override { VQ_SVACDEC_quant_init(0); }

    // Runs the table's kernel on a block with guard words on both sides and
    // checks the guards survive.
    static std::vector<int32_t> run(int n, const std::vector<SvacRunLevel> &pairs, int qp, int scan) {
        const int m = n * n;
        const int32_t guard = static_cast<int32_t>(0x99999999u);
        std::vector<int32_t> buf(m + 8, guard);
        for (int i = 0; i < m; i++) buf[4 + i] = 0x5a5a5a5a;  // stale coefficients
        auto fn = n == 4 ? svac_dequant4 : svac_dequant8;
        fn(pairs.data(), buf.data() + 4, qp, static_cast<int>(pairs.size()), scan);
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(buf[i], guard);
            EXPECT_EQ(buf[4 + m + i], guard);
        }
        return std::vector<int32_t>(buf.begin() + 4, buf.begin() + 4 + m);
    }
};

TEST_F(Dequant, RunsWrapAroundTheScan) {
    // Position 13 of the 4x4 frame scan is index 14 (u 3, v 2, class 11),
    // then 13 + 5 wraps to position 2: index 1 (u 0, v 1, class 4).
    const auto block = run(4, {{5, 2}, {14, 1}}, 6, 0);
    std::vector<int32_t> want(16, 0);
    want[14] = 31;
    want[1] = 2 * 31;
    EXPECT_EQ(block, want);
    // Only the low byte of a run counts: 256 + 1 is run 1.
    EXPECT_EQ(run(8, {{257, -3}}, 0, 0)[0], -3 * 32);
}

TEST_F(Dequant, MatchesReferenceOnRandomPairs) {
    // Levels up to the 16-bit extremes, shifts past 31 now and then.
    const unsigned seed = 20240611;
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    for (int iter = 0; iter < 4000; iter++) {
        const int n = iter % 2 ? 8 : 4;
        const int scan = (iter / 2) % 2;
        const int max_pairs = n * n + 1;
        const int count = static_cast<int>(rng() % (max_pairs + 1));
        // Mostly the quantisers a stream can give, sometimes far larger ones.
        const int qp = static_cast<int>(iter % 10 == 0 ? rng() % 256 : rng() % 56);
        std::vector<SvacRunLevel> pairs(count);
        for (auto &p : pairs) {
            const unsigned kind = rng() % 4;
            p.run = static_cast<uint16_t>(kind == 0 ? rng() : kind == 1 ? 0 : 1 + rng() % 4);
            p.level = static_cast<int16_t>(kind == 2 ? rng() : static_cast<int>(rng() % 41) - 20);
        }
        ASSERT_EQ(run(n, pairs, qp, scan), reference_dequant(n, pairs, qp, scan))
            << "n " << n << " qp " << qp << " scan " << scan << " count " << count;
    }
}

}  // namespace
