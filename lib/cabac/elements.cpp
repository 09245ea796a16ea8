#include "cabac/elements.h"

#include <cstdio>
#include <cstdlib>

#include "recon/macroblock.h"

namespace {

// Context indices of the macroblock elements.
enum : int {
    CTX_SKIP = 0,
    CTX_TYPE = 2,
    CTX_TYPE_B = 7,
    CTX_PART = 19,
    CTX_SVC = 17,
    CTX_PRED_FLAG = 22,
    CTX_LUMA_MODE = 23,
    CTX_CHROMA_MODE = 26,
    CTX_REF = 30,
    CTX_MVD_X = 36,
    CTX_MVD_Y = 42,
    CTX_CBP_LUMA = 48,
    CTX_CBP_CHROMA = 52,
    CTX_CBP_CR = 56,
    CTX_QP = 60,
};

// Unary runs that no valid stream holds: the slice is broken beyond them
// (damaged data could otherwise spin for a long time).
constexpr uint32_t kMaxUnary = 1u << 16;
// Reference indices above 1 are refused by the caller anyway.
constexpr uint32_t kMaxRefIdx = 32;
// Exp-Golomb prefixes of motion vector differences that would not fit 30 bits.
constexpr int kMaxMvdOrder = 26;

// Bins with context ctx up to and including the first 1: their number.
uint32_t count_to_one(SvacCabac *c, SvacCabacCtx &ctx) {
    uint32_t n = 1;
    while (!cabac_decode_symbol(c, ctx)) {
        if (++n > kMaxUnary) {
            svac_cabac_break(c);
            break;
        }
    }
    return n;
}

uint32_t unary_flag(SvacCabac *c, int ctx) {
    if (cabac_decode_symbol(c, c->ctx[ctx])) return 0;
    return count_to_one(c, c->ctx[ctx + 1]);
}

void set_type_code(SvacMacroblock *mb, int32_t code) {
    mb->left_type_code = code;
    mb->top_type_code[mb->mb_x] = code;
}

SvacCabacCtx &type_ctx(SvacCabac *c, uint32_t k) { return c->ctx[CTX_TYPE + (k < 4 ? k : 4)]; }

}  // namespace

uint32_t cabac_decode_mb_skip_flag(SvacCabac *c) { return unary_flag(c, CTX_SKIP); }

uint32_t cabac_decode_svc_mode_flag(SvacCabac *c) { return unary_flag(c, CTX_SVC); }

int32_t cabac_decode_mb_type_i(SvacCabac *c, SvacMacroblock *mb) {
    if (cabac_decode_symbol(c, c->ctx[CTX_TYPE])) {
        set_type_code(mb, 0);
        std::puts("invalid mb_type");
        return -1;
    }
    uint32_t n = 1;
    while (!cabac_decode_symbol(c, type_ctx(c, n))) {
        if (++n > kMaxUnary) {
            svac_cabac_break(c);
            break;
        }
    }
    set_type_code(mb, static_cast<int32_t>(n));
    if (n > 2) std::puts("invalid mb_type");
    return static_cast<int32_t>(n) - 1;
}

int32_t cabac_decode_mb_type_p(SvacCabac *c, SvacMacroblock *mb) {
    if (cabac_decode_symbol(c, c->ctx[CTX_TYPE])) {
        set_type_code(mb, 0);
        return 5;
    }
    for (uint32_t n = 1; n <= 5; n++) {
        if (cabac_decode_symbol(c, type_ctx(c, n))) {
            set_type_code(mb, static_cast<int32_t>(n));
            return static_cast<int32_t>(n) - 1;
        }
    }
    return -1;
}

int32_t cabac_decode_mb_type_b(SvacCabac *c, SvacMacroblock *mb) {
    const int inc = ((mb->neighbour_flags & NB_LEFT) && mb->left_type_code != 0) +
                    ((mb->neighbour_flags & NB_TOP) && mb->top_type_code[mb->mb_x] != 0);
    int32_t type = 0;
    if (cabac_decode_symbol(c, c->ctx[CTX_TYPE_B + inc])) {
        type = 1;
        if (!cabac_decode_symbol(c, c->ctx[CTX_TYPE_B + 3])) {
            type = 2;
            while (!cabac_decode_symbol(c, c->ctx[9 + (type < 7 ? type : 7)])) {
                if (++type > static_cast<int32_t>(kMaxUnary)) {
                    svac_cabac_break(c);
                    break;
                }
            }
        }
    }
    set_type_code(mb, type);
    return type;
}

uint32_t cabac_decode_mb_part_type(SvacCabac *c) {
    const uint32_t b0 = cabac_decode_symbol(c, c->ctx[CTX_PART]);
    return 2 * b0 + cabac_decode_symbol(c, c->ctx[CTX_PART + 1 + b0]);
}

uint32_t cabac_decode_pred_mode_flag(SvacCabac *c) { return cabac_decode_symbol(c, c->ctx[CTX_PRED_FLAG]); }

uint32_t cabac_decode_intra_luma_pred_mode(SvacCabac *c) {
    for (uint32_t k = 0; k < 3; k++)
        if (cabac_decode_symbol(c, c->ctx[CTX_LUMA_MODE + k])) return k + 1;
    return 0;
}

