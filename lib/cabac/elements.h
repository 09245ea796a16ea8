// Macroblock-level elements of CABAC slices: each decodes its bins with
// contexts chosen from the neighbouring macroblocks and maps the bin string
// to the element's value.
#pragma once

#include <cstdint>

#include "cabac/engine.h"

struct SvacMacroblock;

// Unary counts ended by a 1: the skip flag (above 0: skipped) and the SVC
// mode flag (nonzero: set).
uint32_t cabac_decode_mb_skip_flag(SvacCabac *c);
uint32_t cabac_decode_svc_mode_flag(SvacCabac *c);

// Macroblock types; both write the type code of the left and upper
// neighbour contexts. I: the intra type (0 4x4, 1 8x8 transform; longer
// strings report "invalid mb_type" and give their length), or -1 for a first
// bin of 1. P: 0..3 inter, 4 and 5 intra, or -1 for five 0 bins after the
// first (no such type: the slice ends).
int32_t cabac_decode_mb_type_i(SvacCabac *c, SvacMacroblock *mb);
int32_t cabac_decode_mb_type_p(SvacCabac *c, SvacMacroblock *mb);
// B: 0..22 inter, 23 and 24 intra; larger values are handed on.
int32_t cabac_decode_mb_type_b(SvacCabac *c, SvacMacroblock *mb);
// Sub-type 0..3 of an 8x8 block of a B_8X8 macroblock.
uint32_t cabac_decode_mb_part_type(SvacCabac *c);

uint32_t cabac_decode_pred_mode_flag(SvacCabac *c);
// rem_mode 0..3 of a luma block.
uint32_t cabac_decode_intra_luma_pred_mode(SvacCabac *c);
// Chroma mode 0..3 of chroma block row `row` (1: the lower block of 4:2:2).
uint32_t cabac_decode_intra_chroma_pred_mode(SvacCabac *c, const SvacMacroblock *mb, int row, bool is422,
                                             bool enhancement);

// Reference index of the partition whose first 8x8 block is at motion-cache
// position `pos` (list 1 from 12 on); B slices code only 0 and 1.
uint32_t cabac_decode_mb_reference_index(SvacCabac *c, const SvacMacroblock *mb, int pos,
                                         bool b_slice = false);
// Motion vector difference of component 0 (horizontal) or 1; `left_mvd` is
// the neighbour's difference of that component that chooses the context.
int32_t cabac_decode_mv_diff(SvacCabac *c, int component, int32_t left_mvd);

// Coded block pattern in the layout of the VLC tables (luma bits 0..3,
// chroma from bit 4); a result of 0 clears last_qp_delta.
uint32_t cabac_decode_cbp(SvacCabac *c, const SvacMacroblock *mb, bool is422);
// Quantiser delta; keeps last_qp_delta.
int32_t cabac_decode_mb_qp_delta(SvacCabac *c);
