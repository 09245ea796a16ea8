#include "inter_common.h"

#include <algorithm>
#include <cstdlib>

#include "dsp/qp_tables.h"
#include "forward.h"
#include "mb_writer.h"
#include "p_mb.h"
#include "random_mb.h"
#include "real_mb.h"

namespace svacenc {

int random_vector(Rng &rng, int pred, int origin, int size) {
    const int pick = rng.range(0, 99);
    int v;
    if (pick < 40)
        v = pred + rng.range(-12, 12);
    else if (pick < 50)
        v = 0;
    else if (pick < 80)
        v = rng.range(-96, 96);
    else
        v = 4 * (rng.range(-origin - 48, size - origin + 32)) + rng.range(0, 3);
    return std::clamp(v, -8000, 8000);
}

void count_vector(PathStats &st, int mx, int my, int mb_x, int mb_y, int width, int height) {
    st.phases[(my & 3) * 4 + (mx & 3)]++;
    const int x = mb_x * 16 + (mx >> 2), y = mb_y * 16 + (my >> 2);
    const bool inside = x >= 0 && y >= 0 && x + 16 <= width && y + 16 <= height;
    const bool away = x + 16 <= 0 || y + 16 <= 0 || x >= width || y >= height;
    st.outside_partly += !inside && !away;
    st.outside_fully += away;
}

int random_inter_residual(Rng &rng, InterDecision &d, int cf, bool cabac, bool qp_changes, int qp) {
    // 4:0:0 chroma bits of CABAC cbp elements count for "cbp != 0" only.
    const int chroma_bits = cf == 0 ? (cabac ? 3 : 0) : cf == 1 ? 3 : 15;
    d.cbp = rng.percent(30) ? 0 : rng.range(0, 15) | (rng.range(0, chroma_bits) << 4);
    if (cabac && cf < 2 && rng.percent(25)) d.cbp = (d.cbp & 15) | 32;
    d.qp_delta = 0;
    if (qp_changes && d.cbp != 0) {
        d.qp_delta = rng.percent(60) ? 0 : rng.range(-30, 30);
        if (cabac && rng.percent(4)) d.qp_delta = rng.percent(50) ? -55 : 55;
    }
    const int mb_qp = d.cbp != 0 && qp_changes ? qp_after_delta(qp, d.qp_delta) : qp;
    for (int k = 0; k < 4; k++)
        if ((d.cbp >> k) & 1) random_block_pairs(rng, false, mb_qp, &d.luma_blocks[k], cabac);
    for (int i = 0; i < 2 * cf; i++)
        if ((d.cbp >> cbp_chroma_bit(i)) & 1)
            random_block_pairs(rng, false, QP2_table[mb_qp], &d.chroma_blocks[i], cabac);
    return mb_qp;
}

int luma_sad(const Frame &src, const Frame &pred, int x0, int y0) {
    int sad = 0;
    for (int j = 0; j < 16; j++)
        for (int i = 0; i < 16; i++)
            sad += std::abs(src.sample(0, x0 + i, y0 + j) - pred.sample(0, x0 + i, y0 + j));
    return sad;
}

int sad_integer(const Frame &src, const Frame &ref, int x0, int y0, int dx, int dy) {
    int sad = 0;
    const int w = ref.width, h = ref.height;
    for (int j = 0; j < 16; j++) {
        const int ry = std::clamp(y0 + dy + j, 0, h - 1);
        for (int i = 0; i < 16; i++)
            sad += std::abs(src.sample(0, x0 + i, y0 + j) -
                            ref.sample(0, std::clamp(x0 + dx + i, 0, w - 1), ry));
    }
    return sad;
}

template <class Pixel>
int search_vector(Encoder &enc, const Frame &source, const Frame &ref, int x, int y, int px, int py,
                  int lambda, int &best_x, int &best_y) {
    const int x0 = 16 * x, y0 = 16 * y;
    Frame &unf = enc.unfiltered;
    const int cx[2] = {(px + 2) >> 2, 0}, cy[2] = {(py + 2) >> 2, 0};
    int bx = 0, by = 0, bc = 1 << 30;
    for (int s = 0; s < 2; s++)
        for (int dy = -6; dy <= 6; dy++)
            for (int dx = -6; dx <= 6; dx++) {
                const int mx = (cx[s] + dx) * 4, my = (cy[s] + dy) * 4;
                const int c2 = sad_integer(source, ref, x0, y0, mx >> 2, my >> 2) +
                               lambda * (se_bits(mx - px) + se_bits(my - py));
                if (c2 < bc) bc = c2, bx = mx, by = my;
            }
    for (int step = 2; step >= 1; step--) {
        const int ox = bx, oy = by;
        for (int dy = -step; dy <= step; dy += step)
            for (int dx = -step; dx <= step; dx += step) {
                if (!dx && !dy) continue;
                const int mx = ox + dx, my = oy + dy;
                predict_block<Pixel>(ref, unf, x0, y0, 16, mx, my, enc.mc_scratch);
                const int c2 = luma_sad(source, unf, x0, y0) + lambda * (se_bits(mx - px) + se_bits(my - py));
                if (c2 < bc) bc = c2, bx = mx, by = my;
            }
    }
    best_x = bx;
    best_y = by;
    return bc;
}

template int search_vector<uint8_t>(Encoder &, const Frame &, const Frame &, int, int, int, int, int, int &,
                                    int &);
template int search_vector<uint16_t>(Encoder &, const Frame &, const Frame &, int, int, int, int, int, int &,
                                     int &);

template <class Pixel>
RealChoice code_real_inter(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                           const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top, int qp,
                           int &run, BitWriter &bw, InterDecision &d, const CabacMbWrite &write_cabac,
                           const VlcMbWrite &write_vlc, int64_t skip_cost) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int x0 = 16 * x, y0 = 16 * y;
    const int cf = enc.sps.chroma_format_idc;
    const int lambda = (4 + qp / 4) << (enc.opt.bit_depth - 8);
    const int scan = sh.field_pic ? 1 : 0;
    const bool qp_changes = !(enc.pps.fixed_qp || sh.fixed_qp);
    const bool cabac = enc.pps.cabac;
    Frame &unf = enc.unfiltered;
    real_inter_residual(source, unf, x, y, qp, scan, d);
    add_inter_residual(unf, x, y, d, qp, scan);
    CabacMbContext cc = cabac_mb_context(enc, sh, addr, nb, qp_changes);
    cc.stats = nullptr;
    cc.left = left;
    cc.top = top;
    BitWriter trial;
    int64_t bits;
    if (cabac) {
        bits = cabac_trial_bits(enc, [&](CabacWriter &tw, CabacNeighbourState &ts) {
            write_skip_cabac(tw, ts, cc, 0);
            write_cabac(tw, ts, cc);
        });
    } else {
        write_vlc(trial);
        bits = static_cast<int64_t>(trial.bit_count());
    }
    const int64_t inter_cost = luma_sad(source, unf, x0, y0) + int64_t(lambda) * bits;
    // The intra trial overwrites the macroblock; keep the inter one aside.
    if (enc.trial.width != unf.width) enc.trial = unf;
    copy_macroblock(unf, enc.trial, x, y);
    MbDecision di;
    RealMbContext rc{nb, left, top, x, y, qp, scan, cabac ? 4 : 7};
    decide_real_mb<Pixel>(source, unf, rc, &di);
    reconstruct_intra_mb<Pixel>(unf, x, y, nb, di, qp, scan);
    MbSyntaxContext sc;
    sc.chroma_format_idc = cf;
    sc.qp_changes = qp_changes;
    sc.left = left;
    sc.top = top;
    sc.mb_type_offset = cc.b_slice ? 23 : 4;
    BitWriter intra_bits;
    if (cabac) {
        bits = cabac_trial_bits(enc, [&](CabacWriter &tw, CabacNeighbourState &ts) {
            write_skip_cabac(tw, ts, cc, 0);
            write_intra_mb_cabac(tw, ts, cc, di);
        });
    } else {
        write_intra_mb(intra_bits, sc, di);
        bits = static_cast<int64_t>(intra_bits.bit_count());
    }
    const int64_t intra_cost = luma_sad(source, unf, x0, y0) + int64_t(lambda) * bits;
    if (skip_cost < inter_cost && skip_cost <= intra_cost) return RealChoice::Skip;
    if (intra_cost < inter_cost) return RealChoice::Intra;
    copy_macroblock(enc.trial, unf, x, y);
    if (cabac) {
        cc.stats = &enc.stats;
        write_skip_cabac(enc.cabac, enc.cabac_nb, cc, 0);
        write_cabac(enc.cabac, enc.cabac_nb, cc);
    } else {
        bw.put_ue(static_cast<uint32_t>(run));
        run = 0;
        append_bits(bw, trial);
    }
    return RealChoice::Inter;
}

