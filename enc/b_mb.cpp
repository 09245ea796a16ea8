#include "b_mb.h"

#include <algorithm>
#include <cstdlib>

#include "inter_common.h"
#include "p_mb.h"

namespace svacenc {

namespace {

constexpr int kScan[4] = {5, 6, 9, 10};

void load_b_cache(SvacMvEntry cache[24], const Encoder &enc, int addr, const MbNeighbours &nb) {
    load_mv_cache(cache, enc.mvs, addr, enc.mb_width, nb);
    load_mv_cache(cache + 12, enc.mvs1, addr, enc.mb_width, nb);
}

Colocated colocated(const Encoder &enc, int addr) {
    return {enc.col_types[static_cast<size_t>(addr)], &enc.col_mvs[static_cast<size_t>(4 * addr)]};
}

// The prediction of a B macroblock: whole for the 16x16 types, else per 8x8
// block; list 0 from the forward reference, list 1 from the backward one,
// averaged where a block has both.
template <class Pixel>
void predict_b_mb(Encoder &enc, int x, int y, int type, const SvacMvEntry cache[24]) {
    const bool whole = kBTypeFlags[type] == 0;
    for (int k = 0; k < (whole ? 1 : 4); k++) {
        const SvacMvEntry &e0 = cache[kScan[k]], &e1 = cache[kScan[k] + 12];
        const int bx = 16 * x + (k % 2) * 8, by = 16 * y + (k / 2) * 8, n = whole ? 16 : 8;
        if (e0.ref_idx >= 0)
            predict_block<Pixel>(enc.refs[e0.ref_idx], enc.unfiltered, bx, by, n, e0.mv_x, e0.mv_y,
                                 enc.mc_scratch);
        if (e1.ref_idx >= 0)
            predict_block<Pixel>(enc.refs[0], enc.unfiltered, bx, by, n, e1.mv_x, e1.mv_y, enc.mc_scratch,
                                 e0.ref_idx >= 0);
    }
}

void count_b(PathStats &st, const BDecision &d, const SvacMvEntry cache[24], const Colocated &col, int x,
             int y, int width, int height) {
    st.b_types[d.type - BDIRECT]++;
    if (d.type == BDIRECT || d.type == BSKIP) st.b_direct_col[col.type != 0]++;
    for (int k = 0; d.type == B8X8 && k < 4; k++) {
        st.b_sub_types[d.sub[k]]++;
        if (d.sub[k] == SUB_DIRECT) st.b_direct_col[col.type != 0]++;
    }
    const uint8_t f = kBTypeFlags[d.type];
    const bool sym =
        d.type == BSYM || (f & 0x30) || (d.type == B8X8 && std::count(d.sub, d.sub + 4, SUB_SYM));
    for (int k = 0; k < 4; k++) {
        const SvacMvEntry &e0 = cache[kScan[k]], &e1 = cache[kScan[k] + 12];
        st.b_bi_blocks += e0.ref_idx >= 0 && e1.ref_idx >= 0;
        st.b_sym_far += sym && (std::abs(int(e1.mv_x)) >= 128 || std::abs(int(e1.mv_y)) >= 128);
        if (e0.ref_idx >= 0) count_vector(st, e0.mv_x, e0.mv_y, x, y, width, height);
        if (e1.ref_idx >= 0) count_vector(st, e1.mv_x, e1.mv_y, x, y, width, height);
    }
}

}  // namespace

void write_b_mb(BitWriter &bw, int chroma_format_idc, bool qp_changes, const BDecision &d) {
    bw.put_ue(static_cast<uint32_t>(d.type - BDIRECT));
    if (d.type == B8X8)
        for (int k = 0; k < 4; k++) bw.put(static_cast<uint32_t>(d.sub[k]), 2);
    for (int i = 0; i < d.syn.refs; i++) bw.put(static_cast<uint32_t>(d.ref_val[i]), 1);
    for (int i = 0; i < d.syn.mvds; i++) {
        bw.put_se(d.syn.mvd[i][0]);
        bw.put_se(d.syn.mvd[i][1]);
    }
    write_inter_residual(bw, chroma_format_idc, qp_changes, d.res);
}

template <class Pixel>
void encode_b_mb(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb, const BPicture &bp,
                 bool qp_changes, int skip_pct, int &qp, int &run, BitWriter &bw,
                 const LoopFilterSettings &lf, bool outside) {
    Rng &rng = enc.rng;
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int cf = enc.sps.chroma_format_idc;
    const bool cabac = enc.pps.cabac;
    SvacMvEntry cache[24];
    load_b_cache(cache, enc, addr, nb);
    BDecision d;
    d.type = outside || (rng.percent(skip_pct) && run < kLongCode - 1) ? BSKIP : rng.range(BDIRECT, B8X8);
    if (d.type == B8X8)
        for (int &s : d.sub) s = rng.range(SUB_DIRECT, SUB_SYM);
    const Colocated col = colocated(enc, addr);
    derive_b_motion(
        cache, enc.dir_code, bp, col, d.type, d.sub, bp.pic.field && !bp.pic.single_ref,
        [&](int, int b, int px, int py, int &mx, int &my) {
            mx = random_vector(rng, px, 16 * x + (b == 6 || b == 10 ? 8 : 0), w * 16);
            my = random_vector(rng, py, 16 * y + (b >= 9 ? 8 : 0), enc.mb_height * 16);
        },
        d.syn);
    for (int i = 0; i < d.syn.refs; i++) d.ref_val[i] = rng.range(0, 1);
    int mb_qp = qp;
    const CabacMbContext cc = cabac_mb_context(enc, sh, addr, nb, qp_changes);
    if (d.type != BSKIP) {
        mb_qp = random_inter_residual(rng, d.res, cf, cabac, qp_changes, qp);
        if (cabac) {
            write_skip_cabac(enc.cabac, enc.cabac_nb, cc, 0);
            write_b_mb_cabac(enc.cabac, enc.cabac_nb, cc, d);
        } else {
            bw.put_ue(static_cast<uint32_t>(run));
            write_b_mb(bw, cf, qp_changes, d);
        }
        run = 0;
    } else if (outside) {
        enc.stats.roi_outside_skips[1]++;
        if (cabac) write_skip_cabac(enc.cabac, enc.cabac_nb, cc, rng.percent(60) ? 1 : rng.range(0, 2), true);
    } else {
        run++;
        enc.stats.longest_skip_run = std::max<int64_t>(enc.stats.longest_skip_run, run);
        if (cabac) write_skip_cabac(enc.cabac, enc.cabac_nb, cc, rng.percent(85) ? 1 : rng.range(2, 40));
    }
    count_b(enc.stats, d, cache, col, x, y, w * 16, enc.mb_height * 16);
    predict_b_mb<Pixel>(enc, x, y, d.type, cache);
    add_inter_residual(enc.unfiltered, x, y, d.res, mb_qp, sh.field_pic ? 1 : 0);
    finish_inter_mb(enc, enc.unfiltered, addr, nb, mb_qp, d.type, d.res.cbp, lf, cache, cache + 12);
    qp = mb_qp;
}

// Real mode: forward and backward vectors by search, the symmetric pair
// from the forward one, direct from the co-located block; each costed by
// luma SAD plus the bits of its vectors. Skip when direct prediction is
// about as good as the best coded choice.
template <class Pixel>
bool encode_real_b_mb(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                      const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top, const BPicture &bp,
                      int &qp, int &run, BitWriter &bw, const LoopFilterSettings &lf) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int x0 = 16 * x, y0 = 16 * y;
    const int cf = enc.sps.chroma_format_idc;
    const int lambda = (4 + qp / 4) << (enc.opt.bit_depth - 8);
    const bool qp_changes = !(enc.pps.fixed_qp || sh.fixed_qp);
    const bool ref_syntax = bp.pic.field && !bp.pic.single_ref;
    const Colocated col = colocated(enc, addr);
    Frame &unf = enc.unfiltered;
    SvacMvEntry base[24];
    load_b_cache(base, enc, addr, nb);
    const int no_sub[4] = {};

