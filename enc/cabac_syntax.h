// Macroblock-level elements and coefficients of CABAC slices, value to bins,
// each with its context choice. Context indices: 0..63 macroblock elements,
// 64..331 coefficients in four groups of 67 (frame/field x luma/chroma).
#pragma once

#include <span>

#include "cabac_writer.h"
#include "dsp/quant.h"

namespace svacenc {

// Context index bases.
enum CabacCtxBase : int {
    kCtxSkip = 0,
    kCtxMbType = 2,
    kCtxMbTypeB = 7,
    kCtxSvc = 17,
    kCtxPartType = 19,
    kCtxPredFlag = 22,
    kCtxRemMode = 23,
    kCtxChroma = 26,
    kCtxRef = 30,
    kCtxMvdX = 36,
    kCtxMvdY = 42,
    kCtxCbpLuma = 48,
    kCtxCbpChroma = 52,
    kCtxCbpChroma3 = 56,
    kCtxQpDelta = 60,
    kCtxCoeff = 64,
};

// Skip flag of P (and B) slices: 0 codes the macroblock, any value above 0
// skips it (values above 1 only make the unary code longer).
void put_skip_flag(CabacWriter &w, int value);

// Inter-layer flag of an enhancement intra macroblock, coded like the skip
// flag: 0 predicts as usual, any value above 0 from the base picture.
void put_svc_flag(CabacWriter &w, int value);

// I-slice type: 4x4 or 8x8 transform.
void put_mb_type_i(CabacWriter &w, bool is8x8);

// P-slice type 0..5: 0..3 the inter partitions, 4 intra 4x4, 5 intra 8x8.
void put_mb_type_p(CabacWriter &w, int value);

// B-slice type 0..24: 0..22 the inter kinds, 23, 24 intra 4x4 and 8x8;
// `inc` counts the neighbours with a type code other than 0.
void put_mb_type_b(CabacWriter &w, int value, int inc);

// Sub-type 0..3 of a B 8x8 block.
void put_part_type(CabacWriter &w, int value);

// Luma mode syntax: the predicted-mode flag, else the remainder 0..3.
void put_luma_mode(CabacWriter &w, bool use_predicted, int rem);

// Chroma mode 0..3; `inc` is the neighbour increment 0..2.
void put_chroma_mode(CabacWriter &w, int mode, int inc);

// Reference index of a partition; a, b: the left and upper index above 0.
// B slices code 0 or 1 in one bin.
void put_ref_idx(CabacWriter &w, int ref, bool a, bool b, bool b_slice = false);

// One vector difference component; `left_abs` is |difference| of the block
// to the left (same component).
void put_mvd(CabacWriter &w, int component, int value, int left_abs);

// Neighbour values the cbp contexts read.
struct CbpNeighbours {
    bool left = false, top = false;
    int prev_cbp = 0;  // the left macroblock's cbp (when `left`)
    int top_cbp = 0;   // the upper macroblock's cbp (when `top`)
    bool is422 = false;
};

// One cbp element: luma bits 0..3 and the chroma part (0 none, 1 Cb only,
// 2 Cr only, 3 both). Returns the element's value.
int put_cbp(CabacWriter &w, const CbpNeighbours &nb, int luma, int chroma);

// Quantiser delta; `last` is the previous macroblock's delta, updated.
void put_qp_delta(CabacWriter &w, int delta, int &last);

// Context group of a block: frame or field, luma or chroma.
inline int coeff_group(bool field, bool luma) { return kCtxCoeff + 67 * (2 * field + !luma); }

// Pairs of one coded block (at least one) in the order a decoder returns them.
void put_coefficients(CabacWriter &w, int group, std::span<const SvacRunLevel> pairs, bool is4x4);

}  // namespace svacenc
