#include "p_mb.h"

#include <algorithm>

#include "dsp/qp_tables.h"
#include "forward.h"
#include "mb_writer.h"
#include "random_mb.h"
#include "real_mb.h"

namespace svacenc {

namespace {

// Bits a macroblock would cost in the current CABAC slice, coded on copies
// of the coder and the neighbour values.
template <class Write>
int64_t cabac_trial_bits(const Encoder &enc, Write write) {
    CabacWriter w = enc.cabac;
    w.out = nullptr;
    w.ctx_bins = nullptr;
    CabacNeighbourState s = enc.cabac_nb;
    write(w, s);
    return cabac_cost(w) - cabac_cost(enc.cabac);
}

// Random target vector of a partition whose block starts at (bx, by)
// luma samples: near the prediction, zero, anywhere nearby, or far outside
// the picture; any quarter phase.
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

// Paths an inter macroblock takes (for the coverage counts).
void count_inter(PathStats &st, const InterDecision &d, int mb_x, int mb_y, int width, int height) {
    st.p_types[d.type - P16X16]++;
    const int n = partition_count(d.type);
    for (int i = 0; i < n; i++) {
        st.ref1_partitions += d.ref[i] == 1;
        st.phases[(d.mv[i][1] & 3) * 4 + (d.mv[i][0] & 3)]++;
        const int x = mb_x * 16 + (d.mv[i][0] >> 2), y = mb_y * 16 + (d.mv[i][1] >> 2);
        const bool inside = x >= 0 && y >= 0 && x + 16 <= width && y + 16 <= height;
        const bool away = x + 16 <= 0 || y + 16 <= 0 || x >= width || y >= height;
        st.outside_partly += !inside && !away;
        st.outside_fully += away;
    }
}

// Sum of absolute differences between the source macroblock and the
// prediction now in `pred` at the same place (luma only).
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

// Appends the bits written into `src` (most significant first).
void append_bits(BitWriter &bw, const BitWriter &src) {
    const std::vector<uint8_t> &b = src.bytes();
    const size_t n = src.bit_count();
    for (size_t i = 0; i < n; i++) bw.put1((b[i / 8] >> (7 - i % 8)) & 1);
}

// Bits of a signed Exp-Golomb number, the rate term of vector costs.
int se_bits(int v) {
    const uint32_t code = v > 0 ? 2u * v - 1 : 2u * static_cast<uint32_t>(-v);
    int len = 0;
    while ((code + 1) >> (len + 1)) len++;
    return 2 * len + 1;
}

// Residual of one n-wide block (source minus prediction) quantised to pairs.
void residual_pairs(const Frame &src, const Frame &pred, int p, int x0, int y0, int qp, int scan,
                    BlockPairs *out) {
    int32_t res[64], levels[64];
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++)
            res[j * 8 + i] = src.sample(p, x0 + i, y0 + j) - pred.sample(p, x0 + i, y0 + j);
    forward_quant_8x8(res, qp, 60, levels);
    levels_to_pairs(levels, false, out, scan);
}

// The bookkeeping of a finished inter macroblock: its vectors, the mode
// edges later intra macroblocks see (DC), its filter values, then the copy
// into the reconstruction and the deblocking there.
void finish_inter_mb(Encoder &enc, const Frame &unf, int addr, const MbNeighbours &nb, int qp,
                     const InterDecision &d, const LoopFilterSettings &lf, const SvacMvEntry *cache) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    static constexpr int kEntries[4] = {5, 6, 9, 10};
    for (int k = 0; k < 4; k++) enc.mvs[static_cast<size_t>(4 * addr + k)] = cache[kEntries[k]];
    ModeEdge edge;
    for (int &v : edge.as_left4) v = 2;
    for (int &v : edge.as_left8) v = 2;
    for (int &v : edge.as_top4) v = 2;
    for (int &v : edge.as_top8) v = 2;
    enc.mb_edges[addr] = edge;
    const MbFilterInfo info{qp, d.cbp, d.type};
    enc.mb_info[addr] = info;
    copy_macroblock(unf, enc.recon, x, y);
    deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
               nb.top ? enc.mb_info[addr - w] : info, lf, cache);
}

}  // namespace

