// Neighbour sample arrays of intra blocks, gathered by the generator from
// its unfiltered reconstruction. Each array starts with the top-left corner
// sample: top = corner, N above, N above-right, one more; left = corner,
// N left, N below-left, one more. Where a neighbour is missing, the arrays
// hold whatever the rules leave there (the mode replacement at edges keeps
// such entries from being read).
#pragma once

#include <cstdint>

#include "frame.h"
#include "intra_modes.h"

namespace svacenc {

// Enough entries for an 8x8 block (2 * 8 + 2).
inline constexpr int kNeighbourArraySize = 18;

// Luma 8x8 block blk (raster order inside the macroblock).
template <class Pixel>
void gather_luma_8x8(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int blk, Pixel *top,
                     Pixel *left);
// Luma 4x4 block k in decoding order.
template <class Pixel>
void gather_luma_4x4(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int k, Pixel *top,
                     Pixel *left);
// Chroma plane (1 or 2), block row 0, or 1 for the lower half of 4:2:2.
template <class Pixel>
void gather_chroma(const Frame &unf, int plane, int mb_x, int mb_y, const MbNeighbours &nb, int row,
                   Pixel *top, Pixel *left);

}  // namespace svacenc
