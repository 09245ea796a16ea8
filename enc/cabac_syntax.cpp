#include "cabac_syntax.h"

#include <algorithm>
#include <cstdlib>

namespace svacenc {

namespace {

// `zeros` bins of 0 and a closing 1, with context first for the first bin
// and rest for the others.
void put_unary(CabacWriter &w, int zeros, CabacCtx &first, CabacCtx &rest) {
    for (int i = 0; i <= zeros; i++) cabac_put(w, i ? rest : first, i == zeros);
}

// Bin 0 is 1 for the value 0; other values follow as a unary count.
void put_count_flag(CabacWriter &w, int value, int ctx) {
    cabac_put(w, w.ctx[ctx], value == 0);
    if (value > 0) put_unary(w, value - 1, w.ctx[ctx + 1], w.ctx[ctx + 1]);
}

}  // namespace

void put_skip_flag(CabacWriter &w, int value) { put_count_flag(w, value, kCtxSkip); }

void put_svc_flag(CabacWriter &w, int value) { put_count_flag(w, value, kCtxSvc); }

// Bin k >= 1 of a type uses context 2 + min(k, 4).
static void put_type_tail(CabacWriter &w, int zeros) {
    for (int k = 1; k <= zeros + 1; k++) cabac_put(w, w.ctx[kCtxMbType + std::min(k, 4)], k == zeros + 1);
}

void put_mb_type_i(CabacWriter &w, bool is8x8) {
    cabac_put(w, w.ctx[kCtxMbType], 0);
    put_type_tail(w, is8x8 ? 1 : 0);
}

void put_mb_type_p(CabacWriter &w, int value) {
    cabac_put(w, w.ctx[kCtxMbType], value == 5);
    if (value != 5) put_type_tail(w, value);
}

void put_mb_type_b(CabacWriter &w, int value, int inc) {
    cabac_put(w, w.ctx[kCtxMbTypeB + inc], value != 0);
    if (value == 0) return;
    cabac_put(w, w.ctx[kCtxMbTypeB + 3], value == 1);
    for (int k = 2; k <= value; k++) cabac_put(w, w.ctx[kCtxMbTypeB + 2 + std::min(k, 7)], k == value);
}

void put_part_type(CabacWriter &w, int value) {
    const int b0 = value >> 1;
    cabac_put(w, w.ctx[kCtxPartType], b0);
    cabac_put(w, w.ctx[kCtxPartType + 1 + b0], value & 1);
}

void put_luma_mode(CabacWriter &w, bool use_predicted, int rem) {
    cabac_put(w, w.ctx[kCtxPredFlag], use_predicted);
    if (use_predicted) return;
    // Truncated unary: 1 -> "1", 2 -> "01", 3 -> "001", 0 -> "000".
    const int zeros = rem == 0 ? 3 : rem - 1;
    for (int i = 0; i < 3 && i <= zeros; i++) cabac_put(w, w.ctx[kCtxRemMode + i], i == zeros);
}

void put_chroma_mode(CabacWriter &w, int mode, int inc) {
    cabac_put(w, w.ctx[kCtxChroma + inc], mode != 0);
    for (int i = 1; i < 3 && i <= mode; i++) cabac_put(w, w.ctx[kCtxChroma + 3], i < mode);
}

void put_ref_idx(CabacWriter &w, int ref, bool a, bool b, bool b_slice) {
    cabac_put(w, w.ctx[kCtxRef + a + 2 * b], ref == 0);
    if (ref == 0 || b_slice) return;
    cabac_put(w, w.ctx[kCtxRef + 4], ref == 1);
    if (ref > 1) put_unary(w, ref - 2, w.ctx[kCtxRef + 5], w.ctx[kCtxRef + 5]);
}

void put_mvd(CabacWriter &w, int component, int value, int left_abs) {
    CabacCtx *c = w.ctx + (component ? kCtxMvdY : kCtxMvdX);
    cabac_put(w, c[left_abs < 2 ? 0 : left_abs < 16 ? 1 : 2], value != 0);
    if (value == 0) return;
    const int m = std::abs(value);
    cabac_put(w, c[3], m > 8);
    if (m <= 8) {
        // Truncated unary of m - 1 (at most seven 0 bins, 8 has no closing 1).
        for (int i = 0; i < m && i < 8; i++)
            if (i < 7 || m < 8) cabac_put(w, c[i ? 5 : 4], i == m - 1);
    } else {
        // Exp-Golomb of order 3 of m - 9 with equiprobable bins.
        int x = m - 9, j = 3;
        while (x >= (1 << j)) {
            cabac_put_fixed(w, 1);
            x -= 1 << j;
            j++;
        }
        cabac_put_fixed(w, 0);
        for (int b = j - 1; b >= 0; b--) cabac_put_fixed(w, (x >> b) & 1);
    }
    cabac_put_fixed(w, value < 0);
}

int put_cbp(CabacWriter &w, const CbpNeighbours &nb, int luma, int chroma) {
    for (int blk = 0; blk < 4; blk++) {
        // a, b: the block to the left / above is not coded.
        int a = 0, b = 0;
        if (blk & 1)
            a = !((luma >> (blk - 1)) & 1);
        else if (nb.left)
            a = !((nb.prev_cbp >> (blk + 1)) & 1);
        if (blk & 2)
            b = !((luma >> (blk - 2)) & 1);
        else if (nb.top)
            b = !((nb.top_cbp >> (blk + 2)) & 1);
        cabac_put(w, w.ctx[kCtxCbpLuma + a + 2 * b], (luma >> blk) & 1);
    }
    int a = 0, b = 0;
    if (!nb.is422) {
        a = nb.left && nb.prev_cbp > 15;
        b = nb.top && nb.top_cbp > 15;
    }
    cabac_put(w, w.ctx[kCtxCbpChroma + a + 2 * b], chroma != 0);
    if (chroma != 0) {
        // Neighbours with Cr coded and Cb not.
        const int a2 = nb.left && nb.prev_cbp >= 32 && nb.prev_cbp <= 47;
        const int b2 = nb.top && ((nb.top_cbp >> 4) & 15) == 2;
        cabac_put(w, w.ctx[kCtxCbpChroma + a2 + 2 * b2], chroma == 3);
        if (chroma != 3) cabac_put(w, w.ctx[kCtxCbpChroma3 + a2 + 2 * b2], chroma == 2);
    }
    return luma | chroma << 4;
}

void put_qp_delta(CabacWriter &w, int delta, int &last) {
    cabac_put(w, w.ctx[kCtxQpDelta + (last != 0)], delta != 0);
    last = delta;
    if (delta == 0) return;
    // k = 1, 2, 3, ... for 1, -1, 2, -2, ...: k - 1 bins of 1 and a 0.
    const int k = delta > 0 ? 2 * delta - 1 : -2 * delta;
    for (int i = 1; i <= k; i++) cabac_put(w, w.ctx[kCtxQpDelta + (i == 1 ? 2 : 3)], i < k);
}

void put_coefficients(CabacWriter &w, int group, std::span<const SvacRunLevel> pairs, bool is4x4) {
    static constexpr int kThreshold[5] = {0, 1, 2, 4, 3000};
    CabacCtx *g = w.ctx + group;
    const int max_pairs = is4x4 ? 17 : 65, max_pos = is4x4 ? 15 : 63;
    int s = 0, p = 0;
    for (size_t n = 0; n < pairs.size(); n++) {
        const int m = std::abs(pairs[n].level);
        const int z = pairs[n].run - 1;
        CabacCtx *row = g + 7 * s;
        cabac_put(w, row[1], m == 1);
        if (m > 1) put_unary(w, m - 2, row[2], row[2]);
        cabac_put_fixed(w, pairs[n].level < 0);
        if (m == 1)
            put_unary(w, z, row[3], row[4]);
        else
            put_unary(w, z, row[5], row[6]);
        if (m > kThreshold[s]) s = m <= 2 ? m : m <= 4 ? 3 : 4;
        p = std::min(p + z + 1, max_pos);
        if (static_cast<int>(n) + 1 == max_pairs) return;
        cabac_put_blend(w, g[7 * s], g[35 + (p >> 1)], n + 1 == pairs.size());
    }
}

}  // namespace svacenc
