#include "recon/svc_recon.h"

#include "dsp/predict.h"
#include "mem/frame_pool.h"
#include "recon/macroblock.h"
#include "recon/residual_add.h"

namespace {

enum Edge : unsigned { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

// The upsampler reads one sample before and two after the w x h block at
// (x, y). Where that window crosses an edge of the pw x ph plane, the edge
// samples are copied outwards into the frame margin, left, right, top, then
// bottom, so the corners take values already extended.
template <typename P>
void extend_window(uint8_t *plane, int stride, int x, int y, int w, int h, int pw, int ph, unsigned edges) {
    auto px = [&](int c, int r) -> P & { return reinterpret_cast<P *>(plane + r * stride)[c]; };
    if (edges & kLeft)
        for (int r = y - 1; r <= y + h + 1; r++) px(-1, r) = px(0, r);
    if (edges & kRight)
        for (int r = y - 1; r <= y + h + 1; r++) px(pw, r) = px(pw + 1, r) = px(pw - 1, r);
    if (edges & kTop)
        for (int c = x - 1; c <= x + w + 1; c++) px(c, -1) = px(c, 0);
    if (edges & kBottom)
        for (int c = x - 1; c <= x + w + 1; c++) px(c, ph) = px(c, ph + 1) = px(c, ph - 1);
}

template <typename P>
const uint8_t *sample_at(const uint8_t *plane, int stride, int x, int y) {
    return plane + y * stride + x * static_cast<int>(sizeof(P));
}

template <typename P>
void predict_from_base(const SvacReconCtx &ctx, SvacFrame *base, const SvacMacroblock *mb) {
    const int d = ctx.bit_depth_idx;
    constexpr int kSample = sizeof(P);
    const int bx = 8 * mb->mb_x, by = 8 * mb->mb_y;
    const int bw = base->width, bh = base->height;
    const unsigned edges = (bx == 0 ? kLeft : 0u) | (bx + 10 >= bw ? kRight : 0u) | (by == 0 ? kTop : 0u) |
                           (by + 10 >= bh ? kBottom : 0u);
    extend_window<P>(base->plane[0], base->stride[0], bx, by, 8, 8, bw, bh, edges);
    intra_pred_svc_l[d](mb->dst_y, sample_at<P>(base->plane[0], base->stride[0], bx, by),
                        static_cast<int>(mb->stride_y) / kSample, base->stride[0] / kSample, 8);
    if (ctx.chroma_format_idc < 1) return;
    const bool is422 = ctx.chroma_format_idc == 2;
    const int n = is422 ? 8 : 4;
    const int cx = 4 * mb->mb_x, cy = n * mb->mb_y, ch = is422 ? bh : bh / 2;
    uint8_t *const dsts[2] = {mb->dst_u, mb->dst_v};
    for (int p = 1; p <= 2; p++) {
        extend_window<P>(base->plane[p], base->stride[p], cx, cy, 4, n, bw / 2, ch, edges);
        intra_pred_svc_c[d](dsts[p - 1], sample_at<P>(base->plane[p], base->stride[p], cx, cy),
                            static_cast<int>(mb->stride_c) / kSample, base->stride[p] / kSample, n);
    }
}

}  // namespace

template <typename P>
void svac_reconstruct_inter_layer(const SvacReconCtx &ctx, SvacMacroblock *mb, int32_t intra_type) {
    if (ctx.base_frame) predict_from_base<P>(ctx, ctx.base_frame, mb);
    if (intra_type >= 1) {
        svac_add_inter_residual(ctx, mb);
        return;
    }
    const int sy = static_cast<int>(mb->stride_y);
    for (int k = 0; k < 16; k++)
        if ((mb->cbp_4x4[k / 4] >> (k % 4)) & 1)
            svac_add_residual_4x4(ctx, mb->residual, k, mb->qp, mb->dst_y + mb->blk_offset_4x4[k], sy);
    svac_add_chroma_residual(ctx, mb);
}

template void svac_reconstruct_inter_layer<uint8_t>(const SvacReconCtx &, SvacMacroblock *, int32_t);
template void svac_reconstruct_inter_layer<uint16_t>(const SvacReconCtx &, SvacMacroblock *, int32_t);