#define SVACENC_INSTANTIATE(P)                                                                            \
    template RealChoice code_real_inter<P>(Encoder &, const Frame &, const SliceHeader &, int,            \
                                           const MbNeighbours &, const ModeEdge *, const ModeEdge *, int, \
                                           int &, BitWriter &, InterDecision &, const CabacMbWrite &,     \
                                           const VlcMbWrite &, int64_t);
SVACENC_INSTANTIATE(uint8_t)
SVACENC_INSTANTIATE(uint16_t)
#undef SVACENC_INSTANTIATE

void append_bits(BitWriter &bw, const BitWriter &src) {
    const std::vector<uint8_t> &b = src.bytes();
    const size_t n = src.bit_count();
    for (size_t i = 0; i < n; i++) bw.put1((b[i / 8] >> (7 - i % 8)) & 1);
}

int se_bits(int v) {
    const uint32_t code = v > 0 ? 2u * v - 1 : 2u * static_cast<uint32_t>(-v);
    int len = 0;
    while ((code + 1) >> (len + 1)) len++;
    return 2 * len + 1;
}

namespace {

// Residual of one 8x8 block (source minus prediction) quantised to pairs.
void residual_pairs(const Frame &src, const Frame &pred, int p, int x0, int y0, int qp, int scan,
                    BlockPairs *out) {
    int32_t res[64], levels[64];
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++)
            res[j * 8 + i] = src.sample(p, x0 + i, y0 + j) - pred.sample(p, x0 + i, y0 + j);
    forward_quant_8x8(res, qp, 60, levels);
    levels_to_pairs(levels, false, out, scan);
}

}  // namespace

