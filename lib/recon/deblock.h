// Deblocking decisions for one macroblock: which edges are filtered, with
// which strengths, thresholds and clip values, and in which order.
#pragma once

#include <cstdint>

#include "common.h"
#include "recon/filter_params.h"

// Entries 0..15 are 0, so low quantisers switch the filter off.
SVAC_EXTERN_C const uint8_t SVAC_ALPHA_TABLE[56];
SVAC_EXTERN_C const uint8_t SVAC_BETA_TABLE[56];
SVAC_EXTERN_C const uint8_t SVAC_CLIP_TAB[56];

// Boundary strengths 0..3 as pairs (luma lines or columns 0..7, 8..15).
struct SvacDeblockStrengths {
    uint8_t left[2];   // left macroblock edge
    uint8_t vert[2];   // internal vertical edge at column 8
    uint8_t top[2];    // top macroblock edge
    uint8_t horiz[2];  // internal horizontal edge at line 8
    uint8_t grid[2];   // 4x4-grid edges of an I_4X4 macroblock (columns and lines 4, 12)
};

// Thresholds of one edge; an edge with alpha or beta 0 is not filtered.
struct SvacEdgeThresholds {
    int alpha;
    int beta;
    uint8_t tc0[2];  // clip value of each half; 0 when alpha is 0 (never filtered)
};

// Pure functions of plain inputs, shared with the stream generator.
// `mv` holds the 24 motion cache entries in the layout of p.mv_cache: the
// decoder passes the macroblock record's own cache instead of copying it.
SvacDeblockStrengths svac_deblock_strengths(const SvacFilterParams &p, const SvacMvEntry *mv);
inline SvacDeblockStrengths svac_deblock_strengths(const SvacFilterParams &p) {
    return svac_deblock_strengths(p, p.mv_cache);
}
bool svac_deblock_strengths_zero(const SvacDeblockStrengths &s);
SvacEdgeThresholds svac_edge_thresholds(int q, int32_t alpha_offset, int32_t beta_offset,
                                        const uint8_t bs[2]);

// Deblocks the macroblock described by the record, in place.
SVAC_EXTERN_C void VQ_SVACDEC_svac_filter(const SvacFilterParams *params);
// The same with the motion cache taken from `mv` (p.mv_cache is not read).
void svac_filter_mb(const SvacFilterParams &p, const SvacMvEntry *mv);
