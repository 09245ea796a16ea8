#include "b_motion.h"

#include <cstdlib>

#include "recon/mv_pred.h"

namespace svacenc {

namespace {

constexpr int kScan[4] = {5, 6, 9, 10};  // cache entry of 8x8 block k
constexpr int kGrid[4] = {1, 2, 4, 5};   // direction-code slot of 8x8 block k

// |v| * d * s + s - 1 in 32-bit unsigned arithmetic, over 2^14, with v's sign.
int16_t scale_direct(int v, int d, int32_t s) {
    const uint32_t m =
        static_cast<uint32_t>(std::abs(v)) * static_cast<uint32_t>(d) * static_cast<uint32_t>(s) +
        static_cast<uint32_t>(s) - 1u;
    const int r = static_cast<int>(m >> 14);
    return static_cast<int16_t>(v < 0 ? -r : v > 0 ? r : 0);
}

// The backward component of a symmetric pair.
int16_t symmetric_component(int v, int sym_scale) {
    return static_cast<int16_t>(-((int64_t{v} * sym_scale + 256) >> 9));
}

// Direct vectors of one block from its co-located entry: forward ...
SvacMvEntry direct_list0(const SvacMvEntry &col, const BPicture &bp) {
    const int32_t s = bp.col_inv[col.ref_idx & 1];
    const int df = bp.pic.ref_dist[1];
    return {scale_direct(col.mv_x, df, s), scale_direct(col.mv_y, df, s), static_cast<int16_t>(df), 1, 0, 0};
}

// ... and backward.
SvacMvEntry direct_list1(const SvacMvEntry &col, const BPicture &bp) {
    const int32_t s = bp.col_inv[col.ref_idx & 1];
    const int db = bp.pic.ref_dist[0];
    return {static_cast<int16_t>(-scale_direct(col.mv_x, db, s)),
            static_cast<int16_t>(-scale_direct(col.mv_y, db, s)),
            static_cast<int16_t>(db),
            0,
            0,
            0};
}

struct Deriver {
    SvacMvEntry *c;
    int *dc;
    const BPicture &bp;
    const BChoice &choose;
    BMotionSyntax &out;
    int cur_dir = 1;

    // The vector of the partition at `block` (0..23): predicted from its
    // neighbours, plus a chosen difference unless pref says none follows.
    void step(int block, int c_index, int pref, int shape, int ref_idx) {
        const int list = block >= 12 ? 1 : 0;
        SvacMvEntry *lc = c + 12 * list;
        const int b = block - 12 * list;
        SvacMvEntry &e = lc[b];
        e.ref_idx = static_cast<int16_t>(ref_idx);
        e.ref_dist = static_cast<int16_t>(bp.pic.ref_dist[ref_idx]);
        e.mvd_x = e.mvd_y = 0;
        const SvacMvPredicted p = predict_one(lc, b, c_index - 12 * list, pref, ref_idx, bp.pic);
        int mx = p.x, my = p.y;
        if (pref < PREF_NO_MVD) {
            // The left difference drives the context only when both
            // partitions point the same way (symmetric counts as forward).
            const int cur = dc[cur_dir], prev = dc[cur_dir - 1];
            const bool same = ((cur == 0 || cur == 2) && (prev == 0 || prev == 2)) || (cur == 1 && prev == 1);
            choose(list, b, p.x, p.y, mx, my);
            const int n = out.mvds++;
            out.mvd[n][0] = mx - p.x;
            out.mvd[n][1] = my - p.y;
            out.left_abs[n][0] = same ? std::abs(int(lc[b - 1].mvd_x)) : 0;
            out.left_abs[n][1] = same ? std::abs(int(lc[b - 1].mvd_y)) : 0;
            e.mvd_x = static_cast<int16_t>(out.mvd[n][0]);
            e.mvd_y = static_cast<int16_t>(out.mvd[n][1]);
        }
        e.mv_x = static_cast<int16_t>(mx);
        e.mv_y = static_cast<int16_t>(my);
        svac_copy_partition(lc, b, shape);
    }

    // Backward entries (list-1 indices, -1 for none) derived from the
    // forward entry at `from`.
    void symmetric(int from, int t0, int t1 = -1, int t2 = -1, int t3 = -1) {
        const SvacMvEntry &f = c[from];
        const SvacMvEntry e{symmetric_component(f.mv_x, bp.sym_scale),
                            symmetric_component(f.mv_y, bp.sym_scale),
                            static_cast<int16_t>(bp.pic.ref_dist[0]),
                            0,
                            0,
                            0};
        for (int t : {t0, t1, t2, t3})
            if (t >= 0) c[t] = e;
    }

    void direct(const SvacMvEntry &col, int e) {
        const SvacMvEntry l0 = direct_list0(col, bp), l1 = direct_list1(col, bp);
        c[e] = {l0.mv_x, l0.mv_y, l0.ref_dist, l0.ref_idx, c[e].mvd_x, c[e].mvd_y};
        c[e + 12] = {l1.mv_x, l1.mv_y, l1.ref_dist, l1.ref_idx, c[e + 12].mvd_x, c[e + 12].mvd_y};
    }

