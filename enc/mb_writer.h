// Syntax of an intra macroblock in VLC slices.
#pragma once

#include "bitwriter.h"
#include "intra_modes.h"
#include "macroblock.h"
#include "path_stats.h"

namespace svacenc {

struct MbSyntaxContext {
    int chroma_format_idc = 1;
    bool qp_changes = true;          // false when the slice or picture fixes QP
    const ModeEdge *left = nullptr;  // neighbour macroblocks for mode prediction
    const ModeEdge *top = nullptr;   // (nullptr when not available)
    int mb_type_offset = 0;          // intra types follow the inter types in P and B slices
    bool enhancement = false;        // enhancement-layer slice: the inter-layer flag follows the type
};

// The macroblock type that introduces the macroblock: 0 for the 4x4
// transform, else 1 + the cbp code.
int intra_mb_type(const MbDecision &d, int chroma_format_idc);

// Writes mb_type and the macroblock: modes, cbp, QP delta and residual.
// Counts the residual paths taken into `stats` when given.
void write_intra_mb(BitWriter &bw, const MbSyntaxContext &ctx, const MbDecision &d,
                    PathStats *stats = nullptr);

}  // namespace svacenc
