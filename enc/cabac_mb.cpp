#include "cabac_mb.h"

#include <algorithm>
#include <cstdlib>

namespace svacenc {

namespace {

void set_type_code(CabacNeighbourState &s, int x, int code) {
    s.left_type_code = code;
    s.top_type_code[static_cast<size_t>(x)] = code;
}

void set_chroma(CabacNeighbourState &s, int x, int m0, int m1) {
    s.left_chroma[0] = m0;
    s.left_chroma[1] = m1;
    s.top_chroma[0][static_cast<size_t>(x)] = m0;
    s.top_chroma[1][static_cast<size_t>(x)] = m1;
}

void count_block(PathStats *st, std::span<const SvacRunLevel> p, bool is4x4) {
    if (!st) return;
    st->cabac_full_blocks += static_cast<int>(p.size()) == (is4x4 ? 17 : 65);
    for (const SvacRunLevel &r : p) {
        st->cabac_longest_run = std::max<int64_t>(st->cabac_longest_run, r.run);
        st->cabac_largest_level = std::max<int64_t>(st->cabac_largest_level, std::abs(r.level));
    }
}

void put_block(CabacWriter &w, const CabacMbContext &c, const BlockPairs &b, bool luma, bool is4x4) {
    const std::span<const SvacRunLevel> p(b.pairs, static_cast<size_t>(b.count));
    put_coefficients(w, coeff_group(c.field, luma), p, is4x4);
    count_block(c.stats, p, is4x4);
}

// One cbp element; a result of 0 clears the previous quantiser delta.
void cbp_element(CabacWriter &w, CabacNeighbourState &s, const CbpNeighbours &nb, int luma, int chroma) {
    if (put_cbp(w, nb, luma, chroma) == 0) s.last_qp_delta = 0;
}

// cbp elements (two in 4:2:2, the second holding the chroma bits) and the
// quantiser delta.
void put_cbp_qp(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c, int cbp, int qp_delta,
                const uint8_t *cbp4, const uint8_t *cbp4_chroma) {
    const CbpNeighbours nb{c.nb.left, c.nb.top, s.prev_cbp, s.top_cbp[static_cast<size_t>(c.mb_x)],
                           c.chroma_format_idc == 2};
    if (c.chroma_format_idc == 2) {
        cbp_element(w, s, nb, cbp & 15, 0);
        cbp_element(w, s, nb, (cbp >> 4) & 15, 0);
    } else {
        cbp_element(w, s, nb, cbp & 15, (cbp >> 4) & 3);
    }
    if (cbp4)
        for (int i = 0; i < 4; i++)
            if ((cbp >> i) & 1) cbp_element(w, s, nb, cbp4[i], cbp4_chroma[i]);
    if (cbp != 0 && c.qp_changes) {
        put_qp_delta(w, qp_delta, s.last_qp_delta);
        if (c.stats) {
            c.stats->cabac_qp_delta_min = std::min<int64_t>(c.stats->cabac_qp_delta_min, qp_delta);
            c.stats->cabac_qp_delta_max = std::max<int64_t>(c.stats->cabac_qp_delta_max, qp_delta);
        }
    } else {
        s.last_qp_delta = 0;
    }
    s.prev_cbp = cbp;
    s.top_cbp[static_cast<size_t>(c.mb_x)] = cbp;
}

// Neighbours whose type code is not 0 (the B type context).
int b_type_inc(const CabacNeighbourState &s, const CabacMbContext &c) {
    return (c.nb.left && s.left_type_code != 0) +
           (c.nb.top && s.top_type_code[static_cast<size_t>(c.mb_x)] != 0);
}

void put_mvd_pair(CabacWriter &w, const CabacMbContext &c, const int mvd[2], const int left_abs[2]) {
    for (int k = 0; k < 2; k++) {
        put_mvd(w, k, mvd[k], left_abs[k]);
        const int m = std::abs(mvd[k]);
        if (c.stats) c.stats->cabac_mvd_classes[m == 0 ? 0 : m < 8 ? 1 : m == 8 ? 2 : m < 256 ? 3 : 4]++;
    }
}

// cbp, quantiser delta and blocks of a coded inter macroblock.
void put_inter_tail(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c, const InterDecision &d) {
    set_chroma(s, c.mb_x, 0, 0);
    put_cbp_qp(w, s, c, d.cbp, d.qp_delta, nullptr, nullptr);
    for (int k = 0; k < 4; k++)
        if ((d.cbp >> k) & 1) put_block(w, c, d.luma_blocks[k], true, false);
    for (int i = 0; i < 2 * c.chroma_format_idc; i++)
        if ((d.cbp >> cbp_chroma_bit(i)) & 1) put_block(w, c, d.chroma_blocks[i], false, false);
}

}  // namespace

void cabac_neighbours_init(CabacNeighbourState &s, int mb_width) {
    s = CabacNeighbourState{};
    const size_t w = static_cast<size_t>(mb_width);
    s.top_cbp.assign(w, 0);
    s.top_chroma[0].assign(w, 0);
    s.top_chroma[1].assign(w, 0);
    s.top_type_code.assign(w, 0);
}

void write_intra_mb_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c,
                          const MbDecision &d) {
    const int cf = c.chroma_format_idc, x = c.mb_x;
    const bool is8x8 = d.luma.is8x8;
    if (c.b_slice) {
        put_mb_type_b(w, is8x8 ? 24 : 23, b_type_inc(s, c));
        set_type_code(s, x, is8x8 ? 24 : 23);
    } else if (c.p_slice) {
        put_mb_type_p(w, is8x8 ? 5 : 4);
        set_type_code(s, x, is8x8 ? 0 : 5);
    } else {
        put_mb_type_i(w, is8x8);
        set_type_code(s, x, is8x8 ? 2 : 1);
    }
    if (c.enhancement) put_svc_flag(w, d.svc);
    const int n = d.svc ? 0 : is8x8 ? 4 : 16;
    int cur[16];
    for (int i = 0; i < n; i++) {
        const int pos = is8x8 ? i : blk4_raster(i);
        const ModePair nb = is8x8 ? neighbour_modes_8x8(pos, cur, c.left, c.top)
                                  : neighbour_modes_4x4(pos, cur, c.left, c.top);
        const ModeSyntax m = mode_syntax(d.luma.modes[pos], predicted_mode(nb.left, nb.top));
        put_luma_mode(w, m.use_predicted, m.rem);
        cur[pos] = d.luma.modes[pos];
    }
    const size_t col = static_cast<size_t>(x);
    if (cf > 0 && !d.svc) {
        // 4:2:2 compares the upper block with the upper macroblock's lower one.
        const int a = c.nb.left && s.left_chroma[0] != 0;
        const int b = c.nb.top && s.top_chroma[cf == 2 ? 1 : 0][col] != 0;
        put_chroma_mode(w, d.chroma_modes[0], a + b);
    }
    if (cf == 2 && !d.svc) {
        // The lower block reads the column's upper-block value without an
        // availability test: whatever macroblock last wrote it.
        const int a = c.nb.left && s.left_chroma[1] != 0;
        const int b = s.top_chroma[0][col] != 0;
        put_chroma_mode(w, d.chroma_modes[1], a + b);
    }
    set_chroma(s, x, cf > 0 ? d.chroma_modes[0] : 0, cf == 2 ? d.chroma_modes[1] : 0);
    put_cbp_qp(w, s, c, d.cbp, d.qp_delta, is8x8 ? nullptr : d.cbp4, d.cbp4_chroma);
    for (int b = 0; b < (is8x8 ? 4 : 16); b++)
        if (luma_block_coded(d, b)) put_block(w, c, d.luma_blocks[b], true, !is8x8);
    for (int i = 0; i < 2 * cf; i++)
        if ((d.cbp >> cbp_chroma_bit(i)) & 1) put_block(w, c, d.chroma_blocks[i], false, false);
}