template <class Pixel>
void encode_p_mb(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb,
                 const InterPicture &pic, bool qp_changes, int skip_pct, int &qp, int &run, BitWriter &bw,
                 const LoopFilterSettings &lf, bool outside) {
    Rng &rng = enc.rng;
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int cf = enc.sps.chroma_format_idc;
    SvacMvEntry cache[12];
    load_mv_cache(cache, enc.mvs, addr, w, nb);
    InterDecision d;
    d.type = outside || (rng.percent(skip_pct) && run < kLongCode - 1) ? PSKIP : rng.range(P16X16, P8X8);
    const int n = partition_count(d.type);
    for (int i = 0; i < n; i++)
        d.ref[i] = d.type == PSKIP || pic.single_ref || enc.ref_count < 2 ? 0 : rng.range(0, 1);
    int mvd[4][2];
    predict_partitions(cache, pic, d, mvd, [&](int i, int px, int py) {
        const int bw8 = d.type == P16X16 || d.type == P16X8 ? 16 : 8;
        const int bh8 = d.type == P16X16 || d.type == P8X16 ? 16 : 8;
        const int ox = x * 16 + (d.type == P8X16 || d.type == P8X8 ? (i % 2) * 8 : 0);
        const int oy = y * 16 + (d.type == P16X8 ? i * 8 : d.type == P8X8 ? (i / 2) * 8 : 0);
        d.mv[i][0] = random_vector(rng, px, ox, w * 16 - bw8 + 16);
        d.mv[i][1] = random_vector(rng, py, oy, enc.mb_height * 16 - bh8 + 16);
    });
    count_inter(enc.stats, d, x, y, enc.mb_width * 16, enc.mb_height * 16);
    int mb_qp = qp;
    const bool cabac = enc.pps.cabac;
    const CabacMbContext cc = cabac_mb_context(enc, sh, addr, nb, qp_changes);
    if (d.type != PSKIP) {
        // 4:0:0 chroma bits of CABAC cbp elements count for "cbp != 0" only.
        const int chroma_bits = cf == 0 ? (cabac ? 3 : 0) : cf == 1 ? 3 : 15;
        d.cbp = rng.percent(30) ? 0 : rng.range(0, 15) | (rng.range(0, chroma_bits) << 4);
        if (cabac && cf < 2 && rng.percent(25)) d.cbp = (d.cbp & 15) | 32;
        if (qp_changes && d.cbp != 0) {
            d.qp_delta = rng.percent(60) ? 0 : rng.range(-30, 30);
            if (cabac && rng.percent(4)) d.qp_delta = rng.percent(50) ? -55 : 55;
        }
        mb_qp = d.cbp != 0 && qp_changes ? qp_after_delta(qp, d.qp_delta) : qp;
        for (int k = 0; k < 4; k++)
            if ((d.cbp >> k) & 1) random_block_pairs(rng, false, mb_qp, &d.luma_blocks[k], cabac);
        for (int i = 0; i < 2 * cf; i++)
            if ((d.cbp >> cbp_chroma_bit(i)) & 1)
                random_block_pairs(rng, false, QP2_table[mb_qp], &d.chroma_blocks[i], cabac);
        if (cabac) {
            write_skip_cabac(enc.cabac, enc.cabac_nb, cc, 0);
            write_inter_mb_cabac(enc.cabac, enc.cabac_nb, cc, pic, d, mvd, cache);
        } else {
            bw.put_ue(static_cast<uint32_t>(run));
            write_inter_mb(bw, pic, cf, qp_changes, d, mvd);
        }
        run = 0;
    } else if (outside) {
        enc.stats.roi_outside_skips++;
        if (cabac) write_skip_cabac(enc.cabac, enc.cabac_nb, cc, rng.percent(60) ? 1 : rng.range(0, 2), true);
    } else {
        run++;
        enc.stats.longest_skip_run = std::max<int64_t>(enc.stats.longest_skip_run, run);
        // Any skip value above 0 skips; long ones stretch the unary code.
        if (cabac) write_skip_cabac(enc.cabac, enc.cabac_nb, cc, rng.percent(85) ? 1 : rng.range(2, 40));
    }
    const Frame *refs[2] = {&enc.refs[0], &enc.refs[enc.ref_count > 1 ? 1 : 0]};
    predict_inter_mb<Pixel>(refs, enc.unfiltered, x, y, d.type, cache, enc.mc_scratch);
    add_inter_residual(enc.unfiltered, x, y, d, mb_qp, sh.field_pic ? 1 : 0);
    finish_inter_mb(enc, enc.unfiltered, addr, nb, mb_qp, d, lf, cache);
    qp = mb_qp;
}

