// The generator's inter side against worked examples: vector prediction
// from the neighbour entries it keeps, and prediction from reference areas
// inside and far outside the picture.
#include <gtest/gtest.h>

#include <vector>

#include "inter_mb.h"
#include "mb_recon.h"

namespace {

using svacenc::InterDecision;
using svacenc::InterPicture;

SvacMvEntry entry(int x, int y, int ref) {
    SvacMvEntry e = svac_intra_mv;
    e.mv_x = static_cast<int16_t>(x);
    e.mv_y = static_cast<int16_t>(y);
    e.ref_idx = static_cast<int16_t>(ref);
    return e;
}

// Predicted vectors of the partitions of macroblock `addr` (3 x 2 picture).
std::vector<std::pair<int, int>> predictions(const std::vector<SvacMvEntry> &mvs, int addr,
                                             const svacenc::MbNeighbours &nb, InterDecision d) {
    SvacMvEntry cache[12];
    svacenc::load_mv_cache(cache, mvs, addr, 3, nb);
    InterPicture pic;  // distances 2 and 4
    std::vector<std::pair<int, int>> got;
    int mvd[4][2];
    svacenc::predict_partitions(cache, pic, d, mvd, [&](int i, int px, int py) {
        got.emplace_back(px, py);
        d.mv[i][0] = px;
        d.mv[i][1] = py;
    });
    return got;
}

TEST(InterPrediction, WorkedExamples) {
    std::vector<SvacMvEntry> mvs(24, svac_intra_mv);
    InterDecision d16;
    d16.type = svacenc::P16X16;
    // Top-left corner: no neighbour at all, prediction (0, 0).
    EXPECT_EQ(predictions(mvs, 0, {}, d16), (std::vector<std::pair<int, int>>{{0, 0}}));

    // Macroblock 4 (second row, middle): left with a reference (index 1),
    // top and top-right intra: the left vector, unscaled.
    svacenc::MbNeighbours nb{true, true, true, true};
    for (int k = 0; k < 4; k++) mvs[4 * 3 + k] = entry(10, -6, 1);
    EXPECT_EQ(predictions(mvs, 4, nb, d16), (std::vector<std::pair<int, int>>{{10, -6}}));

    // All three neighbours on the older reference seen from index 0: each
    // component scaled by 2 * (512 / 4) / 512, halves away from zero.
    for (int k = 0; k < 4; k++) {
        mvs[4 * 1 + k] = entry(5, -5, 1);
        mvs[4 * 2 + k] = entry(5, -5, 1);
        mvs[4 * 3 + k] = entry(5, -5, 1);
    }
    EXPECT_EQ(predictions(mvs, 4, nb, d16), (std::vector<std::pair<int, int>>{{3, -3}}));

    // 16x8: the lower partition takes its left neighbour's vector when the
    // reference index matches, whatever the others say.
    for (int k = 0; k < 4; k++) mvs[4 * 3 + k] = entry(40, 8, 0);
    InterDecision d;
    d.type = svacenc::P16X8;
    d.ref[0] = 1;
    d.ref[1] = 0;
    const auto got = predictions(mvs, 4, nb, d);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], std::make_pair(40, 8));
}

TEST(InterPrediction, ReferenceAreasOutsideThePictureReplicateTheEdge) {
    for (int depth : {8, 10}) {
        svacenc::init_kernels(0);
        svacenc::Frame ref = svacenc::make_frame(32, 32, 1, depth);
        for (int p = 0; p < 3; p++)
            for (int y = 0; y < ref.planes[p].height; y++)
                for (int x = 0; x < ref.planes[p].width; x++) ref.set_sample(p, x, y, (7 * x + 13 * y + p) % 200);
        svacenc::Frame cur = ref;
        std::vector<uint8_t> scratch;
        // Whole-sample vectors: far to the left (every column is the left
        // edge), and inside (a plain shifted copy).
        if (depth == 10)
            svacenc::predict_block<uint16_t>(ref, cur, 16, 16, 16, -4 * 100, 0, scratch);
        else
            svacenc::predict_block<uint8_t>(ref, cur, 16, 16, 16, -4 * 100, 0, scratch);
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++) ASSERT_EQ(cur.sample(0, 16 + x, 16 + y), ref.sample(0, 0, 16 + y));
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) ASSERT_EQ(cur.sample(1, 8 + x, 8 + y), ref.sample(1, 0, 8 + y));
        cur = ref;
        if (depth == 10)
            svacenc::predict_block<uint16_t>(ref, cur, 8, 8, 8, 4 * 3, -4 * 5, scratch);
        else
            svacenc::predict_block<uint8_t>(ref, cur, 8, 8, 8, 4 * 3, -4 * 5, scratch);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) ASSERT_EQ(cur.sample(0, 8 + x, 8 + y), ref.sample(0, 11 + x, 3 + y));
    }
}

}  // namespace
