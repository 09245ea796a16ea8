// The generator's own macroblock bookkeeping: neighbour availability across
// slices, luma mode prediction and syntax, what macroblocks hand on to their
// neighbours, mode replacement at edges and the gathering of neighbour
// samples, each against the worked examples of the format.
#include <gtest/gtest.h>

#include "frame.h"
#include "intra_modes.h"
#include "intra_neighbours.h"

namespace {

using svacenc::MbNeighbours;

TEST(Availability, SecondSliceSeesNothingBeforeItsFirstMacroblock) {
    // 10 x 8 macroblocks, a slice starting at 25 (x 5, y 2).
    const MbNeighbours first = svacenc::mb_neighbours(25, 10, 25);
    EXPECT_EQ(first.flags(), 0u);
    const MbNeighbours next = svacenc::mb_neighbours(26, 10, 25);
    EXPECT_EQ(next.flags(), 1u);  // left only: 16, 15 and 17 lie before 25
    const MbNeighbours below = svacenc::mb_neighbours(35, 10, 25);
    EXPECT_TRUE(below.left && below.top && below.top_right);
    EXPECT_FALSE(below.top_left);  // 24
    const MbNeighbours before = svacenc::mb_neighbours(34, 10, 25);
    EXPECT_EQ(before.flags(), 1u | 4u);  // left 33, top-right 25
    const MbNeighbours row_start = svacenc::mb_neighbours(30, 10, 25);
    EXPECT_EQ(row_start.flags(), 0u);
}

TEST(Availability, PictureEdges) {
    const MbNeighbours last_in_row = svacenc::mb_neighbours(19, 10, 0);
    EXPECT_TRUE(last_in_row.left && last_in_row.top && last_in_row.top_left);
    EXPECT_FALSE(last_in_row.top_right);
    EXPECT_EQ(svacenc::mb_neighbours(0, 10, 0).flags(), 0u);
    EXPECT_EQ(svacenc::mb_neighbours(5, 10, 0).flags(), 1u);
    EXPECT_EQ(svacenc::mb_neighbours(10, 10, 0).flags(), 2u | 4u);
    EXPECT_EQ(svacenc::mb_neighbours(11, 10, 0).flags(), 15u);
    // One macroblock wide: only the top neighbour can exist.
    EXPECT_EQ(svacenc::mb_neighbours(3, 1, 0).flags(), 2u);
}

TEST(ModePrediction, SmallerNeighbourOrDcWhenOneIsMissing) {
    EXPECT_EQ(svacenc::predicted_mode(-1, 3), 2);
    EXPECT_EQ(svacenc::predicted_mode(4, -1), 2);
    EXPECT_EQ(svacenc::predicted_mode(1, 3), 1);
    EXPECT_EQ(svacenc::predicted_mode(4, 4), 4);
    EXPECT_EQ(svacenc::predicted_mode(0, 2), 0);
}

TEST(ModePrediction, RemainderSkipsThePredictedMode) {
    // Predicted 2: flag gives 2; remainders 0, 1 give 0, 1; 2, 3 give 3, 4.
    EXPECT_EQ(svacenc::mode_from_syntax({true, 0}, 2), 2);
    EXPECT_EQ(svacenc::mode_from_syntax({false, 0}, 2), 0);
    EXPECT_EQ(svacenc::mode_from_syntax({false, 1}, 2), 1);
    EXPECT_EQ(svacenc::mode_from_syntax({false, 2}, 2), 3);
    EXPECT_EQ(svacenc::mode_from_syntax({false, 3}, 2), 4);
    // A remainder equal to the prediction yields the prediction + 1.
    EXPECT_EQ(svacenc::mode_from_syntax({false, 0}, 0), 1);
    for (int pred = 0; pred < 5; pred++)
        for (int m = 0; m < 5; m++) {
            const svacenc::ModeSyntax s = svacenc::mode_syntax(m, pred);
            EXPECT_EQ(s.use_predicted, m == pred);
            EXPECT_LT(s.rem, 4);
            EXPECT_EQ(svacenc::mode_from_syntax(s, pred), m);
        }
}

TEST(ModeEdges, EightByEightBelowFourByFour) {
    // The upper I_4X4 macroblock: each 4x4 mode distinct enough to tell.
    svacenc::MbIntraModes upper;
    const int grid[16] = {0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0};
    for (int i = 0; i < 16; i++) upper.modes[i] = grid[i];
    const svacenc::ModeEdge e = svacenc::mode_edge_of(upper);
    // The 8x8 blocks below see the upper blocks at (0, 8) and (8, 8).
    int cur[4] = {};
    EXPECT_EQ(svacenc::neighbour_modes_8x8(0, cur, nullptr, &e).top, grid[2 * 4 + 0]);
    EXPECT_EQ(svacenc::neighbour_modes_8x8(1, cur, nullptr, &e).top, grid[2 * 4 + 2]);
    // 4x4 blocks below see the bottom row; on the right the right column,
    // and an 8x8 block on the right sees (8, 0) and (8, 8).
    int cur16[16] = {};
    for (int c = 0; c < 4; c++)
        EXPECT_EQ(svacenc::neighbour_modes_4x4(c, cur16, nullptr, &e).top, grid[12 + c]);
    for (int r = 0; r < 4; r++)
        EXPECT_EQ(svacenc::neighbour_modes_4x4(r * 4, cur16, &e, nullptr).left, grid[r * 4 + 3]);
    EXPECT_EQ(svacenc::neighbour_modes_8x8(0, cur, &e, nullptr).left, grid[2]);
    EXPECT_EQ(svacenc::neighbour_modes_8x8(2, cur, &e, nullptr).left, grid[10]);
}

TEST(ModeEdges, FourByFourBelowEightByEight) {
    svacenc::MbIntraModes upper;
    upper.is8x8 = true;
    const int b[4] = {0, 1, 3, 4};
    for (int i = 0; i < 4; i++) upper.modes[i] = b[i];
    const svacenc::ModeEdge e = svacenc::mode_edge_of(upper);
    int cur16[16] = {};
    // Each lower 8x8 mode appears in two 4x4 positions.
    const int expect_top[4] = {3, 3, 4, 4};
    for (int c = 0; c < 4; c++)
        EXPECT_EQ(svacenc::neighbour_modes_4x4(c, cur16, nullptr, &e).top, expect_top[c]);
    const int expect_left[4] = {1, 1, 4, 4};
    for (int r = 0; r < 4; r++)
        EXPECT_EQ(svacenc::neighbour_modes_4x4(r * 4, cur16, &e, nullptr).left, expect_left[r]);
    // Inside the macroblock the blocks already decoded are the neighbours.
    cur16[0] = 4;
    cur16[1] = 1;
    cur16[4] = 3;
    EXPECT_EQ(svacenc::neighbour_modes_4x4(5, cur16, &e, &e).left, 3);
    EXPECT_EQ(svacenc::neighbour_modes_4x4(5, cur16, &e, &e).top, 1);
    EXPECT_EQ(svacenc::neighbour_modes_4x4(1, cur16, nullptr, nullptr).left, 4);
    EXPECT_EQ(svacenc::neighbour_modes_4x4(1, cur16, nullptr, nullptr).top, -1);
}

TEST(EdgeModes, ReplacementLeftThenTop) {
    // The DC modes at the top-left corner of a picture end at the
    // no-neighbour predictor: luma 2 -> 6 -> 7, chroma 0 -> 5 -> 6.
    EXPECT_EQ(svacenc::luma_mode_at_edge(2, true, true), 7);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(0, true, true), 6);
    EXPECT_EQ(svacenc::luma_mode_at_edge(2, true, false), 6);
    EXPECT_EQ(svacenc::luma_mode_at_edge(2, false, true), 5);
    EXPECT_EQ(svacenc::luma_mode_at_edge(0, true, false), 0);
    EXPECT_EQ(svacenc::luma_mode_at_edge(1, false, true), 1);
    // Modes needing the missing side are unusable there.
    EXPECT_EQ(svacenc::luma_mode_at_edge(1, true, false), -1);
    EXPECT_EQ(svacenc::luma_mode_at_edge(0, false, true), -1);
    EXPECT_EQ(svacenc::luma_mode_at_edge(0, true, true), -1);
    EXPECT_EQ(svacenc::luma_mode_at_edge(3, true, false), -1);
    EXPECT_EQ(svacenc::luma_mode_at_edge(4, false, true), -1);
    EXPECT_EQ(svacenc::luma_mode_at_edge(4, false, false), 4);
    // Chroma: vertical survives a missing left, horizontal a missing top.
    EXPECT_EQ(svacenc::chroma_mode_at_edge(2, true, false), 2);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(1, false, true), 1);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(2, false, true), -1);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(3, true, false), -1);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(4, false, true), 4);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(4, true, false), 6);
    EXPECT_EQ(svacenc::chroma_mode_at_edge(5, false, true), 6);
}