// Real mode: P_16X16 from either reference by an integer search around the
// predicted and the zero vector, then half and quarter refinement, costed
// by luma SAD plus vector bits; P_SKIP when its prediction is as good. A
// coded inter macroblock is then weighed against the intra choice by the
// distortion of both reconstructions plus their bits; false means intra
// wins and the caller codes the macroblock as intra.
template <class Pixel>
bool encode_real_p_mb(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                      const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top,
                      const InterPicture &pic, int &qp, int &run, BitWriter &bw,
                      const LoopFilterSettings &lf) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int x0 = 16 * x, y0 = 16 * y;
    const int cf = enc.sps.chroma_format_idc;
    const int lambda = (4 + qp / 4) << (enc.opt.bit_depth - 8);
    const int scan = sh.field_pic ? 1 : 0;
    const bool qp_changes = !(enc.pps.fixed_qp || sh.fixed_qp);
    Frame &unf = enc.unfiltered;
    const Frame *refs[2] = {&enc.refs[0], &enc.refs[enc.ref_count > 1 ? 1 : 0]};
    SvacMvEntry base[12];
    load_mv_cache(base, enc.mvs, addr, w, nb);

    SvacMvEntry cache[12];
    std::copy(base, base + 12, cache);
    InterDecision d;
    int mvd[4][2];
    d.type = PSKIP;
    predict_partitions(cache, pic, d, mvd, [](int, int, int) {});
    predict_block<Pixel>(*refs[0], unf, x0, y0, 16, d.mv[0][0], d.mv[0][1], enc.mc_scratch);
    const int skip_cost = luma_sad(source, unf, x0, y0);

    int best_cost = 1 << 30;
    InterDecision best;
    SvacMvEntry best_cache[12];
    int best_mvd[4][2] = {};
    const int nrefs = pic.single_ref || enc.ref_count < 2 ? 1 : 2;
    for (int r = 0; r < nrefs; r++) {
        SvacMvEntry c[12];
        std::copy(base, base + 12, c);
        InterDecision t;
        t.type = P16X16;
        t.ref[0] = r;
        int cost = 0;
        int tmvd[4][2];
        predict_partitions(c, pic, t, tmvd, [&](int, int px, int py) {
            const int cx[2] = {(px + 2) >> 2, 0}, cy[2] = {(py + 2) >> 2, 0};
            int bx = 0, by = 0, bc = 1 << 30;
            for (int s = 0; s < 2; s++)
                for (int dy = -6; dy <= 6; dy++)
                    for (int dx = -6; dx <= 6; dx++) {
                        const int mx = (cx[s] + dx) * 4, my = (cy[s] + dy) * 4;
                        const int c2 = sad_integer(source, *refs[r], x0, y0, mx >> 2, my >> 2) +
                                       lambda * (se_bits(mx - px) + se_bits(my - py));
                        if (c2 < bc) bc = c2, bx = mx, by = my;
                    }
            for (int step = 2; step >= 1; step--) {
                const int ox = bx, oy = by;
                for (int dy = -step; dy <= step; dy += step)
                    for (int dx = -step; dx <= step; dx += step) {
                        if (!dx && !dy) continue;
                        const int mx = ox + dx, my = oy + dy;
                        predict_block<Pixel>(*refs[r], unf, x0, y0, 16, mx, my, enc.mc_scratch);
                        const int c2 =
                            luma_sad(source, unf, x0, y0) + lambda * (se_bits(mx - px) + se_bits(my - py));
                        if (c2 < bc) bc = c2, bx = mx, by = my;
                    }
            }
            t.mv[0][0] = bx;
            t.mv[0][1] = by;
            cost = bc + lambda * (nrefs > 1 ? 1 : 0);
        });
        if (cost < best_cost) {
            best_cost = cost;
            best = t;
            std::copy(c, c + 12, best_cache);
            std::copy(&tmvd[0][0], &tmvd[0][0] + 8, &best_mvd[0][0]);
        }
    }
    const bool skip = skip_cost <= best_cost + lambda * 2 && run < kLongCode - 1;
    if (!skip) {
        d = best;
        std::copy(best_cache, best_cache + 12, cache);
        std::copy(&best_mvd[0][0], &best_mvd[0][0] + 8, &mvd[0][0]);
    }
    predict_inter_mb<Pixel>(refs, unf, x, y, d.type, cache, enc.mc_scratch);
    if (!skip) {
        for (int k = 0; k < 4; k++) {
            residual_pairs(source, unf, 0, x0 + (k % 2) * 8, y0 + (k / 2) * 8, qp, scan, &d.luma_blocks[k]);
            if (d.luma_blocks[k].count) d.cbp |= 1 << k;
        }
        for (int i = 0; i < 2 * cf; i++) {
            BlockPairs &b = d.chroma_blocks[i];
            residual_pairs(source, unf, 1 + i % 2, 8 * x, y * unf.chroma_mb_height() + (i / 2) * 8,
                           QP2_table[qp], scan, &b);
            if (b.count) d.cbp |= 1 << cbp_chroma_bit(i);
        }
        add_inter_residual(unf, x, y, d, qp, scan);
        const bool cabac = enc.pps.cabac;
        CabacMbContext cc = cabac_mb_context(enc, sh, addr, nb, qp_changes);
        cc.stats = nullptr;
        cc.left = left;
        cc.top = top;
        BitWriter trial;
        int64_t bits;
        if (cabac) {
            bits = cabac_trial_bits(enc, [&](CabacWriter &tw, CabacNeighbourState &ts) {
                write_skip_cabac(tw, ts, cc, 0);
                write_inter_mb_cabac(tw, ts, cc, pic, d, mvd, cache);
            });
        } else {
            write_inter_mb(trial, pic, cf, qp_changes, d, mvd);
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
        sc.mb_type_offset = 4;
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
        if (intra_cost < inter_cost) return false;
        copy_macroblock(enc.trial, unf, x, y);
        if (cabac) {
            cc.stats = &enc.stats;
            write_skip_cabac(enc.cabac, enc.cabac_nb, cc, 0);
            write_inter_mb_cabac(enc.cabac, enc.cabac_nb, cc, pic, d, mvd, cache);
        } else {
            bw.put_ue(static_cast<uint32_t>(run));
            run = 0;
            append_bits(bw, trial);
        }
    } else if (enc.pps.cabac) {
        write_skip_cabac(enc.cabac, enc.cabac_nb, cabac_mb_context(enc, sh, addr, nb, qp_changes), 1);
    } else {
        run++;
    }
    finish_inter_mb(enc, unf, addr, nb, qp, d, lf, cache);
    return true;
}

