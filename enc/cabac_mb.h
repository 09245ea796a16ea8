// Macroblocks of CABAC slices: the elements of intra, inter and skipped
// macroblocks in decoding order, and the neighbour values their contexts
// read, kept the way a decoder keeps them.
#pragma once

#include <vector>

#include "b_motion.h"
#include "cabac_syntax.h"
#include "inter_mb.h"
#include "intra_modes.h"
#include "macroblock.h"
#include "path_stats.h"

namespace svacenc {

// Per-column values live as long as the stream (a decoder allocates them
// once, zeroed); the left values are whatever the previous macroblock left.
struct CabacNeighbourState {
    std::vector<int> top_cbp, top_chroma[2], top_type_code;
    int prev_cbp = 0;
    int left_chroma[2] = {0, 0};
    int left_type_code = 0;
    int last_qp_delta = 0;  // cleared at every slice start
};

void cabac_neighbours_init(CabacNeighbourState &s, int mb_width);

struct CabacMbContext {
    MbNeighbours nb;
    int mb_x = 0;
    int chroma_format_idc = 1;
    bool qp_changes = true;
    bool field = false;
    bool p_slice = false;
    bool b_slice = false;
    bool enhancement = false;        // enhancement-layer slice: the inter-layer flag follows the type
    const ModeEdge *left = nullptr;  // mode prediction neighbours (nullptr: missing)
    const ModeEdge *top = nullptr;
    PathStats *stats = nullptr;  // value classes reached, when given
};

// Type and macroblock of a coded intra macroblock (the skip flag of a P
// slice is written before).
void write_intra_mb_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c,
                          const MbDecision &d);

// Type and macroblock of a coded inter macroblock; `cache` holds the final
// motion entries (its neighbour entries as loaded, its own as predicted).
void write_inter_mb_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c,
                          const InterPicture &pic, const InterDecision &d, const int mvd[4][2],
                          const SvacMvEntry cache[12]);

// Type and macroblock of a coded B macroblock (its motion syntax with the
// contexts the derivation recorded).
void write_b_mb_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c, const BDecision &d);

// Skip flag with `value` (0 coded, above 0 skipped); a skipped macroblock
// also leaves its neighbour values. A macroblock `outside` every region of
// a picture that skips them is skipped whatever the value.
void write_skip_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c, int value,
                      bool outside = false);

}  // namespace svacenc