// A frame whose every sample tells its position.
svacenc::Frame numbered_frame(int w, int h, int chroma) {
    svacenc::Frame f = svacenc::make_frame(w, h, chroma, 8);
    for (int p = 0; p < f.plane_count(); p++)
        for (int y = 0; y < f.planes[p].height; y++)
            for (int x = 0; x < f.planes[p].width; x++) f.set_sample(p, x, y, (x * 7 + y * 13 + p * 50) & 255);
    return f;
}

TEST(Neighbours, FourByFourBlockFiveWithoutTopRightRepeatsSampleFifteen) {
    // 2 x 2 macroblocks; macroblock (1, 1) has no top-right neighbour.
    const svacenc::Frame f = numbered_frame(32, 32, 1);
    const MbNeighbours nb = svacenc::mb_neighbours(3, 2, 0);
    uint8_t top[18], left[18];
    svacenc::gather_luma_4x4<uint8_t>(f, 1, 1, nb, 5, top, left);
    for (int i = 1; i <= 4; i++) EXPECT_EQ(top[i], f.sample(0, 16 + 11 + i, 15));
    for (int i = 5; i <= 9; i++) EXPECT_EQ(top[i], f.sample(0, 16 + 15, 15)) << i;
    // Block 5 has no below-left samples either: L[5..9] repeat L[4].
    for (int i = 5; i <= 9; i++) EXPECT_EQ(left[i], left[4]);
    // Its corner is the upper macroblock's sample left of the block.
    EXPECT_EQ(top[0], f.sample(0, 16 + 11, 15));
    EXPECT_EQ(left[0], top[0]);
}

