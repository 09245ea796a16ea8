// The generator's own intra bookkeeping: which neighbours a macroblock may
// use, how luma modes are predicted from the neighbours, what each
// macroblock hands on to the macroblocks right of and below it, and which
// modes are replaced at picture and slice edges.
#pragma once

#include <cstdint>

namespace svacenc {

// Availability of the four neighbour macroblocks.
struct MbNeighbours {
    bool left = false, top = false, top_right = false, top_left = false;
    // The upper-left motion entry reaches a macroblock through the cache of
    // its left neighbour, so it is missing when that neighbour saw no upper
    // macroblock, even where the corner itself counts as available.
    bool corner_mv = true;
    uint32_t flags() const {
        return (left ? 1u : 0u) | (top ? 2u : 0u) | (top_right ? 4u : 0u) | (top_left ? 8u : 0u);
    }
};

// Without regions: a neighbour exists inside the picture and has an address
// at or after the first macroblock of the current slice. The first
// macroblock of a slice therefore sees none.
MbNeighbours mb_neighbours(int addr, int mb_width, int first_mb);

// Intra modes of one macroblock as decoded (before any edge replacement).
// 8x8 transform: modes[0..3] are the 8x8 blocks in raster order.
// 4x4 transform: modes[0..15] are the 4x4 blocks in raster order (row * 4 + column).
struct MbIntraModes {
    bool is8x8 = false;
    int modes[16] = {};
};

// Decoding order of 4x4 blocks: block k lies in quadrant k / 4, at Z-order
// position k % 4 inside it.
inline int blk4_x(int k) { return (k / 4 % 2) * 2 + k % 2; }  // in 4x4 units
inline int blk4_y(int k) { return (k / 4 / 2) * 2 + k % 4 / 2; }
inline int blk4_raster(int k) { return blk4_y(k) * 4 + blk4_x(k); }

// What a macroblock shows its right and lower neighbours for mode
// prediction: per 4x4 row/column, and per 8x8 row/column.
struct ModeEdge {
    int as_left4[4];  // seen by a 4x4 right neighbour, rows 0..3
    int as_left8[2];  // seen by an 8x8 right neighbour, rows 0..1
    int as_top4[4];   // seen by a 4x4 lower neighbour, columns 0..3
    int as_top8[2];   // seen by an 8x8 lower neighbour, columns 0..1
};
ModeEdge mode_edge_of(const MbIntraModes &m);

// Luma mode prediction: the smaller neighbour mode, 2 when either is missing (-1).
inline int predicted_mode(int left, int top) {
    const int m = left < top ? left : top;
    return m < 0 ? 2 : m;
}

// Neighbour modes of one block inside a macroblock: `left_edge`/`top_edge`
// describe the neighbour macroblocks (nullptr when not available); `cur`
// holds the modes decoded so far in this macroblock. Returns (left, top).
struct ModePair {
    int left, top;
};
ModePair neighbour_modes_8x8(int blk, const int cur[4], const ModeEdge *left_mb, const ModeEdge *top_mb);
ModePair neighbour_modes_4x4(int raster, const int cur[16], const ModeEdge *left_mb, const ModeEdge *top_mb);

// Syntax of one luma mode: flag 1 means the predicted mode, otherwise the
// 2-bit remainder.
struct ModeSyntax {
    bool use_predicted;
    int rem;
};
ModeSyntax mode_syntax(int mode, int predicted);
int mode_from_syntax(const ModeSyntax &s, int predicted);

// Mode replacement when the left or upper neighbour is missing; -1 marks a
// mode that cannot be used there.
int luma_mode_at_edge(int mode, bool no_left, bool no_top);
int chroma_mode_at_edge(int mode, bool no_left, bool no_top);

}  // namespace svacenc
