// Macroblocks of B slices: random decisions over every type and sub-type,
// and real-mode choices between direct, skip, forward, backward and
// symmetric prediction.
#pragma once

#include "b_motion.h"
#include "bitwriter.h"
#include "encoder.h"

namespace svacenc {

// A decoder copies the right column of direction codes of the previous
// macroblock into the left column at every macroblock start.
inline void b_dir_codes_start(int dir_code[6], bool left_available) {
    dir_code[0] = left_available ? dir_code[2] : -1;
    dir_code[3] = left_available ? dir_code[5] : -1;
}

// Writes mb_type (B slice numbering), sub-types, reference indices, vector
// differences, cbp, QP delta and residual of a coded B macroblock.
void write_b_mb(BitWriter &bw, int chroma_format_idc, bool qp_changes, const BDecision &d);

// Random mode: a skipped or coded B macroblock (skip_pct: share of skips);
// one `outside` every region of a picture that skips them is skipped
// without data (in CABAC slices its skip flag is still written, with any
// value).
template <class Pixel>
void encode_b_mb(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb, const BPicture &bp,
                 bool qp_changes, int skip_pct, int &qp, int &run, BitWriter &bw,
                 const LoopFilterSettings &lf, bool outside);

// Real mode: the cheapest of skip, direct, forward, backward and symmetric
// weighed against the intra choice; false means intra wins.
template <class Pixel>
bool encode_real_b_mb(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                      const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top, const BPicture &bp,
                      int &qp, int &run, BitWriter &bw, const LoopFilterSettings &lf);

}  // namespace svacenc
