// Context choices of the macroblock elements and the coefficient states.
// With the offset far below the range every bin takes the MPS path and
// reads nothing, so a bin's value is the `mps` of the context it used: the
// decoded values below show which contexts were chosen.
#include "cabac/elements.h"

#include <gtest/gtest.h>

#include "cabac/coefficients.h"
#include "recon/macroblock.h"

namespace {

struct Fixture {
    SvacCabac c{};
    SvacMacroblock mb{};
    uint8_t top_cbp[2] = {};
    int32_t top_chroma[2][2] = {};
    int32_t top_code[2] = {};
    int32_t top_svc[2] = {};

    // mps 1 on the listed contexts, 0 elsewhere.
    Fixture(std::initializer_list<int> ones) {
        for (SvacCabacCtx &x : c.ctx) x = {0, 0, 1023};
        for (int i : ones) c.ctx[i].mps = 1;
        c.e.a = 1000 * 256 + 255;  // range fraction 255, offset 0 with 1000 pending shifts
        mb.top_cbp = top_cbp;
        mb.top_chroma_pred_mode[0] = top_chroma[0];
        mb.top_chroma_pred_mode[1] = top_chroma[1];
        mb.top_type_code = top_code;
        mb.top_svc_mode = top_svc;
        mb.mb_x = 1;
    }
};

TEST(CabacElements, CbpContextsFollowTheUncodedNeighbourBlocks) {
    // Left: blocks 1, Cb and Cr coded (not "Cr without Cb"); top: block 3
    // and Cr only. Luma contexts 48 + a + 2b: block 0 a0 b1, block 1 a0 b0
    // (block 0 coded), block 2 a1 b0, block 3 a1 b1. Chroma: 55 (both
    // neighbours have chroma), then 54 and 58 (only the top has Cr alone).
    Fixture f({50, 51, 55, 58});
    f.mb.neighbour_flags = NB_LEFT | NB_TOP;
    f.mb.prev_cbp = 0x32;
    f.top_cbp[1] = 0x28;
    f.c.last_qp_delta = 3;
    EXPECT_EQ(cabac_decode_cbp(&f.c, &f.mb, false), 9u + 32u);
    // 4:2:2: the first chroma bin has no neighbour increment (context 52).
    EXPECT_EQ(cabac_decode_cbp(&f.c, &f.mb, true), 9u);
    EXPECT_EQ(f.c.last_qp_delta, 3);
    // Without neighbours blocks 2 and 3 see the uncoded blocks 0 and 1
    // above them (context 50); block 1 sees block 0 on its left (49).
    Fixture g({50});
    EXPECT_EQ(cabac_decode_cbp(&g.c, &g.mb, false), 12u);
    Fixture z({});
    z.c.last_qp_delta = 5;
    EXPECT_EQ(cabac_decode_cbp(&z.c, &z.mb, false), 0u);
    EXPECT_EQ(z.c.last_qp_delta, 0);
}

TEST(CabacElements, TypesAndTheirNeighbourCodes) {
    Fixture f({2});
    EXPECT_EQ(cabac_decode_mb_type_p(&f.c, &f.mb), 5);  // the single bin 1
    EXPECT_EQ(f.mb.left_type_code, 0);
    // Five 0 bins after the first: no type, and no sixth bin is read (the
    // last context adapted twice: 1023 -> 865 -> 730).
    Fixture g({});
    g.mb.left_type_code = g.top_code[1] = 9;
    EXPECT_EQ(cabac_decode_mb_type_p(&g.c, &g.mb), -1);
    EXPECT_EQ(g.c.ctx[6].lg_pmps, 730);
    Fixture h({4});  // 0, 0, 1: the 8x8 transform
    EXPECT_EQ(cabac_decode_mb_type_i(&h.c, &h.mb), 1);
    EXPECT_EQ(h.mb.left_type_code, 2);
    EXPECT_EQ(h.top_code[1], 2);
}

TEST(CabacElements, ModesReferencesDifferencesAndQuantiser) {
    // 4:2:2 lower chroma row: the column's upper entry counts even without
    // an upper neighbour (context 27); the upper row needs the neighbour.
    Fixture f({27, 24, 30, 32, 33, 35, 61, 62});
    f.top_chroma[0][1] = 3;
    EXPECT_EQ(cabac_decode_intra_chroma_pred_mode(&f.c, &f.mb, 1, true, false), 1u);
    EXPECT_EQ(cabac_decode_intra_chroma_pred_mode(&f.c, &f.mb, 0, true, false), 0u);
    EXPECT_EQ(cabac_decode_intra_luma_pred_mode(&f.c), 2u);  // 0 1
    // Reference index: left index 1, upper intra -> context 31 (0), then 34
    // (0) and 35 (1): index 2.
    f.mb.mv_cache[0][4].ref_idx = 1;
    f.mb.mv_cache[0][1].ref_idx = REF_INTRA;
    EXPECT_EQ(cabac_decode_mb_reference_index(&f.c, &f.mb, 5), 2u);
    // Quantiser delta after a nonzero one: 61, 62 (1), 63 (0): k = 2, -1.
    f.c.last_qp_delta = 4;
    EXPECT_EQ(cabac_decode_mb_qp_delta(&f.c), -1);
    EXPECT_EQ(f.c.last_qp_delta, -1);
    // Differences: the left magnitude picks 36, 37 (2..15) or 38 (16 on);
    // seven 0 bins of the unary part give 8 without a terminating bin.
    Fixture g({37});
    EXPECT_EQ(cabac_decode_mv_diff(&g.c, 0, -1), 0);
    EXPECT_EQ(cabac_decode_mv_diff(&g.c, 0, 16), 0);
    EXPECT_EQ(cabac_decode_mv_diff(&g.c, 0, -15), 8);
    Fixture h({44});
    EXPECT_EQ(cabac_decode_mv_diff(&h.c, 1, 16), 8);
}

TEST(CabacCoefficients, FirstCoefficientLeavesStateZeroAndSetsTheEndContexts) {
    // Magnitude 2 (first bin 0, then 1), run bin 1: state 2, so the end
    // decision blends 7 * 2 and position context 35 (both mps 1). Were
    // state 1 used, its lower weight and mps 0 would win and go on.
    for (const bool four : {false, true}) {
        const int g = svac_cabac_coef_group(true, false);
        Fixture f({g + 2, g + 5, g + 14, g + 35});
        f.c.ctx[g + 7].lg_pmps = 500;
        SvacRunLevel pairs[65];
        const int n = four ? cabac_decode_trans_coefficient_4x4(&f.c, g, pairs)
                           : cabac_decode_trans_coefficient(&f.c, g, pairs);
        ASSERT_EQ(n, 1);
        EXPECT_EQ(pairs[0].run, 1);
        EXPECT_EQ(pairs[0].level, 2);
    }
    EXPECT_EQ(svac_cabac_coef_group(false, true), 64);
    EXPECT_EQ(svac_cabac_coef_group(false, false), 131);
    EXPECT_EQ(svac_cabac_coef_group(true, true), 198);
}

}  // namespace
