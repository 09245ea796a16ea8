// Intra reconstruction: neighbour arrays of each block, mode hand-over and
// substitution at edges, the per-sample-type reconstruction of an intra
// macroblock and the saving of its unfiltered border.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacMacroblock;
struct SvacReconCtx;

// Sample-type-specific steps of a macroblock, bound once per slice.
struct SvacReconFns {
    // Predicts every intra block and adds its residual.
    void (*intra)(const SvacReconCtx &ctx, SvacMacroblock *mb, int32_t intra_type);
    void (*save_border)(SvacMacroblock *mb, bool has_chroma, bool is422);
};

const SvacReconFns *svac_recon_fns(int bit_depth_index);

// Hands the macroblock's modes over to its neighbours' caches and replaces
// modes that would read unavailable samples at picture or slice edges.
SVAC_EXTERN_C void VQ_SVACDEC_svac_modify_mb_i(SvacMacroblock *mb, int32_t *chroma_modes, int32_t intra_type);
