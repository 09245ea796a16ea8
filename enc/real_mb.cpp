#include "real_mb.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dsp/qp_tables.h"
#include "forward.h"
#include "inter_layer.h"
#include "mb_recon.h"
#include "mb_writer.h"
#include "residual_writer.h"

namespace svacenc {

namespace {

// Sum of absolute 4x4 Hadamard-transformed differences, halved.
int satd4(const int32_t *d, int stride) {
    int t[16];
    for (int y = 0; y < 4; y++) {
        const int32_t *r = d + y * stride;
        const int a = r[0] + r[1], b = r[0] - r[1], c = r[2] + r[3], e = r[2] - r[3];
        t[y * 4 + 0] = a + c;
        t[y * 4 + 1] = b + e;
        t[y * 4 + 2] = a - c;
        t[y * 4 + 3] = b - e;
    }
    int sum = 0;
    for (int x = 0; x < 4; x++) {
        const int a = t[x] + t[4 + x], b = t[x] - t[4 + x];
        const int c = t[8 + x] + t[12 + x], e = t[8 + x] - t[12 + x];
        sum += std::abs(a + c) + std::abs(b + e) + std::abs(a - c) + std::abs(b - e);
    }
    return sum / 2;
}

int satd(const int32_t *d, int n) {
    int s = 0;
    for (int y = 0; y < n; y += 4)
        for (int x = 0; x < n; x += 4) s += satd4(d + y * n + x, n);
    return s;
}

template <class Pixel>
const Pixel *row_of(const Frame &f, int p, int x, int y) {
    return reinterpret_cast<const Pixel *>(f.at(p, x, y));
}

// src - pred for an n x n block at plane position (x, y); pred has stride n.
template <class Pixel>
void difference(const Frame &src, int p, int x, int y, const Pixel *pred, int n, int32_t *out) {
    for (int j = 0; j < n; j++) {
        const Pixel *s = row_of<Pixel>(src, p, x, y + j);
        for (int i = 0; i < n; i++) out[j * n + i] = int32_t(s[i]) - int32_t(pred[j * n + i]);
    }
}

template <class Pixel>
int64_t ssd(const Frame &a, const Frame &b, int p, int x, int y, int w, int h) {
    int64_t s = 0;
    for (int j = 0; j < h; j++) {
        const Pixel *ra = row_of<Pixel>(a, p, x, y + j), *rb = row_of<Pixel>(b, p, x, y + j);
        for (int i = 0; i < w; i++) {
            const int64_t d = int64_t(ra[i]) - int64_t(rb[i]);
            s += d * d;
        }
    }
    return s;
}

struct Lambdas {
    double ssd;  // per bit, for distortion as squared error
    double sad;  // per bit, for distortion as SATD
};

// The quantiser step doubles every 7 QP; the lambdas follow the usual
// squared-step rule, scaled to the sample bit depth.
Lambdas lambdas(int qp, int bit_depth) {
    const double step =
        16.0 * std::ldexp(1.0, qp / 7) * (1.0 + (qp % 7) / 8.0) / 16.0 * std::ldexp(1.0, bit_depth - 8);
    const double l = 0.134 * step * step;
    return {l, std::sqrt(l)};
}

int block_bits(const BlockPairs &b, bool is4x4, bool chroma) {
    BitWriter bw;
    const std::span<const SvacRunLevel> p(b.pairs, static_cast<size_t>(b.count));
    if (is4x4)
        write_block_4x4(bw, p);
    else
        write_block_8x8(bw, chroma ? VlcFamily::Chroma : VlcFamily::Intra, chroma ? 0 : 1, p);
    return static_cast<int>(bw.bit_count());
}

// Luma of the macroblock with one transform size: modes, levels and the
// cost (squared error plus lambda times bits). Reconstructs into unf.
template <class Pixel>
double try_luma(const Frame &src, Frame &unf, const RealMbContext &ctx, bool is8x8, const Lambdas &lam,
                MbDecision *d) {
    const MbNeighbours &nb = ctx.nb;
    const int n = is8x8 ? 8 : 4;
    const int blocks = is8x8 ? 4 : 16;
    const int w = is8x8 ? 2 : 4;
    d->luma.is8x8 = is8x8;
    int bits = 0;
    for (int i = 0; i < blocks; i++) {
        const int pos = is8x8 ? i : blk4_raster(i);
        const int bx = (pos % w) * n, by = (pos / w) * n;
        const int px = ctx.mb_x * 16 + bx, py = ctx.mb_y * 16 + by;
        const ModePair np = is8x8 ? neighbour_modes_8x8(pos, d->luma.modes, ctx.left, ctx.top)
                                  : neighbour_modes_4x4(pos, d->luma.modes, ctx.left, ctx.top);
        const int predicted = predicted_mode(np.left, np.top);
        const bool no_left = !nb.left && pos % w == 0, no_top = !nb.top && pos < w;
        Pixel pred[64], best_pred[64];
        int32_t diff[64];
        double best = 1e300;
        int best_mode = -1;
        for (int m = 0; m < 5; m++) {
            const int eff = luma_mode_at_edge(m, no_left, no_top);
            if (eff < 0) continue;
            uint8_t *dst = reinterpret_cast<uint8_t *>(pred);
            if (is8x8)
                predict_luma_8x8<Pixel>(unf, ctx.mb_x, ctx.mb_y, nb, pos, eff, dst, n * sizeof(Pixel));
            else
                predict_luma_4x4<Pixel>(unf, ctx.mb_x, ctx.mb_y, nb, i, eff, dst, n * sizeof(Pixel));
            difference<Pixel>(src, 0, px, py, pred, n, diff);
            const double cost = satd(diff, n) + lam.sad * (m == predicted ? 1 : 3);
            if (cost < best) {
                best = cost;
                best_mode = m;
                std::memcpy(best_pred, pred, sizeof(Pixel) * n * n);
            }
        }
        d->luma.modes[pos] = best_mode;
        bits += best_mode == predicted ? 1 : 3;
        difference<Pixel>(src, 0, px, py, best_pred, n, diff);
        int32_t levels[64];
        const int nz =
            is8x8 ? forward_quant_8x8(diff, ctx.qp, 80, levels) : forward_quant_4x4(diff, ctx.qp, 80, levels);
        const int blk = is8x8 ? pos : i;
        BlockPairs &bp = d->luma_blocks[blk];
        bp.count = 0;
        if (nz) levels_to_pairs(levels, !is8x8, &bp, ctx.scan);
        uint8_t *dst = unf.at(0, px, py);
        const int stride = unf.planes[0].stride;
        for (int j = 0; j < n; j++) std::memcpy(dst + j * stride, best_pred + j * n, sizeof(Pixel) * n);
        if (bp.count) {
            add_residual(dst, stride, unf.bit_depth, bp, ctx.qp, !is8x8, ctx.scan);
            bits += block_bits(bp, !is8x8, false);
        }
    }
    d->cbp &= ~15;
    for (int q = 0; q < 4; q++) {
        if (is8x8) {
            if (d->luma_blocks[q].count) d->cbp |= 1 << q;
        } else {
            d->cbp4[q] = 0;
            for (int s = 0; s < 4; s++)
                if (d->luma_blocks[q * 4 + s].count) d->cbp4[q] |= static_cast<uint8_t>(1 << s);
            if (d->cbp4[q]) d->cbp |= 1 << q;
            bits += 3;  // sub-pattern code, roughly
        }
    }
    const double dist = double(ssd<Pixel>(src, unf, 0, ctx.mb_x * 16, ctx.mb_y * 16, 16, 16));
    return dist + lam.ssd * bits;
}

template <class Pixel>
void decide_chroma(const Frame &src, Frame &unf, const RealMbContext &ctx, const Lambdas &lam,
                   MbDecision *d) {
    const MbNeighbours &nb = ctx.nb;
    const int cqp = QP2_table[ctx.qp];
    const int ch = unf.chroma_mb_height();
    for (int row = 0; row < unf.chroma_format_idc; row++) {
        const bool no_top = !nb.top && row == 0;
        const int cx = ctx.mb_x * 8, cy = ctx.mb_y * ch + row * 8;
        double best = 1e300;
        int best_mode = 0;
        Pixel pred[2][64], best_pred[2][64];
        int32_t diff[64];
        for (int m = 0; m < ctx.chroma_modes; m++) {
            const int eff = chroma_mode_at_edge(m, !nb.left, no_top);
            if (eff < 0) continue;
            double cost = lam.sad * (2 * (31 - __builtin_clz(unsigned(m) + 1)) + 1);
            for (int p = 0; p < 2; p++) {
                predict_chroma<Pixel>(unf, 1 + p, ctx.mb_x, ctx.mb_y, nb, row, eff,
                                      reinterpret_cast<uint8_t *>(pred[p]), 8 * sizeof(Pixel));
                difference<Pixel>(src, 1 + p, cx, cy, pred[p], 8, diff);
                cost += satd(diff, 8);
            }
            if (cost < best) {
                best = cost;
                best_mode = m;
                std::memcpy(best_pred, pred, sizeof(pred));
            }
        }
        d->chroma_modes[row] = best_mode;
        for (int p = 0; p < 2; p++) {
            difference<Pixel>(src, 1 + p, cx, cy, best_pred[p], 8, diff);
            int32_t levels[64];
            BlockPairs &bp = d->chroma_blocks[row * 2 + p];
            bp.count = 0;
            if (forward_quant_8x8(diff, cqp, 80, levels)) levels_to_pairs(levels, false, &bp, ctx.scan);
            if (bp.count) d->cbp |= 1 << cbp_chroma_bit(row * 2 + p);
            uint8_t *dst = unf.at(1 + p, cx, cy);
            const int stride = unf.planes[1 + p].stride;
            for (int j = 0; j < 8; j++)
                std::memcpy(dst + j * stride, best_pred[p] + j * 8, sizeof(Pixel) * 8);
            if (bp.count) add_residual(dst, stride, unf.bit_depth, bp, cqp, false, ctx.scan);
        }
    }
}

}  // namespace

template <class Pixel>
void decide_real_mb(const Frame &src, Frame &unf, const RealMbContext &ctx, MbDecision *d) {
    const Lambdas lam = lambdas(ctx.qp, unf.bit_depth);
    MbDecision d8;
    const double cost8 = try_luma<Pixel>(src, unf, ctx, true, lam, &d8);
    *d = MbDecision{};
    const double cost4 = try_luma<Pixel>(src, unf, ctx, false, lam, d);
    // Keep the 4x4 result in *d unless the 8x8 one is cheaper; the final
    // reconstruction redoes whichever is chosen.
    if (cost8 <= cost4) *d = d8;
    if (unf.chroma_format_idc > 0) decide_chroma<Pixel>(src, unf, ctx, lam, d);
    d->qp_delta = 0;
}

namespace {

// Squared error of the macroblock in `unf` plus lambda times its bits.
template <class Pixel>
double mb_cost(const Frame &src, const Frame &unf, const RealMbContext &ctx, const MbDecision &d,
               const Lambdas &lam) {
    MbSyntaxContext sc;
    sc.chroma_format_idc = unf.chroma_format_idc;
    sc.left = ctx.left;
    sc.top = ctx.top;
    sc.enhancement = true;
    BitWriter bw;
    write_intra_mb(bw, sc, d);
    int64_t dist = ssd<Pixel>(src, unf, 0, ctx.mb_x * 16, ctx.mb_y * 16, 16, 16);
    const int ch = unf.chroma_mb_height();
    for (int p = 1; p < unf.plane_count(); p++)
        dist += ssd<Pixel>(src, unf, p, ctx.mb_x * 8, ctx.mb_y * ch, 8, ch);
    return double(dist) + lam.ssd * double(bw.bit_count());
}

// Levels of the 8x8 block at (x, y) of plane p against the prediction in `unf`.
template <class Pixel>
bool quantise_block(const Frame &src, const Frame &unf, int p, int x, int y, int qp, int scan,
                    BlockPairs *bp) {
    Pixel pred[64];
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++) pred[j * 8 + i] = static_cast<Pixel>(unf.sample(p, x + i, y + j));
    int32_t diff[64], levels[64];
    difference<Pixel>(src, p, x, y, pred, 8, diff);
    bp->count = 0;
    if (forward_quant_8x8(diff, qp, 80, levels)) levels_to_pairs(levels, false, bp, scan);
    return bp->count > 0;
}

}  // namespace

