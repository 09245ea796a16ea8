// Scalable streams: enhancement macroblocks predicted by upsampling the
// co-located 8x8 block of the base picture, and the base layer's input in
// real mode.
#pragma once

#include "frame.h"
#include "intra_modes.h"
#include "macroblock.h"
#include "path_stats.h"

namespace svacenc {

// Turns an intra decision into an inter-layer one with the flag value `flag`
// (above 0). Such a macroblock carries no mode syntax: its luma modes are
// the predicted ones and its chroma modes 0, which later macroblocks see.
void make_inter_layer(MbDecision &d, const ModeEdge *left, const ModeEdge *top, int flag);

// Writes the upsampled prediction of macroblock (mb_x, mb_y) into `unf`. The
// base picture is read as if its edge samples repeated outwards: a decoder
// extends the base picture so before upsampling at the picture edges.
template <class Pixel>
void predict_inter_layer(const Frame &base, Frame &unf, int mb_x, int mb_y);

// Prediction and residual of an inter-layer macroblock at quantiser qp.
template <class Pixel>
void reconstruct_inter_layer_mb(const Frame &base, Frame &unf, int mb_x, int mb_y, const MbDecision &d,
                                int qp, int scan);

// Counts an inter-layer macroblock at (mb_x, mb_y) of a picture mb_w x mb_h.
void count_inter_layer(PathStats &st, const MbDecision &d, int mb_x, int mb_y, int mb_w, int mb_h);

// Real mode: the base layer's input, each sample the rounded mean of a 2x2
// block of `src`.
void downscale_half(const Frame &src, Frame &dst);

}  // namespace svacenc
