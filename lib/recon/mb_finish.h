// The end of a macroblock's reconstruction: the unfiltered border is saved
// for the intra prediction of later macroblocks, then the macroblock is
// deblocked in place.
#pragma once

#include <cstdint>

struct SvacMacroblock;
struct SvacReconCtx;
struct SvacReconFns;

// `type` is the internal macroblock type handed to the deblocking decisions.
void svac_finish_recon(const SvacReconCtx &ctx, const SvacReconFns *fns, SvacMacroblock *mb, uint32_t type);
