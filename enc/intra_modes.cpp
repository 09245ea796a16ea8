#include "intra_modes.h"

namespace svacenc {

MbNeighbours mb_neighbours(int addr, int mb_width, int first_mb) {
    const int x = addr % mb_width;
    const int y = addr / mb_width;
    MbNeighbours n;
    n.left = x > 0 && addr - 1 >= first_mb;
    n.top = y > 0 && addr - mb_width >= first_mb;
    n.top_right = y > 0 && x < mb_width - 1 && addr - mb_width + 1 >= first_mb;
    n.top_left = y > 0 && x > 0 && addr - mb_width - 1 >= first_mb;
    return n;
}

ModeEdge mode_edge_of(const MbIntraModes &m) {
    ModeEdge e;
    if (m.is8x8) {
        // 8x8 blocks: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
        const int *b = m.modes;
        e.as_left4[0] = e.as_left4[1] = b[1];
        e.as_left4[2] = e.as_left4[3] = b[3];
        e.as_left8[0] = b[1];
        e.as_left8[1] = b[3];
        e.as_top4[0] = e.as_top4[1] = b[2];
        e.as_top4[2] = e.as_top4[3] = b[3];
        e.as_top8[0] = b[2];
        e.as_top8[1] = b[3];
    } else {
        const int *g = m.modes;  // raster 4x4 grid
        for (int i = 0; i < 4; i++) {
            e.as_left4[i] = g[i * 4 + 3];
            e.as_top4[i] = g[12 + i];
        }
        // An 8x8 neighbour sees the top-left 4x4 block of the quadrant
        // next to it, not the blocks along the edge.
        e.as_left8[0] = g[0 * 4 + 2];
        e.as_left8[1] = g[2 * 4 + 2];
        e.as_top8[0] = g[2 * 4 + 0];
        e.as_top8[1] = g[2 * 4 + 2];
    }
    return e;
}

ModePair neighbour_modes_8x8(int blk, const int cur[4], const ModeEdge *left_mb, const ModeEdge *top_mb) {
    const int bx = blk % 2, by = blk / 2;
    ModePair p;
    p.left = bx > 0 ? cur[blk - 1] : (left_mb ? left_mb->as_left8[by] : -1);
    p.top = by > 0 ? cur[blk - 2] : (top_mb ? top_mb->as_top8[bx] : -1);
    return p;
}

ModePair neighbour_modes_4x4(int raster, const int cur[16], const ModeEdge *left_mb, const ModeEdge *top_mb) {
    const int bx = raster % 4, by = raster / 4;
    ModePair p;
    p.left = bx > 0 ? cur[raster - 1] : (left_mb ? left_mb->as_left4[by] : -1);
    p.top = by > 0 ? cur[raster - 4] : (top_mb ? top_mb->as_top4[bx] : -1);
    return p;
}

ModeSyntax mode_syntax(int mode, int predicted) {
    if (mode == predicted) return {true, 0};
    return {false, mode < predicted ? mode : mode - 1};
}

int mode_from_syntax(const ModeSyntax &s, int predicted) {
    if (s.use_predicted) return predicted;
    return s.rem < predicted ? s.rem : s.rem + 1;
}

namespace {

// Replacement tables, indexed by mode; -1: unusable at that edge.
constexpr int kLeftLuma[8] = {0, -1, 6, -1, -1, 7, 6, 7};
constexpr int kTopLuma[8] = {-1, 1, 5, -1, -1, 5, 7, 7};
constexpr int kLeftChroma[7] = {5, -1, 2, -1, 6, 5, 6};
constexpr int kTopChroma[7] = {4, 1, -1, -1, 4, 6, 6};

int apply(int mode, bool no_left, bool no_top, const int *left, const int *top) {
    if (no_left) mode = left[mode];
    if (mode >= 0 && no_top) mode = top[mode];
    return mode;
}

}  // namespace

int luma_mode_at_edge(int mode, bool no_left, bool no_top) {
    return apply(mode, no_left, no_top, kLeftLuma, kTopLuma);
}

int chroma_mode_at_edge(int mode, bool no_left, bool no_top) {
    return apply(mode, no_left, no_top, kLeftChroma, kTopChroma);
}

}  // namespace svacenc