    // Direction code of grid slots a and b (-1 for none); `index` becomes
    // the slot whose differences are read next.
    void codes(int a, int b, int code, int index) {
        dc[a] = code;
        if (b >= 0) dc[b] = code;
        cur_dir = index;
    }
};

}  // namespace

void derive_b_motion(SvacMvEntry cache[24], int dir_code[6], const BPicture &bp, const Colocated &col,
                     int type, const int sub[4], bool ref_syntax, const BChoice &choose, BMotionSyntax &out) {
    out = BMotionSyntax{};
    Deriver d{cache, dir_code, bp, choose, out};
    auto ref_at = [&](int pos) {
        // Indices are read before any vector, so the cache is as loaded.
        out.ref_pos[out.refs] = pos;
        out.ref_a[out.refs] = cache[pos - 1].ref_idx > 0;
        out.ref_b[out.refs] = cache[pos - 4].ref_idx > 0;
        out.refs++;
    };
    auto spatial = [&](int shape) {
        d.step(5, 3, PREF_NO_MVD + 1, shape, 1);
        d.step(17, 15, PREF_NO_MVD + 1, shape, 0);
    };
    const int f = kBTypeFlags[type];
    if (type == BDIRECT || type == BSKIP) {
        d.codes(1, 2, -1, 1);
        d.codes(4, 5, -1, 1);
        if (col.type != 0)
            for (int k = 0; k < 4; k++) d.direct(col.mv[k], kScan[k]);
        else
            spatial(SHAPE_16X16);
    } else if (type <= BSYM) {
        if (ref_syntax) ref_at(type == BBWD ? 17 : 5);
        d.codes(1, 2, type - BFWD, 1);
        d.codes(4, 5, type - BFWD, 1);
        if (type == BBWD) {
            d.step(17, 15, PREF_NONE, SHAPE_16X16, 0);
        } else {
            d.step(5, 3, PREF_NONE, SHAPE_16X16, 1);
            if (type == BSYM) d.symmetric(5, 17, 18, 21, 22);
        }
    } else if (type < B8X8) {
        const bool h = (f >> 6) == 1;  // 16x8
        if (ref_syntax) {
            const int pos[4] = {5, h ? 9 : 6, 17, h ? 21 : 18};
            for (int bit = 0; bit < 4; bit++)
                if ((f >> bit) & 1) ref_at(pos[bit]);
        }
        // Grid slots of the two partitions and their vector steps.
        const int a0 = 1, b0 = h ? 2 : 4, a1 = h ? 4 : 2, b1 = 5;
        const int shape = h ? SHAPE_16X8 : SHAPE_8X16;
        if (f & 1) d.codes(a0, b0, 0, a0), d.step(5, h ? 3 : 2, h ? PREF_B : PREF_A, shape, 1);
        if (f & 16) d.codes(a0, b0, 2, a0), d.symmetric(5, 17, h ? 18 : 21);
        if (f & 2) d.codes(a1, b1, 0, a1), d.step(h ? 9 : 6, h ? 4 : 3, h ? PREF_A : PREF_C, shape, 1);
        if (f & 32) d.codes(a1, b1, 2, a1), d.symmetric(h ? 9 : 6, h ? 21 : 18, 22);
        if (f & 4) d.codes(a0, b0, 1, a0), d.step(17, h ? 15 : 14, h ? PREF_B : PREF_A, shape, 0);
        if (f & 8) d.codes(a1, b1, 1, a1), d.step(h ? 21 : 18, h ? 16 : 15, h ? PREF_A : PREF_C, shape, 0);
    } else {
        if (ref_syntax) {
            for (int k = 0; k < 4; k++)
                if (sub[k] == SUB_FWD || sub[k] == SUB_SYM) ref_at(kScan[k]);
            for (int k = 0; k < 4; k++)
                if (sub[k] == SUB_BWD) ref_at(kScan[k]);
        }
        static constexpr int kC[4] = {2, 3, 6, 7};
        bool have_spatial = false;
        SvacMvEntry sp0{}, sp1{};
        for (int k = 0; k < 4; k++) {
            const int e = kScan[k], g = kGrid[k];
            if (sub[k] == SUB_DIRECT) {
                d.codes(g, -1, -1, d.cur_dir);
                if (col.type != 0) {
                    d.direct(col.mv[k], e);
                    continue;
                }
                if (!have_spatial) {
                    // Made once, at block 0's entries, from the outer neighbours.
                    const SvacMvEntry keep0 = cache[5], keep1 = cache[17];
                    spatial(SHAPE_8X8);
                    sp0 = cache[5];
                    sp1 = cache[17];
                    cache[5] = keep0;
                    cache[17] = keep1;
                    have_spatial = true;
                }
                cache[e] = sp0;
                cache[e + 12] = sp1;
            } else if (sub[k] != SUB_BWD) {
                d.codes(g, -1, sub[k] == SUB_SYM ? 2 : 0, g);
                d.step(e, kC[k], PREF_NONE, SHAPE_8X8, 1);
                if (sub[k] == SUB_SYM) d.symmetric(e, e + 12);
            }
        }
        for (int k = 0; k < 4; k++)
            if (sub[k] == SUB_BWD) {
                d.codes(kGrid[k], -1, 1, kGrid[k]);
                d.step(kScan[k] + 12, kC[k] + 12, PREF_NONE, SHAPE_8X8, 0);
            }
    }
}

}  // namespace svacenc