    // Runs the derivation of `type` on a copy of the neighbours with the
    // vectors v[list]; returns the predicted vector of each list.
    int v[2][2] = {}, pred[2][2] = {};
    SvacMvEntry cache[24];
    BMotionSyntax syn;
    // Trials run on a copy of the direction codes; the final choice on the
    // encoder's own (an intra macroblock writes none, so they are kept).
    int codes[6];
    auto derive = [&](int type, bool final) {
        std::copy(enc.dir_code, enc.dir_code + 6, codes);
        std::copy(base, base + 24, cache);
        int *dir_code = final ? enc.dir_code : codes;
        derive_b_motion(
            cache, dir_code, bp, col, type, no_sub, ref_syntax,
            [&](int list, int, int px, int py, int &mx, int &my) {
                pred[list][0] = px;
                pred[list][1] = py;
                mx = v[list][0];
                my = v[list][1];
            },
            syn);
    };
    auto mv_bits = [&](int list) {
        return se_bits(v[list][0] - pred[list][0]) + se_bits(v[list][1] - pred[list][1]);
    };
    derive(BDIRECT, false);
    predict_b_mb<Pixel>(enc, x, y, BDIRECT, cache);
    const int direct_sad = luma_sad(source, unf, x0, y0);
    int best_type = BDIRECT, best_cost = direct_sad + lambda;
    int chosen[2][2] = {};
    for (int list = 0; list < 2; list++) {
        derive(list ? BBWD : BFWD, false);  // the prediction of the list
        const int cost = search_vector<Pixel>(enc, source, enc.refs[list ? 0 : 1], x, y, pred[list][0],
                                              pred[list][1], lambda, chosen[list][0], chosen[list][1]) +
                         2 * lambda;
        if (cost < best_cost) best_cost = cost, best_type = list ? BBWD : BFWD;
    }
    v[0][0] = chosen[0][0];
    v[0][1] = chosen[0][1];
    derive(BSYM, false);
    predict_b_mb<Pixel>(enc, x, y, BSYM, cache);
    const int sym_cost = luma_sad(source, unf, x0, y0) + lambda * (mv_bits(0) + 2);
    if (sym_cost < best_cost) best_cost = sym_cost, best_type = BSYM;
    const bool skip = direct_sad <= best_cost + lambda * 2 && run < kLongCode - 1;