void real_inter_residual(const Frame &src, const Frame &pred, int x, int y, int qp, int scan,
                         InterDecision &d) {
    d.cbp = 0;
    for (int k = 0; k < 4; k++) {
        residual_pairs(src, pred, 0, 16 * x + (k % 2) * 8, 16 * y + (k / 2) * 8, qp, scan, &d.luma_blocks[k]);
        if (d.luma_blocks[k].count) d.cbp |= 1 << k;
    }
    for (int i = 0; i < 2 * pred.chroma_format_idc; i++) {
        BlockPairs &b = d.chroma_blocks[i];
        residual_pairs(src, pred, 1 + i % 2, 8 * x, y * pred.chroma_mb_height() + (i / 2) * 8, QP2_table[qp],
                       scan, &b);
        if (b.count) d.cbp |= 1 << cbp_chroma_bit(i);
    }
}

void finish_inter_mb(Encoder &enc, const Frame &unf, int addr, const MbNeighbours &nb, int qp, int type,
                     int cbp, const LoopFilterSettings &lf, const SvacMvEntry *cache,
                     const SvacMvEntry *cache1) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    for (int k = 0; k < 4; k++) {
        enc.mvs[static_cast<size_t>(4 * addr + k)] = cache[kMvOwnBlocks[k]];
        if (cache1) enc.mvs1[static_cast<size_t>(4 * addr + k)] = cache1[kMvOwnBlocks[k]];
    }
    ModeEdge edge;
    for (int &v : edge.as_left4) v = 2;
    for (int &v : edge.as_left8) v = 2;
    for (int &v : edge.as_top4) v = 2;
    for (int &v : edge.as_top8) v = 2;
    enc.mb_edges[addr] = edge;
    const MbFilterInfo info{qp, cbp, type};
    enc.mb_info[addr] = info;
    copy_macroblock(unf, enc.recon, x, y);
    deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
               nb.top ? enc.mb_info[addr - w] : info, lf, cache, cache1);
}

}  // namespace svacenc