CabacMbContext cabac_mb_context(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb,
                                bool qp_changes) {
    CabacMbContext c;
    c.nb = nb;
    c.mb_x = addr % enc.mb_width;
    c.chroma_format_idc = enc.sps.chroma_format_idc;
    c.qp_changes = qp_changes;
    c.field = sh.field_pic;
    c.p_slice = sh.slice_type % 3 == SLICE_P;
    c.stats = &enc.stats;
    return c;
}

template void encode_p_mb<uint8_t>(Encoder &, const SliceHeader &, int, const MbNeighbours &,
                                   const InterPicture &, bool, int, int &, int &, BitWriter &,
                                   const LoopFilterSettings &, bool);
template void encode_p_mb<uint16_t>(Encoder &, const SliceHeader &, int, const MbNeighbours &,
                                    const InterPicture &, bool, int, int &, int &, BitWriter &,
                                    const LoopFilterSettings &, bool);
template bool encode_real_p_mb<uint8_t>(Encoder &, const Frame &, const SliceHeader &, int,
                                        const MbNeighbours &, const ModeEdge *, const ModeEdge *,
                                        const InterPicture &, int &, int &, BitWriter &,
                                        const LoopFilterSettings &);
template bool encode_real_p_mb<uint16_t>(Encoder &, const Frame &, const SliceHeader &, int,
                                         const MbNeighbours &, const ModeEdge *, const ModeEdge *,
                                         const InterPicture &, int &, int &, BitWriter &,
                                         const LoopFilterSettings &);

}  // namespace svacenc
