#include "random_mb.h"

#include <algorithm>

#include "dsp/qp_tables.h"

namespace svacenc {

namespace {

// A mode usable at the block's edges, now and then the predicted one so the
// one-bit syntax is exercised.
int pick_luma_mode(Rng &rng, int predicted, bool no_left, bool no_top) {
    if (rng.percent(30) && luma_mode_at_edge(predicted, no_left, no_top) >= 0) return predicted;
    for (;;) {
        const int m = rng.range(0, 4);
        if (luma_mode_at_edge(m, no_left, no_top) >= 0) return m;
    }
}

int pick_chroma_mode(Rng &rng, bool no_left, bool no_top, int max_mode) {
    for (;;) {
        const int m = rng.range(0, max_mode);
        if (chroma_mode_at_edge(m, no_left, no_top) >= 0) return m;
    }
}

int random_run(Rng &rng, int max_run) {
    const int r = rng.range(0, 99);
    if (r < 60) return rng.range(1, 3);
    if (r < 85) return rng.range(1, std::min(12, max_run));
    return rng.range(1, max_run);
}

int random_magnitude(Rng &rng, int max_level) {
    const int r = rng.range(0, 99);
    int m;
    if (r < 65)
        m = rng.range(1, 3);
    else if (r < 88)
        m = rng.range(1, 30);
    else
        m = rng.range(1, max_level);
    return std::min(m, max_level);
}

}  // namespace

int max_random_level(bool is4x4, int qp) {
    // The largest dequantised value times the transform gains (61 x 61 / 8
    // for 8x8, 15 x 15 for 4x4) must stay below 2^31.
    const int shift = qp / 7;
    const int64_t limit = is4x4 ? 9000000 / (33 << shift) : 4500000 / (66 << shift);
    return static_cast<int>(std::clamp<int64_t>(limit, 1, 3000));
}

void random_block_pairs(Rng &rng, bool is4x4, int qp, BlockPairs *b, bool cabac) {
    const int max_pairs = is4x4 ? kMaxPairs4x4 : kMaxPairs8x8;
    const int max_run = is4x4 ? kMaxRun4x4 : kMaxRun8x8;
    const int max_level = max_random_level(is4x4, qp);
    const int r = rng.range(0, 99);
    int count;
    if (r < 8)
        count = 0;
    else if (r < 13)
        count = max_pairs;
    else if (r < 70)
        count = rng.range(1, 6);
    else
        count = rng.range(1, max_pairs);
    // A full block now and then codes every scan position once.
    if (cabac && count == 0) count = 1;
    const bool dense = count >= 16 && rng.percent(50);
    b->count = count;
    for (int i = 0; i < count; i++) {
        SvacRunLevel &p = b->pairs[i];
        p.run = static_cast<uint16_t>(dense ? 1 : random_run(rng, max_run));
        const int m = random_magnitude(rng, max_level);
        p.level = static_cast<int16_t>(rng.percent(50) ? -m : m);
    }
}

void decide_random_mb(Rng &rng, const RandomMbContext &ctx, MbDecision *d) {
    *d = MbDecision{};
    const MbNeighbours &nb = ctx.nb;
    d->luma.is8x8 = rng.percent(50);
    const int n = d->luma.is8x8 ? 4 : 16;
    for (int i = 0; i < n; i++) {
        const int pos = d->luma.is8x8 ? i : blk4_raster(i);
        const int w = d->luma.is8x8 ? 2 : 4;
        const ModePair np = d->luma.is8x8 ? neighbour_modes_8x8(pos, d->luma.modes, ctx.left, ctx.top)
                                          : neighbour_modes_4x4(pos, d->luma.modes, ctx.left, ctx.top);
        d->luma.modes[pos] = pick_luma_mode(rng, predicted_mode(np.left, np.top), !nb.left && pos % w == 0,
                                            !nb.top && pos < w);
    }
    const int max_chroma = ctx.cabac ? 3 : 6;
    if (ctx.chroma_format_idc > 0) d->chroma_modes[0] = pick_chroma_mode(rng, !nb.left, !nb.top, max_chroma);
    if (ctx.chroma_format_idc == 2) d->chroma_modes[1] = pick_chroma_mode(rng, !nb.left, false, max_chroma);

    const int bits = ctx.chroma_format_idc == 2 ? 8 : 6;
    const int all = (1 << bits) - 1;
    const int r = rng.range(0, 99);
    if (r < 15)
        d->cbp = 0;
    else if (r < 30)
        d->cbp = all;
    else
        d->cbp = rng.range(0, all);
    // 4:0:0 has no chroma blocks; its chroma bits are mostly left clear.
    if (ctx.chroma_format_idc == 0 && rng.percent(80)) d->cbp &= 15;
    // Cr without Cb is a context of its own for the neighbours' chroma bins.
    if (ctx.cabac && ctx.chroma_format_idc < 2 && rng.percent(25)) d->cbp = (d->cbp & 15) | 32;
    if (!d->luma.is8x8)
        for (int i = 0; i < 4; i++)
            if ((d->cbp >> i) & 1) {
                d->cbp4[i] = static_cast<uint8_t>(rng.percent(15) ? 15 : rng.range(0, 15));
                if (ctx.cabac && rng.percent(20)) d->cbp4_chroma[i] = static_cast<uint8_t>(rng.range(1, 3));
            }

    int qp = ctx.qp;
    if (d->cbp != 0 && ctx.qp_changes) {
        const int q = rng.range(0, 99);
        if (q < 40)
            d->qp_delta = 0;
        else if (q < 80)
            d->qp_delta = rng.range(-4, 4);
        else
            d->qp_delta = rng.range(-55, 55);
        if (ctx.cabac && rng.percent(4)) d->qp_delta = rng.percent(50) ? -55 : 55;
        qp = qp_after_delta(qp, d->qp_delta);
    }
    const int blocks = d->luma.is8x8 ? 4 : 16;
    for (int b = 0; b < blocks; b++)
        if (luma_block_coded(*d, b))
            random_block_pairs(rng, !d->luma.is8x8, qp, &d->luma_blocks[b], ctx.cabac);
    const int cqp = QP2_table[qp];
    for (int i = 0; i < 2 * ctx.chroma_format_idc; i++)
        if ((d->cbp >> cbp_chroma_bit(i)) & 1)
            random_block_pairs(rng, false, cqp, &d->chroma_blocks[i], ctx.cabac);
}

}  // namespace svacenc
