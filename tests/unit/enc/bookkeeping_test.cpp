// Worked examples of the macroblock bookkeeping, checked on the generator
// (the round trips then hold the decoder to it): availability across slices,
// mode prediction and syntax, mode replacement at edges and the gathering of
// neighbour samples.
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

}  // namespace
