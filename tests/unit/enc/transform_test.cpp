// The real-mode forward transforms against the decoder's inverse kernels:
// transforming a residual and inverting it must give the residual back, and
// quantising in between must stay within the quantiser's error.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "dsp/dct.h"
#include "dsp/quant.h"
#include "forward.h"
#include "mb_recon.h"
#include "rng.h"

namespace {

class Transform : public ::testing::Test {
protected:
    static void SetUpTestSuite() { svacenc::init_kernels(0); }
};

// Adds the inverse transform of `coeffs` to a flat 128 block and returns
// the reconstructed residual.
void inverse(bool is4x4, int32_t *coeffs, int32_t *out) {
    const int n = is4x4 ? 4 : 8;
    uint8_t pix[64];
    for (auto &p : pix) p = 128;
    (is4x4 ? svac_idct4_add[0] : svac_idct8_add[0])(pix, coeffs, n);
    for (int i = 0; i < n * n; i++) out[i] = pix[i] - 128;
}

TEST_F(Transform, UnquantisedCoefficientsReconstructExactly) {
    svacenc::Rng rng(11);
    for (int iter = 0; iter < 2000; iter++) {
        const bool is4x4 = iter % 2 == 0;
        const int n = is4x4 ? 4 : 8;
        int32_t r[64], back[64];
        alignas(16) int32_t c[64];
        double d[64];
        for (int i = 0; i < n * n; i++) r[i] = rng.range(-100, 100);
        if (is4x4)
            svacenc::forward_transform_4x4(r, d);
        else
            svacenc::forward_transform_8x8(r, d);
        for (int i = 0; i < n * n; i++) c[i] = static_cast<int32_t>(std::lround(d[i]));
        inverse(is4x4, c, back);
        for (int i = 0; i < n * n; i++) ASSERT_EQ(back[i], r[i]) << "iteration " << iter << " sample " << i;
    }
}

TEST_F(Transform, DcOnlyResidualGivesOneCoefficient) {
    // A flat residual of 8 in a 4x4 block: DC = 1024 * 16 * 8 * 16 / 64^2 = 512,
    // which the inverse spreads back as (16 * 512 + 512) >> 10 = 8.
    int32_t r[16];
    double d[16];
    for (auto &v : r) v = 8;
    svacenc::forward_transform_4x4(r, d);
    EXPECT_NEAR(d[0], 512.0, 1e-9);
    for (int i = 1; i < 16; i++) EXPECT_NEAR(d[i], 0.0, 1e-9);
}

TEST_F(Transform, QuantisedBlocksStayWithinTheStep) {
    svacenc::Rng rng(5);
    for (int qp : {0, 14, 28, 42}) {
        for (int iter = 0; iter < 300; iter++) {
            const bool is4x4 = iter % 2 == 0;
            const int n = is4x4 ? 4 : 8;
            int32_t r[64], levels[64], back[64];
            alignas(16) int32_t c[64];
            for (int i = 0; i < n * n; i++) r[i] = rng.range(-120, 120);
            if (is4x4)
                svacenc::forward_quant_4x4(r, qp, 128, levels);
            else
                svacenc::forward_quant_8x8(r, qp, 128, levels);
            svacenc::BlockPairs bp;
            svacenc::levels_to_pairs(levels, is4x4, &bp);
            (is4x4 ? svac_dequant4 : svac_dequant8)(bp.pairs, c, qp, bp.count, 0);
            inverse(is4x4, c, back);
            double sse = 0, energy = 0;
            for (int i = 0; i < n * n; i++) {
                sse += double(back[i] - r[i]) * (back[i] - r[i]);
                energy += double(r[i]) * r[i];
            }
            // Uniform quantisation error: step^2 / 12 per sample, the step
            // doubling every 7 QP (about 1 at QP 0 in sample units).
            const double step = std::ldexp(1.0, qp / 7) * 2.0;
            ASSERT_LT(sse / (n * n), step * step / 4 + 1.0) << "qp " << qp << " iteration " << iter;
            if (qp <= 28) {
                ASSERT_LT(sse, energy) << "qp " << qp;
            }
        }
    }
}

TEST_F(Transform, LevelsBecomePairsInReverseScanOrder) {
    // Frame scan of 4x4 starts 0 4 1 2: index 0 is position 0, index 2
    // position 3. Pairs: highest frequency first, runs reaching back.
    int32_t levels[16] = {};
    levels[0] = 5;
    levels[2] = -1;
    svacenc::BlockPairs bp;
    svacenc::levels_to_pairs(levels, true, &bp);
    ASSERT_EQ(bp.count, 2);
    EXPECT_EQ(bp.pairs[0].run, 3);
    EXPECT_EQ(bp.pairs[0].level, -1);
    EXPECT_EQ(bp.pairs[1].run, 1);
    EXPECT_EQ(bp.pairs[1].level, 5);
    // The dequantiser puts them back: 16 * 5 at index 0, 16 * -1 at index 2.
    alignas(16) int32_t c[16];
    svac_dequant4(bp.pairs, c, 0, bp.count, 0);
    EXPECT_EQ(c[0], 80);
    EXPECT_EQ(c[2], -16);
    // 8x8: the last frame-scan position (index 63) alone has run 64.
    int32_t l8[64] = {};
    l8[63] = 2;
    svacenc::levels_to_pairs(l8, false, &bp);
    ASSERT_EQ(bp.count, 1);
    EXPECT_EQ(bp.pairs[0].run, 64);
}

}  // namespace
