// Macroblocks of P slices: random decisions, and real-mode motion search
// with skip, inter and intra weighed against each other.
#pragma once

#include "bitwriter.h"
#include "encoder.h"

namespace svacenc {

// What the CABAC macroblock writers need to know of the macroblock at addr
// (mode prediction neighbours left unset).
CabacMbContext cabac_mb_context(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb,
                                bool qp_changes);

// Random mode: a skipped or inter macroblock (skip_pct: share of skips).
// `qp` is the running quantiser, `run` the pending skip run. A macroblock
// `outside` every region of a picture that skips them is skipped without
// data (in CABAC slices its skip flag is still written, with any value).
template <class Pixel>
void encode_p_mb(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb,
                 const InterPicture &pic, bool qp_changes, int skip_pct, int &qp, int &run, BitWriter &bw,
                 const LoopFilterSettings &lf, bool outside);

// Real mode: skip or P_16X16 weighed against the intra choice; false means
// intra wins and the caller codes the macroblock as intra.
template <class Pixel>
bool encode_real_p_mb(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                      const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top,
                      const InterPicture &pic, int &qp, int &run, BitWriter &bw,
                      const LoopFilterSettings &lf);

}  // namespace svacenc
