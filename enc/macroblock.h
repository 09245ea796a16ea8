// One intra macroblock as the generator decided it: modes, coded block
// pattern, quantiser change and the (run, level) pairs of every block.
#pragma once

#include <cstdint>

#include "dsp/quant.h"
#include "intra_modes.h"
#include "residual_writer.h"

namespace svacenc {

struct BlockPairs {
    int count = 0;
    SvacRunLevel pairs[kMaxPairs8x8];
};

struct MbDecision {
    MbIntraModes luma;  // decoded modes, before any edge replacement
    int chroma_modes[2] = {0, 0};
    int cbp = 0;                  // bits 0..3 luma 8x8, 4.. chroma (see cbp_chroma_bit)
    uint8_t cbp4[4] = {};         // 4x4 transform: coded 4x4 blocks of each coded 8x8 block
    uint8_t cbp4_chroma[4] = {};  // CABAC: chroma part of each 4x4 pattern element (ignored)
    int qp_delta = 0;             // written when cbp != 0 and macroblocks may change QP
    int svc = 0;                  // enhancement layer: above 0, predicted from the base picture
    BlockPairs luma_blocks[16];   // 8x8: blocks 0..3 in raster order; 4x4: decoding order
    BlockPairs chroma_blocks[4];  // Cb upper, Cr upper, Cb lower, Cr lower
};

// cbp bit of chroma block i (Cb upper, Cr upper, Cb lower, Cr lower).
inline int cbp_chroma_bit(int i) { return 4 + i; }

// Whether luma block b is coded (8x8: raster block; 4x4: decoding order).
inline bool luma_block_coded(const MbDecision &d, int b) {
    if (d.luma.is8x8) return (d.cbp >> b) & 1;
    return ((d.cbp >> (b / 4)) & 1) && ((d.cbp4[b / 4] >> (b % 4)) & 1);
}

// Quantiser after the macroblock's delta: wraps around 0..55.
inline int qp_after_delta(int qp, int delta) { return (qp + delta + 56) % 56; }

}  // namespace svacenc
