// Inter prediction of a macroblock from the motion cache: one 16x16 block or
// four 8x8 blocks, each from list 0, list 1 or both (averaged).
#pragma once

#include <cstdint>

#include "common.h"

struct SvacFrame;
struct SvacMacroblock;
struct SvacReconCtx;

// Samples of replicated edge around the luma plane of a reference picture;
// chroma planes get half as many across (and down when they have half the rows).
inline constexpr int kRefMargin = 16;

// A reference picture's margins hold copies of its nearest edge samples:
// blocks whose reads stay inside them need no edge emulation. The frame pool
// leaves room for them. The sides of luma rows [y0, y1) and of the chroma
// rows beside them are filled while those rows are still in the cache ...
void svac_extend_sides(SvacFrame *f, int y0, int y1);
// ... and the picture's margins are completed once it is decoded: the sides
// of the rows from `from_row` on, then the rows above and below.
void svac_extend_reference(SvacFrame *f, int from_row);

// Partition shape (bits 6-7: 0 16x16, 1 16x8, 2 8x16, 3 8x8) and prediction
// directions of each internal macroblock type.
SVAC_EXTERN_C const uint8_t svac_partition_flags[31];

// Bit r set when reference r exists and has the geometry and format of the
// current picture; bound once per slice into ctx.usable_refs.
uint32_t svac_usable_refs(const SvacReconCtx &ctx);

// Whether every reference the macroblock's partitions name is usable.
bool svac_inter_refs_usable(const SvacReconCtx &ctx, const SvacMacroblock *mb, int32_t type);

// Forms the prediction of the macroblock from its motion cache; the
// references must be usable.
SVAC_EXTERN_C void VQ_SVACDEC_svac_inter(const SvacReconCtx &ctx, SvacMacroblock *mb, int32_t type);
