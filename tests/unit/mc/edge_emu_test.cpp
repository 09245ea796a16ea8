// Edge emulation against a model that reads the plane with both coordinates
// clamped into it, for areas near and far outside every edge and corner.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "dsp/dsp_init.h"
#include "dsp/mc.h"
#include "guarded_area.h"

namespace {

class EdgeEmu : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { VQ_SVACDEC_mc_init(0); }
};

ptrdiff_t stride_for(int samples, int ps) { return (64 + samples * ps + 8 + 63) / 64 * 64; }

int clampi(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// The address sample (x, y) would have; it may lie outside the plane, so it
// is formed without pointer arithmetic.
const uint8_t *address_of(GuardedArea &plane, int x, int y, int ps) {
    return reinterpret_cast<const uint8_t *>(reinterpret_cast<uintptr_t>(plane.origin()) +
                                             uintptr_t(intptr_t(y) * plane.stride() + intptr_t(x) * ps));
}

// A w x h plane of random samples, only the plane itself addressable.
struct Plane {
    int w, h, ps;
    GuardedArea area;
    Plane(int w_, int h_, int ps_, std::mt19937 &rng)
        : w(w_), h(h_), ps(ps_), area(ps_, stride_for(w_, ps_), 0, w_ - 1, 0, h_ - 1) {
        for (int j = 0; j < h; j++)
            for (int i = 0; i < w; i++) area.set(i, j, int(rng() & (ps == 1 ? 0xff : 0xffff)));
    }
};

// Emulates the block_w x block_h area at (x, y) and compares it with the
// clamped reads; returns a description of the first fault.
std::string run_case(Plane &p, int block_w, int block_h, int x, int y) {
    GuardedArea buf(p.ps, stride_for(block_w, p.ps), 0, block_w - 1, 0, block_h - 1);
    emulated_edge_mc[p.ps == 2](buf.origin(), address_of(p.area, x, y, p.ps), buf.stride(), p.area.stride(),
                                block_w, block_h, x, y, p.w, p.h);
    const std::string what = std::to_string(block_w) + "x" + std::to_string(block_h) + " at (" +
                             std::to_string(x) + "," + std::to_string(y) + ") of " + std::to_string(p.w) +
                             "x" + std::to_string(p.h) + (p.ps == 2 ? " 16-bit" : " 8-bit");
    for (int j = 0; j < block_h; j++)
        for (int i = 0; i < block_w; i++) {
            const int want = p.area.get(clampi(x + i, 0, p.w - 1), clampi(y + j, 0, p.h - 1));
            if (buf.get(i, j) != want)
                return what + ": (" + std::to_string(i) + "," + std::to_string(j) + ") got " +
                       std::to_string(buf.get(i, j)) + " want " + std::to_string(want);
        }
    if (buf.damaged_guard_bytes()) return what + ": wrote outside the area";
    return {};
}

TEST_F(EdgeEmu, MatchesClampedReadsEverywhere) {
    std::mt19937 rng(7);
    const int blocks[][2] = {{21, 21}, {9, 9}, {9, 17}, {1, 1}, {3, 5}, {16, 2}};
    const int planes[][2] = {{48, 32}, {16, 16}, {1, 1}, {5, 3}, {8, 1}, {1, 7}};
    for (int ps : {1, 2})
        for (const auto &pl : planes) {
            Plane p(pl[0], pl[1], ps, rng);
            for (const auto &b : blocks) {
                // Every position from wholly left/above to wholly right/below.
                for (int y = -b[1] - 3; y <= p.h + 3; y++)
                    for (int x = -b[0] - 3; x <= p.w + 3; x++) ASSERT_EQ(run_case(p, b[0], b[1], x, y), "");
                // Far away in every direction.
                const int far[] = {-(1 << 28), -100000, -b[0] - 1, 0, p.w + 1, 100000, 1 << 28};
                for (int fy : far)
                    for (int fx : far) ASSERT_EQ(run_case(p, b[0], b[1], fx, fy == 0 ? 1 : fy), "");
            }
        }
}

// One 8-bit emulation of a 4 x 3 area from a 6 x 5 plane whose sample (i, j)
// is 10 * j + i.
std::vector<int> emulate_small(int x, int y) {
    GuardedArea plane(1, 64 + 8 + 64, 0, 5, 0, 4);
    for (int j = 0; j < 5; j++)
        for (int i = 0; i < 6; i++) plane.set(i, j, 10 * j + i);
    GuardedArea buf(1, 128, 0, 3, 0, 2);
    emulated_edge_mc[0](buf.origin(), address_of(plane, x, y, 1), 128, plane.stride(), 4, 3, x, y, 6, 5);
    std::vector<int> out;
    for (int j = 0; j < 3; j++)
        for (int i = 0; i < 4; i++) out.push_back(buf.get(i, j));
    EXPECT_EQ(buf.damaged_guard_bytes(), 0u);
    return out;
}

TEST_F(EdgeEmu, WorkedExamples) {
    // Wholly above-left: the top-left sample everywhere.
    EXPECT_EQ(emulate_small(-4, -3), std::vector<int>(12, 0));
    EXPECT_EQ(emulate_small(-50, -70), std::vector<int>(12, 0));
    // Wholly inside: a plain copy.
    EXPECT_EQ(emulate_small(1, 2), (std::vector<int>{21, 22, 23, 24, 31, 32, 33, 34, 41, 42, 43, 44}));
    // Straddling the right edge: the last column repeats to the right.
    EXPECT_EQ(emulate_small(4, 1), (std::vector<int>{14, 15, 15, 15, 24, 25, 25, 25, 34, 35, 35, 35}));
    // Below-right corner.
    EXPECT_EQ(emulate_small(9, 9), std::vector<int>(12, 45));
}

TEST_F(EdgeEmu, EmptyPlaneOrAreaWritesNothing) {
    std::mt19937 rng(3);
    for (int ps : {1, 2}) {
        Plane p(8, 8, ps, rng);
        // A plane of no width or height: silently nothing.
        for (const auto &wh : {std::pair{0, 8}, std::pair{8, 0}, std::pair{0, 0}}) {
            GuardedArea buf(ps, 128, 0, -1, 0, 0);
            testing::internal::CaptureStdout();
            emulated_edge_mc[ps == 2](buf.origin(), p.area.origin(), 128, p.area.stride(), 4, 4, 0, 0,
                                      wh.first, wh.second);
            std::fflush(stdout);
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
            EXPECT_EQ(buf.damaged_guard_bytes(), 0u);
        }
        // An area of no height or width: reported, nothing written.
        const struct {
            int bw, bh;
            const char *cond;
        } empty[] = {{4, 0, "start_y < end_y && block_h"}, {0, 4, "start_x < end_x && block_w"}};
        for (const auto &e : empty) {
            GuardedArea buf(ps, 128, 0, -1, 0, 0);
            testing::internal::CaptureStdout();
            emulated_edge_mc[ps == 2](buf.origin(), p.area.origin(), 128, p.area.stride(), e.bw, e.bh, 0, 0,
                                      8, 8);
            std::fflush(stdout);
            const std::string out = testing::internal::GetCapturedStdout();
            EXPECT_TRUE(std::regex_match(out, std::regex(std::string(e.cond) + " failed at .+:[0-9]+\\.\n")))
                << out;
            EXPECT_EQ(buf.damaged_guard_bytes(), 0u);
        }
    }
}

}  // namespace