template <class Pixel>
void choose_inter_layer(const Frame &src, Frame &unf, const Frame &base, const RealMbContext &ctx,
                        MbDecision *d) {
    const Lambdas lam = lambdas(ctx.qp, unf.bit_depth);
    reconstruct_intra_mb<Pixel>(unf, ctx.mb_x, ctx.mb_y, ctx.nb, *d, ctx.qp, ctx.scan);
    const double intra = mb_cost<Pixel>(src, unf, ctx, *d, lam);
    MbDecision s;
    s.luma.is8x8 = true;
    make_inter_layer(s, ctx.left, ctx.top, 1);
    predict_inter_layer<Pixel>(base, unf, ctx.mb_x, ctx.mb_y);
    for (int b = 0; b < 4; b++)
        if (quantise_block<Pixel>(src, unf, 0, ctx.mb_x * 16 + (b % 2) * 8, ctx.mb_y * 16 + (b / 2) * 8,
                                  ctx.qp, ctx.scan, &s.luma_blocks[b]))
            s.cbp |= 1 << b;
    for (int i = 0; i < 2 * unf.chroma_format_idc; i++)
        if (quantise_block<Pixel>(src, unf, 1 + i % 2, ctx.mb_x * 8,
                                  ctx.mb_y * unf.chroma_mb_height() + (i / 2) * 8, QP2_table[ctx.qp],
                                  ctx.scan, &s.chroma_blocks[i]))
            s.cbp |= 1 << cbp_chroma_bit(i);
    reconstruct_inter_layer_mb<Pixel>(base, unf, ctx.mb_x, ctx.mb_y, s, ctx.qp, ctx.scan);
    if (mb_cost<Pixel>(src, unf, ctx, s, lam) < intra) *d = s;
}

template void choose_inter_layer<uint8_t>(const Frame &, Frame &, const Frame &, const RealMbContext &,
                                          MbDecision *);
template void choose_inter_layer<uint16_t>(const Frame &, Frame &, const Frame &, const RealMbContext &,
                                           MbDecision *);
template void decide_real_mb<uint8_t>(const Frame &, Frame &, const RealMbContext &, MbDecision *);
template void decide_real_mb<uint16_t>(const Frame &, Frame &, const RealMbContext &, MbDecision *);

}  // namespace svacenc