TEST(Neighbours, ChromaCornerAveragesWhenOnlyTopLeftIsMissing) {
    const svacenc::Frame f = numbered_frame(32, 32, 1);
    MbNeighbours nb;
    nb.left = nb.top = true;
    uint8_t top[18], left[18];
    svacenc::gather_chroma<uint8_t>(f, 1, 1, 1, nb, 0, top, left);
    const int expect = (f.sample(1, 7, 8) + f.sample(1, 8, 7) + 1) >> 1;
    EXPECT_EQ(top[0], expect);
    EXPECT_EQ(left[0], expect);
    // No top-right: slot 9 repeats slot 8; below-left always repeats.
    EXPECT_EQ(top[9], top[8]);
    EXPECT_EQ(left[9], left[8]);
}

TEST(Neighbours, LowerChromaBlockOfFourTwoTwoOnTheLeftEdge) {
    const svacenc::Frame f = numbered_frame(32, 32, 2);
    const MbNeighbours nb = svacenc::mb_neighbours(2, 2, 0);  // (0, 1): top only
    uint8_t top[18], left[18];
    svacenc::gather_chroma<uint8_t>(f, 2, 0, 1, nb, 1, top, left);
    // Above: row 7 of the upper chroma block; corner T[1] without a left.
    for (int i = 1; i <= 8; i++) EXPECT_EQ(top[i], f.sample(2, i - 1, 16 + 7));
    EXPECT_EQ(top[9], top[8]);
    EXPECT_EQ(top[0], top[1]);
    EXPECT_EQ(left[0], top[1]);
}

TEST(Neighbours, EightByEightBelowLeftAndCorners) {
    const svacenc::Frame f = numbered_frame(48, 48, 1);
    const MbNeighbours nb = svacenc::mb_neighbours(4, 3, 0);  // (1, 1): all four
    uint8_t top[18], left[18];
    // Block 0: above-right from the upper macroblock, below-left from rows
    // 8..15 of the left one, the extra entry repeating the last.
    svacenc::gather_luma_8x8<uint8_t>(f, 1, 1, nb, 0, top, left);
    for (int i = 1; i <= 16; i++) {
        EXPECT_EQ(top[i], f.sample(0, 15 + i, 15));
        EXPECT_EQ(left[i], f.sample(0, 15, 15 + i));
    }
    EXPECT_EQ(top[17], top[16]);
    EXPECT_EQ(left[17], left[16]);
    EXPECT_EQ(top[0], f.sample(0, 15, 15));
    // Block 2: corner = left row 7; below-left = left row 15 repeated.
    svacenc::gather_luma_8x8<uint8_t>(f, 1, 1, nb, 2, top, left);
    EXPECT_EQ(left[0], f.sample(0, 15, 16 + 7));
    EXPECT_EQ(top[0], left[0]);
    for (int i = 9; i <= 17; i++) EXPECT_EQ(left[i], f.sample(0, 15, 16 + 15));
    for (int i = 9; i <= 16; i++) EXPECT_EQ(top[i], f.sample(0, 16 + i - 1, 16 + 7));
    // Block 1 with the top-right macroblock present reads its bottom row.
    svacenc::gather_luma_8x8<uint8_t>(f, 1, 1, nb, 1, top, left);
    for (int i = 9; i <= 16; i++) EXPECT_EQ(top[i], f.sample(0, 32 + i - 9, 15));
    EXPECT_EQ(top[0], f.sample(0, 16 + 7, 15));
    // Block 3: corner is sample (7, 7) of the macroblock; nothing beyond.
    svacenc::gather_luma_8x8<uint8_t>(f, 1, 1, nb, 3, top, left);
    EXPECT_EQ(top[0], f.sample(0, 16 + 7, 16 + 7));
    for (int i = 9; i <= 17; i++) {
        EXPECT_EQ(top[i], top[8]);
        EXPECT_EQ(left[i], left[8]);
    }
}

}  // namespace