void write_inter_mb_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c,
                          const InterPicture &pic, const InterDecision &d, const int mvd[4][2],
                          const SvacMvEntry cache[12]) {
    const int v = d.type - P16X16;
    put_mb_type_p(w, v);
    set_type_code(s, c.mb_x, v + 1);
    const PartitionCall *calls = partition_calls(d.type);
    const int n = partition_count(d.type);
    // Every index a context reads is in place by then: the neighbours' and
    // those of the partitions before.
    if (!pic.single_ref)
        for (int i = 0; i < n; i++) {
            const int b = calls[i].block;
            put_ref_idx(w, d.ref[i], cache[b - 1].ref_idx > 0, cache[b - 4].ref_idx > 0);
        }
    for (int i = 0; i < n; i++) {
        const SvacMvEntry &left = cache[calls[i].block - 1];
        const int left_abs[2] = {std::abs(int(left.mvd_x)), std::abs(int(left.mvd_y))};
        put_mvd_pair(w, c, mvd[i], left_abs);
    }
    put_inter_tail(w, s, c, d);
}

void write_b_mb_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c, const BDecision &d) {
    put_mb_type_b(w, d.type - BDIRECT, b_type_inc(s, c));
    set_type_code(s, c.mb_x, d.type - BDIRECT);
    if (d.type == B8X8)
        for (int k = 0; k < 4; k++) put_part_type(w, d.sub[k]);
    const BMotionSyntax &m = d.syn;
    for (int i = 0; i < m.refs; i++) put_ref_idx(w, d.ref_val[i], m.ref_a[i], m.ref_b[i], true);
    for (int i = 0; i < m.mvds; i++) put_mvd_pair(w, c, m.mvd[i], m.left_abs[i]);
    put_inter_tail(w, s, c, d.res);
}

void write_skip_cabac(CabacWriter &w, CabacNeighbourState &s, const CabacMbContext &c, int value,
                      bool outside) {
    put_skip_flag(w, value);
    if (c.stats && value > 1) c.stats->cabac_long_skip_flags++;
    if (value == 0 && !outside) return;
    set_type_code(s, c.mb_x, c.b_slice ? 30 : 6);
    set_chroma(s, c.mb_x, 0, 0);
    s.last_qp_delta = 0;
    s.prev_cbp = 0;
    s.top_cbp[static_cast<size_t>(c.mb_x)] = 0;
}

}  // namespace svacenc
