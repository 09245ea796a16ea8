// Motion vector prediction from neighbour entries, worked by hand.
#include "recon/mv_pred.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr SvacMvEntry kNone = {0, 0, 1, REF_UNAVAILABLE, 0, 0};
constexpr SvacMvEntry kIntra = {0, 0, 1, REF_INTRA, 0, 0};

SvacMvEntry mv(int x, int y, int ref) {
    return {static_cast<int16_t>(x), static_cast<int16_t>(y), 2, static_cast<int16_t>(ref), 0, 0};
}

const int32_t kInv[2] = {256, 128};  // distances 2 and 4

TEST(MvPrediction, WorkedCases) {
    const struct {
        const char *why;
        SvacMvEntry a, b, c;
        int pref, x, y;
    } cases[] = {
        {"no neighbour with a reference: zero", kNone, kNone, kNone, PREF_NONE, 0, 0},
        // A single neighbour with a reference is taken unscaled, whatever its index.
        {"only A", mv(7, -9, 1), kIntra, kIntra, PREF_NONE, 7, -9},
        {"only B", kNone, mv(5, 1, 1), kIntra, PREF_NONE, 5, 1},
        {"only C", kIntra, kNone, mv(-3, 1, 1), PREF_NONE, -3, 1},
        {"preferred A, same index", mv(10, 2, 0), mv(-6, 4, 1), mv(40, 40, 0), PREF_A, 10, 2},
        // B's index differs: the scaled median. B scaled by 2 * 128 / 512 =
        // 1/2: (-3, 2). AB = 13 + 0, BC = 43 + 38, CA = 30 + 38: the median
        // is CA, so B wins.
        {"preferred B, other index", mv(10, 2, 0), mv(-6, 4, 1), mv(40, 40, 0), PREF_B, -3, 2},
        {"preferred B, same index", mv(10, 2, 0), mv(-6, 4, 0), mv(40, 40, 0), PREF_B, -6, 4},
        {"preferred C, same index", mv(10, 2, 0), mv(-6, 4, 1), mv(40, 40, 0), PREF_C, 40, 40},
        // One distance: AB = 10, BC = 20, CA = 30: the median side is BC, so
        // A wins; C at 12 makes AB the median (C wins), at 7 CA (B wins).
        {"median BC", mv(0, 0, 0), mv(10, 0, 0), mv(30, 0, 0), PREF_NONE, 0, 0},
        {"median AB", mv(0, 0, 0), mv(10, 0, 0), mv(12, 0, 0), PREF_NONE, 12, 0},
        {"median CA", mv(0, 0, 0), mv(10, 0, 0), mv(7, 0, 0), PREF_NONE, 10, 0},
        // Two alike: A = B as scaled (AB = 0, BC = CA = 28): A; B = C: C.
        {"A and B alike", mv(8, 8, 1), mv(4, 4, 0), mv(-20, 8, 0), PREF_NONE, 4, 4},
        {"B and C alike", mv(9, 0, 0), mv(2, 2, 0), mv(2, 2, 0), PREF_NONE, 2, 2},
        // A of index 1 seen from index 0 is halved, halves away from zero:
        // (5, -5) -> (3, -3); AB = 6, BC = CA = 10, so A wins as scaled.
        {"rounding", mv(5, -5, 1), mv(0, 0, 0), mv(0, -10, 0), PREF_NONE, 3, -3},
    };
    for (const auto &c : cases) {
        const SvacMv p = svac_predict_mv(c.a, c.b, c.c, 0, 2, c.pref, kInv);
        EXPECT_EQ(p.x, c.x) << c.why;
        EXPECT_EQ(p.y, c.y) << c.why;
    }
}

TEST(MvPrediction, NeighbourCFallsBackToD) {
    SvacMvEntry cache[12];
    for (SvacMvEntry &e : cache) e = kNone;
    cache[0] = mv(1, 1, 0);  // D of block 5
    cache[3] = mv(2, 2, 0);  // C of block 5
    EXPECT_EQ(svac_mv_neighbour_c(cache, 5, 3).mv_x, 2);
    cache[3] = kNone;
    EXPECT_EQ(svac_mv_neighbour_c(cache, 5, 3).mv_x, 1);
    // The lower-right block always uses D (entry 5).
    cache[5] = mv(9, 9, 0);
    cache[6] = mv(4, 4, 0);
    EXPECT_EQ(svac_mv_neighbour_c(cache, 10, 6).mv_x, 9);
}

// B pictures: both lists from the co-located vector, and the backward
// vector mirrored from the forward one, worked by hand.
TEST(MvPrediction, DirectAndSymmetricDerivations) {
    const struct {
        int cx, cy, s, df, db, x0, y0, x1, y1;
    } direct[] = {
        // (5 * 2 * 4096 + 4095) >> 14 = 2, (3 * 2 * 4096 + 4095) >> 14 = 1.
        {-5, 3, 4096, 2, 2, -2, 1, 2, -1},
        // Co-located distance 3 (s = 5461): 3 * 5461 + 5460 = 21843 -> 1,
        // 3 * 2 * 5461 + 5460 = 38226 -> 2; without the + s - 1 both drop by 1.
        {3, -3, 5461, 1, 2, 1, -1, -2, 2},
        {0, 0, 4096, 2, 2, 0, 0, 0, 0},
    };
    for (const auto &c : direct) {
        SvacMvEntry l0 = {9, 9, 9, 9, 4, 5}, l1 = l0;
        svac_direct_mv(mv(c.cx, c.cy, 0), c.s, c.df, c.db, l0, l1);
        const SvacMvEntry want0 = {int16_t(c.x0), int16_t(c.y0), int16_t(c.df), 1, 4, 5};
        const SvacMvEntry want1 = {int16_t(c.x1), int16_t(c.y1), int16_t(c.db), 0, 4, 5};
        EXPECT_EQ(std::memcmp(&l0, &want0, sizeof l0), 0) << c.cx << "," << c.cy;
        EXPECT_EQ(std::memcmp(&l1, &want1, sizeof l1), 0) << c.cx << "," << c.cy;
    }
    const struct {
        int fx, fy, scale, x, y;
    } sym[] = {
        {-1, 1, 256, 0, -1},  // -((-256 + 256) >> 9) = 0; -((256 + 256) >> 9) = -1
        // df 3, db 1: scale 170; -850 + 256 = -594 >> 9 = -2 (floor), 1190 + 256 >> 9 = 2.
        {-5, 7, 170, 2, -2},
    };
    for (const auto &c : sym) {
        const SvacMvEntry e = svac_symmetric_mv({int16_t(c.fx), int16_t(c.fy), 3, 1, 6, 7}, c.scale, 5);
        const SvacMvEntry want = {int16_t(c.x), int16_t(c.y), 5, 0, 0, 0};
        EXPECT_EQ(std::memcmp(&e, &want, sizeof e), 0) << c.fx << "," << c.fy;
    }
}

}  // namespace