uint32_t cabac_decode_intra_chroma_pred_mode(SvacCabac *c, const SvacMacroblock *mb, int row, bool is422,
                                             bool enhancement) {
    const uint32_t nb = mb->neighbour_flags;
    const int x = mb->mb_x;
    int a = (nb & NB_LEFT) && mb->left_chroma_pred_mode[row] != 0;
    if (enhancement && mb->left_svc_mode == 1) a = 0;
    int b;
    if (!is422)
        b = (nb & NB_TOP) && mb->top_chroma_pred_mode[0][x] != 0;
    else if (row == 0)
        b = (nb & NB_TOP) && mb->top_chroma_pred_mode[1][x] != 0;
    else
        b = mb->top_chroma_pred_mode[0][x] != 0;  // no availability test here
    if (enhancement && mb->top_svc_mode[x] == 1) b = 0;
    if (!cabac_decode_symbol(c, c->ctx[CTX_CHROMA_MODE + a + b])) return 0;
    SvacCabacCtx &rest = c->ctx[CTX_CHROMA_MODE + 3];
    if (!cabac_decode_symbol(c, rest)) return 1;
    return cabac_decode_symbol(c, rest) ? 3 : 2;
}

uint32_t cabac_decode_mb_reference_index(SvacCabac *c, const SvacMacroblock *mb, int pos, bool b_slice) {
    const SvacMvEntry *list = mb->mv_cache[pos / 12];
    const int p = pos % 12;
    const int a = list[p - 1].ref_idx > 0;
    const int b = list[p - 4].ref_idx > 0;
    if (cabac_decode_symbol(c, c->ctx[CTX_REF + a + 2 * b])) return 0;
    if (b_slice) return 1;
    if (cabac_decode_symbol(c, c->ctx[CTX_REF + 4])) return 1;
    uint32_t idx = 2;
    while (!cabac_decode_symbol(c, c->ctx[CTX_REF + 5]) && idx < kMaxRefIdx) idx++;
    return idx;
}

int32_t cabac_decode_mv_diff(SvacCabac *c, int component, int32_t left_mvd) {
    SvacCabacCtx *ctx = c->ctx + (component ? CTX_MVD_Y : CTX_MVD_X);
    const uint32_t m = static_cast<uint32_t>(std::abs(left_mvd));
    if (!cabac_decode_symbol(c, ctx[m < 2 ? 0 : m < 16 ? 1 : 2])) return 0;
    int32_t mag;
    if (!cabac_decode_symbol(c, ctx[3])) {
        // Truncated unary 1..8.
        mag = 1;
        while (mag < 8 && !cabac_decode_symbol(c, ctx[mag == 1 ? 4 : 5])) mag++;
    } else {
        // Exp-Golomb of order 3 from 9 on, equiprobable bins.
        int j = 3;
        mag = 9;
        while (cabac_decode_equiprobable(c)) {
            if (j == kMaxMvdOrder) {
                svac_cabac_break(c);
                break;
            }
            mag += 1 << j++;
        }
        int32_t suffix = 0;
        for (int i = 0; i < j; i++)
            suffix = (suffix << 1) | static_cast<int32_t>(cabac_decode_equiprobable(c));
        mag += suffix;
    }
    return cabac_decode_equiprobable(c) ? -mag : mag;
}

uint32_t cabac_decode_cbp(SvacCabac *c, const SvacMacroblock *mb, bool is422) {
    const bool left = mb->neighbour_flags & NB_LEFT;
    const bool top = mb->neighbour_flags & NB_TOP;
    const uint32_t prev = static_cast<uint32_t>(mb->prev_cbp);
    const uint32_t up = mb->top_cbp[mb->mb_x];
    // Context 48 + a + 2b, a and b: the block to the left, above, is not
    // coded (bits of l and u for the neighbouring macroblocks).
    SvacCabacCtx *luma = c->ctx + CTX_CBP_LUMA;
    const uint32_t l = left ? ~prev : 0, u = top ? ~up : 0;
    const uint32_t c0 = cabac_decode_symbol(c, luma[((l >> 1) & 1) + 2 * ((u >> 2) & 1)]);
    const uint32_t c1 = cabac_decode_symbol(c, luma[(c0 ^ 1) + 2 * ((u >> 3) & 1)]);
    const uint32_t c2 = cabac_decode_symbol(c, luma[((l >> 3) & 1) + 2 * (c0 ^ 1)]);
    const uint32_t c3 = cabac_decode_symbol(c, luma[(c2 ^ 1) + 2 * (c1 ^ 1)]);
    uint32_t cbp = c0 | c1 << 1 | c2 << 2 | c3 << 3;
    const int a = !is422 && left && prev > 15;
    const int b = !is422 && top && up > 15;
    if (cabac_decode_symbol(c, c->ctx[CTX_CBP_CHROMA + a + 2 * b])) {
        // Neighbours with Cr coded and Cb not.
        const int a2 = left && prev >= 32 && prev <= 47;
        const int b2 = top && ((up >> 4) & 15) == 2;
        if (cabac_decode_symbol(c, c->ctx[CTX_CBP_CHROMA + a2 + 2 * b2]))
            cbp += 48;
        else
            cbp += cabac_decode_symbol(c, c->ctx[CTX_CBP_CR + a2 + 2 * b2]) ? 32 : 16;
    }
    if (cbp == 0) c->last_qp_delta = 0;
    return cbp;
}

int32_t cabac_decode_mb_qp_delta(SvacCabac *c) {
    if (!cabac_decode_symbol(c, c->ctx[CTX_QP + (c->last_qp_delta != 0)])) {
        c->last_qp_delta = 0;
        return 0;
    }
    uint32_t k = 1;
    while (cabac_decode_symbol(c, c->ctx[k == 1 ? CTX_QP + 2 : CTX_QP + 3])) {
        if (++k > kMaxUnary) {
            svac_cabac_break(c);
            break;
        }
    }
    const int32_t delta = (k & 1) ? static_cast<int32_t>((k + 1) / 2) : -static_cast<int32_t>(k / 2);
    c->last_qp_delta = delta;
    return delta;
}
