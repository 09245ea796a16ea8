// Cost-based decisions for an intra macroblock of real video: the mode of
// every block by prediction error plus mode bits, the transform size by
// distortion plus bits, levels by a dead-zone quantiser of the forward
// transform. QP stays at the slice quantiser.
#pragma once

#include "frame.h"
#include "intra_modes.h"
#include "macroblock.h"

namespace svacenc {

struct RealMbContext {
    MbNeighbours nb;
    const ModeEdge *left = nullptr;
    const ModeEdge *top = nullptr;
    int mb_x = 0, mb_y = 0;
    int qp = 32;
    int scan = 0;          // 1 in field pictures
    int chroma_modes = 7;  // modes tried (CABAC codes 0..3 only)
};

// `unf` is the unfiltered reconstruction; trial reconstructions are written
// inside the current macroblock only (the final reconstruction overwrites
// them block by block before anything reads them).
template <class Pixel>
void decide_real_mb(const Frame &src, Frame &unf, const RealMbContext &ctx, MbDecision *d);

// Enhancement layer: replaces the intra decision `d` by the upsampled base
// picture `base` with a residual where that costs less (squared error plus
// bits). Leaves trial samples in the macroblock of `unf`, like decide_real_mb.
template <class Pixel>
void choose_inter_layer(const Frame &src, Frame &unf, const Frame &base, const RealMbContext &ctx,
                        MbDecision *d);

}  // namespace svacenc
