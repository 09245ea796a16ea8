// Inter-layer intra prediction of enhancement-layer macroblocks.
#pragma once

#include <cstdint>

struct SvacMacroblock;
struct SvacReconCtx;

// Upsamples the co-located base-layer block (ctx.base_frame; none predicts
// nothing) into the macroblock, then adds every coded residual block.
template <typename P>
void svac_reconstruct_inter_layer(const SvacReconCtx &ctx, SvacMacroblock *mb, int32_t intra_type);
