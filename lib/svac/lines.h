// Per-layer line buffers and cache resets of the macroblock record.
#pragma once

struct SvacMacroblock;

// Puts the motion caches in their opened state.
void svac_reset_mb_caches(SvacMacroblock *mb);
// Frees the line buffers and per-picture arrays of a layer.
void svac_free_lines(SvacMacroblock *mb);
