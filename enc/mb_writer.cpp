#include "mb_writer.h"

namespace svacenc {

namespace {

int luma_cbp_code(int cbp, int chroma_format_idc) {
    return chroma_format_idc == 2 ? intra_cbp4_code(cbp & 15) : intra_cbp_code(cbp & 63);
}

void write_luma_modes(BitWriter &bw, const MbSyntaxContext &ctx, const MbIntraModes &m) {
    const int n = m.is8x8 ? 4 : 16;
    int cur[16];
    for (int i = 0; i < n; i++) {
        const int pos = m.is8x8 ? i : blk4_raster(i);
        const ModePair nb = m.is8x8 ? neighbour_modes_8x8(pos, cur, ctx.left, ctx.top)
                                    : neighbour_modes_4x4(pos, cur, ctx.left, ctx.top);
        const ModeSyntax s = mode_syntax(m.modes[pos], predicted_mode(nb.left, nb.top));
        bw.put1(s.use_predicted);
        if (!s.use_predicted) bw.put(static_cast<uint32_t>(s.rem), 2);
        cur[pos] = m.modes[pos];
    }
}

void count_block(PathStats *stats, const BlockPairs &p, bool is4x4, int escapes) {
    if (!stats) return;
    int sum = 0;
    for (int i = 0; i < p.count; i++) sum += p.pairs[i].run;
    stats->empty_blocks += p.count == 0;
    stats->full_blocks += p.count == (is4x4 ? kMaxPairs4x4 : kMaxPairs8x8);
    stats->wrapped_blocks += sum > (is4x4 ? 16 : 64);
    stats->escapes += escapes;
}

}  // namespace

int intra_mb_type(const MbDecision &d, int chroma_format_idc) {
    return d.luma.is8x8 ? 1 + luma_cbp_code(d.cbp, chroma_format_idc) : 0;
}

void write_intra_mb(BitWriter &bw, const MbSyntaxContext &ctx, const MbDecision &d, PathStats *stats) {
    const int cf = ctx.chroma_format_idc;
    bw.put_ue(static_cast<uint32_t>(ctx.mb_type_offset + intra_mb_type(d, cf)));
    if (ctx.enhancement) bw.put1(d.svc != 0);
    if (!d.svc) {
        write_luma_modes(bw, ctx, d.luma);
        if (cf > 0) bw.put_ue(static_cast<uint32_t>(d.chroma_modes[0]));
        if (cf == 2) bw.put_ue(static_cast<uint32_t>(d.chroma_modes[1]));
    }
    if (!d.luma.is8x8) bw.put_ue(static_cast<uint32_t>(luma_cbp_code(d.cbp, cf)));
    if (cf == 2) bw.put_ue(static_cast<uint32_t>(intra_cbp4_code((d.cbp >> 4) & 15)));
    if (!d.luma.is8x8)
        for (int i = 0; i < 4; i++)
            if ((d.cbp >> i) & 1) bw.put_ue(static_cast<uint32_t>(intra_cbp4_code(d.cbp4[i])));
    if (d.cbp != 0 && ctx.qp_changes) bw.put_se(d.qp_delta);

    const int luma_blocks = d.luma.is8x8 ? 4 : 16;
    for (int b = 0; b < luma_blocks; b++) {
        if (!luma_block_coded(d, b)) continue;
        const BlockPairs &p = d.luma_blocks[b];
        const std::span<const SvacRunLevel> pairs(p.pairs, static_cast<size_t>(p.count));
        const int escapes =
            d.luma.is8x8 ? write_block_8x8(bw, VlcFamily::Intra, 1, pairs) : write_block_4x4(bw, pairs);
        count_block(stats, p, !d.luma.is8x8, escapes);
    }
    const int chroma_blocks = cf == 0 ? 0 : 2 * cf;
    for (int i = 0; i < chroma_blocks; i++) {
        if (!((d.cbp >> cbp_chroma_bit(i)) & 1)) continue;
        const BlockPairs &p = d.chroma_blocks[i];
        const int escapes = write_block_8x8(
            bw, VlcFamily::Chroma, 0, std::span<const SvacRunLevel>(p.pairs, static_cast<size_t>(p.count)));
        count_block(stats, p, false, escapes);
    }
}

}  // namespace svacenc