    BDecision d;
    d.type = skip ? BSKIP : best_type;
    v[0][0] = chosen[0][0];
    v[0][1] = chosen[0][1];
    v[1][0] = chosen[1][0];
    v[1][1] = chosen[1][1];
    derive(d.type, true);
    d.syn = syn;
    predict_b_mb<Pixel>(enc, x, y, d.type, cache);
    RealChoice choice = RealChoice::Skip;
    if (!skip) {
        // A skip costs about one bin and no residual: it may still win once
        // the residual bits of the coded choice are known.
        choice = code_real_inter<Pixel>(
            enc, source, sh, addr, nb, left, top, qp, run, bw, d.res,
            [&](CabacWriter &cw, CabacNeighbourState &ns, const CabacMbContext &cc) {
                write_b_mb_cabac(cw, ns, cc, d);
            },
            [&](BitWriter &vw) { write_b_mb(vw, cf, qp_changes, d); }, direct_sad + lambda);
        // Neither an intra macroblock nor a second derivation may see the
        // direction codes of the coded choice.
        if (choice != RealChoice::Inter) std::copy(codes, codes + 6, enc.dir_code);
        if (choice == RealChoice::Intra) return false;
        if (choice == RealChoice::Skip && run < kLongCode - 1) {
            d = BDecision{};
            derive(BSKIP, true);
            predict_b_mb<Pixel>(enc, x, y, BSKIP, cache);
        }
    }
    if (choice == RealChoice::Skip) {
        if (enc.pps.cabac)
            write_skip_cabac(enc.cabac, enc.cabac_nb, cabac_mb_context(enc, sh, addr, nb, qp_changes), 1);
        else
            run++;
    }
    count_b(enc.stats, d, cache, col, x, y, w * 16, enc.mb_height * 16);
    finish_inter_mb(enc, unf, addr, nb, qp, d.type, d.res.cbp, lf, cache, cache + 12);
    return true;
}

#define SVACENC_INSTANTIATE(P)                                                                      \
    template void encode_b_mb<P>(Encoder &, const SliceHeader &, int, const MbNeighbours &,         \
                                 const BPicture &, bool, int, int &, int &, BitWriter &,            \
                                 const LoopFilterSettings &, bool);                                 \
    template bool encode_real_b_mb<P>(                                                              \
        Encoder &, const Frame &, const SliceHeader &, int, const MbNeighbours &, const ModeEdge *, \
        const ModeEdge *, const BPicture &, int &, int &, BitWriter &, const LoopFilterSettings &);
SVACENC_INSTANTIATE(uint8_t)
SVACENC_INSTANTIATE(uint16_t)
#undef SVACENC_INSTANTIATE

}  // namespace svacenc
