// Random decisions for an intra macroblock, weighted to reach rare paths:
// both transform sizes, every mode that the edges allow, empty and full coded
// block patterns, empty and full blocks, escapes, long and wrapping runs,
// QP deltas that wrap around.
#pragma once

#include "intra_modes.h"
#include "macroblock.h"
#include "rng.h"

namespace svacenc {

struct RandomMbContext {
    MbNeighbours nb;
    const ModeEdge *left = nullptr;  // for choosing the predicted mode now and then
    const ModeEdge *top = nullptr;
    int chroma_format_idc = 1;
    bool qp_changes = true;
    int qp = 32;         // quantiser before the macroblock
    bool cabac = false;  // chroma modes 0..3, coded blocks hold a pair, CABAC-only values
};

void decide_random_mb(Rng &rng, const RandomMbContext &ctx, MbDecision *d);

// Random pairs of one block. Magnitudes stay below what the inverse
// transform can take at quantiser qp without overflowing 32 bits.
// `cabac`: a coded block holds at least one pair.
void random_block_pairs(Rng &rng, bool is4x4, int qp, BlockPairs *b, bool cabac = false);

// Largest level magnitude used at quantiser qp.
int max_random_level(bool is4x4, int qp);

}  // namespace svacenc
