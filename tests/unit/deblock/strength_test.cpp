// Boundary strengths and edge thresholds against hand-derived cases.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "recon/deblock.h"

namespace {

// L0 L1 V0 V1 T0 T1 H0 H1 F0 F1
using Ten = std::vector<int>;

Ten strengths(const SvacFilterParams &p) {
    const SvacDeblockStrengths s = svac_deblock_strengths(p);
    return {s.left[0], s.left[1],  s.vert[0],  s.vert[1], s.top[0],
            s.top[1],  s.horiz[0], s.horiz[1], s.grid[0], s.grid[1]};
}

// Two inter neighbours and an inter macroblock moving alike, nothing coded.
SvacFilterParams calm(uint32_t type = 2) {
    SvacFilterParams p = {};
    p.neighbour_flags = 3;
    p.qp = p.prev_qp = p.top_qp = 30;
    p.mb_type = type;
    p.prev_type = p.top_type = type;
    for (int i = 0; i < 24; i++) p.mv_cache[i] = SvacMvEntry{5, -3, 1, 0, 0, 0};
    // Never-available corners stay marked so; the filter must not look at them.
    p.mv_cache[7] = p.mv_cache[11] = p.mv_cache[19] = p.mv_cache[23] = svac_unavail_mv;
    p.mv_cache[0] = p.mv_cache[3] = p.mv_cache[12] = p.mv_cache[15] = svac_unavail_mv;
    return p;
}

TEST(DeblockStrengths, UniformInterMotionGivesNothing) {
    EXPECT_EQ(strengths(calm(2)), Ten(10, 0));
    EXPECT_EQ(strengths(calm(8)), Ten(10, 0));
    EXPECT_TRUE(svac_deblock_strengths_zero(svac_deblock_strengths(calm())));
}

TEST(DeblockStrengths, IntraSides) {
    SvacFilterParams p = calm();
    p.prev_type = 0;
    EXPECT_EQ(strengths(p), (Ten{3, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
    p = calm();
    p.top_type = 1;
    EXPECT_EQ(strengths(p), (Ten{0, 0, 0, 0, 3, 3, 0, 0, 0, 0}));
    // An intra macroblock: 3 on both outer edges, 2 inside; the 4x4 grid
    // only with the 4x4 transform.
    p = calm();
    p.mb_type = 1;
    EXPECT_EQ(strengths(p), (Ten{3, 3, 2, 2, 3, 3, 2, 2, 0, 0}));
    p.mb_type = 0;
    EXPECT_EQ(strengths(p), (Ten{3, 3, 2, 2, 3, 3, 2, 2, 2, 2}));
    // Intra neighbours without availability do not count.
    p = calm();
    p.prev_type = p.top_type = 0;
    p.neighbour_flags = 0;
    EXPECT_EQ(strengths(p), Ten(10, 0));
    p.neighbour_flags = 4 | 8;  // top-right and top-left say nothing about these edges
    EXPECT_EQ(strengths(p), Ten(10, 0));
    p = calm();
    p.mb_type = 0;
    p.neighbour_flags = 0;
    EXPECT_EQ(strengths(p), (Ten{0, 0, 2, 2, 0, 0, 2, 2, 2, 2}));
}

TEST(DeblockStrengths, CodedBlocksOfEachSide) {
    struct Case {
        uint32_t cbp, prev_cbp, top_cbp;
        Ten want;
    };
    const Case cases[] = {
        {1, 0, 0, {2, 0, 2, 0, 2, 0, 2, 0, 0, 0}},  // block 0: left top, top left, both inner
        {2, 0, 0, {0, 0, 2, 0, 0, 2, 0, 2, 0, 0}},  // block 1
        {4, 0, 0, {0, 2, 0, 2, 0, 0, 2, 0, 0, 0}},  // block 2
        {8, 0, 0, {0, 0, 0, 2, 0, 0, 0, 2, 0, 0}},  // block 3
        {0x30, 0, 0, Ten(10, 0)},                   // chroma bits play no part
        {0, 2, 0, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // left neighbour's right blocks
        {0, 8, 0, {0, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0, 1 | 4, 0, Ten(10, 0)},                  // its left column is not at the edge
        {0, 0, 4, {0, 0, 0, 0, 2, 0, 0, 0, 0, 0}},  // upper neighbour's bottom blocks
        {0, 0, 8, {0, 0, 0, 0, 0, 2, 0, 0, 0, 0}},
        {0, 0, 1 | 2, Ten(10, 0)},
    };
    for (const Case &c : cases) {
        SvacFilterParams p = calm();
        p.cbp = c.cbp;
        p.prev_cbp = c.prev_cbp;
        p.top_cbp = c.top_cbp;
        EXPECT_EQ(strengths(p), c.want) << c.cbp << " " << c.prev_cbp << " " << c.top_cbp;
    }
    // Coefficients win over a motion difference on the same edge.
    SvacFilterParams p = calm();
    p.mv_cache[4].mv_x += 20;
    p.prev_cbp = 2;
    EXPECT_EQ(strengths(p)[0], 2);
}

TEST(DeblockStrengths, MotionDifferenceOfFourQuarterSamples) {
    struct Case {
        int entry, dx, dy, dref;
        Ten want;
    };
    const Case cases[] = {
        {4, 4, 0, 0, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {4, 3, 0, 0, Ten(10, 0)},
        {4, -3, 3, 0, Ten(10, 0)},
        {4, 0, -4, 0, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {4, 0, 0, 1, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // another reference
        {8, -4, 0, 0, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {1, 0, 4, 0, {0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
        {2, 0, 0, -1, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
        // Current blocks touch several edges each.
        {5, 4, 0, 0, {1, 0, 1, 0, 1, 0, 1, 0, 0, 0}},
        {6, 0, 7, 0, {0, 0, 1, 0, 0, 1, 0, 1, 0, 0}},
        {9, 0, 0, 2, {0, 1, 0, 1, 0, 0, 1, 0, 0, 0}},
        {10, -9, 0, 0, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0}},
        // Corner entries belong to no edge.
        {0, 40, 40, 1, Ten(10, 0)},
        {3, 40, 40, 1, Ten(10, 0)},
    };
    for (const Case &c : cases) {
        SvacFilterParams p = calm();
        p.mv_cache[c.entry].mv_x = static_cast<int16_t>(p.mv_cache[c.entry].mv_x + c.dx);
        p.mv_cache[c.entry].mv_y = static_cast<int16_t>(p.mv_cache[c.entry].mv_y + c.dy);
        p.mv_cache[c.entry].ref_idx = static_cast<int16_t>(p.mv_cache[c.entry].ref_idx + c.dref);
        EXPECT_EQ(strengths(p), c.want) << "entry " << c.entry << " dx " << c.dx;
    }
    // A differing left entry is ignored when the left macroblock is absent.
    SvacFilterParams p = calm();
    p.mv_cache[4].mv_x = 100;
    p.neighbour_flags = 2;
    EXPECT_EQ(strengths(p), Ten(10, 0));
}

TEST(DeblockStrengths, ListOneOnlyForBTypes) {
    for (uint32_t type : {2u, 6u, 7u, 8u, 29u, 30u}) {
        SvacFilterParams p = calm(type);
        p.mv_cache[16].mv_x += 4;    // left neighbour, list 1
        p.mv_cache[22].ref_idx = 1;  // current block 3, list 1
        const int b = type >= 7 ? 1 : 0;
        EXPECT_EQ(strengths(p), (Ten{b, 0, 0, b, 0, 0, 0, b, 0, 0})) << type;
    }
    // List 1 is consulted only when list 0 shows no difference: result stays 1.
    SvacFilterParams p = calm(9);
    p.mv_cache[4].mv_x += 4;
    p.mv_cache[16].mv_x += 4;
    EXPECT_EQ(strengths(p)[0], 1);
}

TEST(DeblockThresholds, TablesAndOffsets) {
    const uint8_t bs12[2] = {1, 2};
    SvacEdgeThresholds t = svac_edge_thresholds(30, 0, 0, bs12);
    EXPECT_EQ(t.alpha, 25);
    EXPECT_EQ(t.beta, 8);
    EXPECT_EQ(t.tc0[0], 2);  // index 30
    EXPECT_EQ(t.tc0[1], 2);  // index 31
    // The alpha offset moves alpha and the clip index, the beta offset only beta.
    t = svac_edge_thresholds(30, -2, 3, bs12);
    EXPECT_EQ(t.alpha, 20);
    EXPECT_EQ(t.beta, 9);
    EXPECT_EQ(t.tc0[0], 1);  // index 28
    EXPECT_EQ(t.tc0[1], 1);  // index 29
    t = svac_edge_thresholds(30, 0, -20, bs12);
    EXPECT_EQ(t.beta, 0);
    EXPECT_EQ(t.tc0[0], 2);
    // Strength 3 reads two entries higher than 1; 0 one lower.
    const uint8_t bs03[2] = {0, 3};
    t = svac_edge_thresholds(36, 0, 0, bs03);
    EXPECT_EQ(t.tc0[0], 2);  // index 35
    EXPECT_EQ(t.tc0[1], 3);  // index 38
    // Below 16 after the offset nothing passes.
    EXPECT_EQ(svac_edge_thresholds(15, 0, 0, bs12).alpha, 0);
    EXPECT_EQ(svac_edge_thresholds(20, -5, 0, bs12).alpha, 0);
    EXPECT_EQ(svac_edge_thresholds(16, 0, 0, bs12).alpha, 4);
    EXPECT_EQ(svac_edge_thresholds(16, 0, 0, bs12).beta, 2);
    // Indices saturate at both ends, even with absurd offsets.
    t = svac_edge_thresholds(50, INT32_MAX, INT32_MAX, bs03);
    EXPECT_EQ(t.alpha, 255);
    EXPECT_EQ(t.beta, 20);
    EXPECT_EQ(t.tc0[1], 7);
    t = svac_edge_thresholds(0, INT32_MIN, INT32_MIN, bs03);
    EXPECT_EQ(t.alpha, 0);
    EXPECT_EQ(t.beta, 0);
    EXPECT_EQ(t.tc0[0], 0);
}

}  // namespace
