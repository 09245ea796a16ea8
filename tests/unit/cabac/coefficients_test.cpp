// The coefficient decoder keeps the engine in locals: on random data and
// random context states it must decode exactly what the single-bin
// functions decode for the binarisation of the text, written out here.
#include "cabac/coefficients.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

int reference_block(SvacCabac *c, int group, int max_pairs, uint32_t max_pos, SvacRunLevel *pairs) {
    static const uint32_t threshold[5] = {0, 1, 2, 4, 3000};
    SvacCabacCtx *g = c->ctx + group;
    uint32_t s = 0, p = 0;
    int n = 0;
    for (;;) {
        uint32_t m = 1;
        if (!cabac_decode_symbol(c, g[7 * s + 1])) do
                m++;
            while (!cabac_decode_symbol(c, g[7 * s + 2]));
        const bool negative = cabac_decode_equiprobable(c);
        uint32_t z = 0;
        if (!cabac_decode_symbol(c, g[7 * s + (m == 1 ? 3 : 5)])) do
                z++;
            while (!cabac_decode_symbol(c, g[7 * s + (m == 1 ? 4 : 6)]));
        pairs[n++] = {static_cast<uint16_t>(z + 1), static_cast<int16_t>(negative ? -int(m) : int(m))};
        if (m > threshold[s]) s = m == 1 ? 1 : m == 2 ? 2 : m <= 4 ? 3 : 4;
        p = std::min(p + z + 1, max_pos);
        if (n == max_pairs) return n;
        if (cabac_decode_symbol_weight(c, g[7 * s], g[35 + p / 2])) return n;
    }
}

TEST(CabacCoefficients, InPlaceDecoderMatchesTheSingleBinFunctions) {
    std::mt19937 rng(20261206);
    std::vector<uint8_t> data(512);
    int blocks = 0, long_blocks = 0;
    for (int iter = 0; iter < 3000; iter++) {
        for (auto &b : data) b = static_cast<uint8_t>(rng());
        SvacCabac a;
        VQ_SVACDEC_cabac_init(&a, data.data(), 256, data.data() + data.size());
        // Random adapted states reach every path (skewed probabilities, both
        // symbols, every stage).
        for (SvacCabacCtx &x : a.ctx)
            x = {static_cast<uint8_t>(rng() & 1), static_cast<uint8_t>(rng() % 4),
                 static_cast<uint16_t>(7 + rng() % 1017)};
        SvacCabac b = a;
        const bool eight = iter & 1;
        const int group = svac_cabac_coef_group(iter & 2, iter & 4);
        // Several blocks in a row share the contexts, as in a macroblock.
        for (int k = 0; k < 4; k++) {
            SvacRunLevel pa[65], pb[65];
            const int na = eight ? cabac_decode_trans_coefficient(&a, group, pa)
                                 : cabac_decode_trans_coefficient_4x4(&a, group, pa);
            const int nb = reference_block(&b, group, eight ? 65 : 17, eight ? 63 : 15, pb);
            ASSERT_EQ(na, nb) << "iteration " << iter;
            for (int i = 0; i < na; i++) {
                ASSERT_EQ(pa[i].run, pb[i].run);
                ASSERT_EQ(pa[i].level, pb[i].level);
            }
            blocks++;
            long_blocks += na == (eight ? 65 : 17);
        }
        const SvacCabacEngine &x = a.e, &y = b.e;
        ASSERT_TRUE(x.next == y.next && x.past == y.past && x.k == y.k && x.lo == y.lo && x.a == y.a &&
                    x.v == y.v)
            << "iteration " << iter;
        ASSERT_EQ(std::memcmp(a.ctx, b.ctx, sizeof a.ctx), 0) << "iteration " << iter;
    }
    EXPECT_GT(long_blocks, 0);  // blocks that end without an end-of-block bin
    EXPECT_EQ(blocks, 12000);
}

}  // namespace
