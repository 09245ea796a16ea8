// Per-layer line buffers and cache resets of the macroblock record.
#pragma once

#include <cstdint>

struct SvacDecoder;
struct SvacMacroblock;

// Puts the motion caches in their opened state.
void svac_reset_mb_caches(SvacMacroblock *mb);
// Allocates the line buffers of the current layer for its geometry; false
// when memory runs out.
bool VQ_SVACDEC_svac_init_top_lines(SvacDecoder *dec);
// Frees the line buffers and per-picture arrays of a layer.
void svac_free_lines(SvacMacroblock *mb);
