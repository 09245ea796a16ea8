#include "p_mb.h"

#include <algorithm>

#include "dsp/qp_tables.h"
#include "forward.h"
#include "inter_common.h"
#include "mb_writer.h"
#include "random_mb.h"
#include "real_mb.h"

namespace svacenc {

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
    enc.stats.p_types[d.type - P16X16]++;
    for (int i = 0; i < n; i++) {
        enc.stats.ref1_partitions += d.ref[i] == 1;
        count_vector(enc.stats, d.mv[i][0], d.mv[i][1], x, y, w * 16, enc.mb_height * 16);
    }
    int mb_qp = qp;
    const bool cabac = enc.pps.cabac;
    const CabacMbContext cc = cabac_mb_context(enc, sh, addr, nb, qp_changes);
    if (d.type != PSKIP) {
        mb_qp = random_inter_residual(rng, d, cf, cabac, qp_changes, qp);
        if (cabac) {
            write_skip_cabac(enc.cabac, enc.cabac_nb, cc, 0);
            write_inter_mb_cabac(enc.cabac, enc.cabac_nb, cc, pic, d, mvd, cache);
        } else {
            bw.put_ue(static_cast<uint32_t>(run));
            write_inter_mb(bw, pic, cf, qp_changes, d, mvd);
        }
        run = 0;
    } else if (outside) {
        enc.stats.roi_outside_skips[0]++;
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
    finish_inter_mb(enc, enc.unfiltered, addr, nb, mb_qp, d.type, d.cbp, lf, cache);
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
            const int bc =
                search_vector<Pixel>(enc, source, *refs[r], x, y, px, py, lambda, t.mv[0][0], t.mv[0][1]);
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
        const RealChoice choice = code_real_inter<Pixel>(
            enc, source, sh, addr, nb, left, top, qp, run, bw, d,
            [&](CabacWriter &cw, CabacNeighbourState &ns, const CabacMbContext &cc) {
                write_inter_mb_cabac(cw, ns, cc, pic, d, mvd, cache);
            },
            [&](BitWriter &vw) { write_inter_mb(vw, pic, cf, qp_changes, d, mvd); });
        if (choice == RealChoice::Intra) return false;
    } else if (enc.pps.cabac) {
        write_skip_cabac(enc.cabac, enc.cabac_nb, cabac_mb_context(enc, sh, addr, nb, qp_changes), 1);
    } else {
        run++;
    }
    finish_inter_mb(enc, unf, addr, nb, qp, d.type, d.cbp, lf, cache);
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
    c.b_slice = sh.slice_type % 3 == SLICE_B;
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
