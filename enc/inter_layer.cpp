#include "inter_layer.h"

#include <algorithm>

#include "dsp/predict.h"
#include "dsp/qp_tables.h"
#include "mb_recon.h"

namespace svacenc {

void make_inter_layer(MbDecision &d, const ModeEdge *left, const ModeEdge *top, int flag) {
    d.svc = flag;
    d.chroma_modes[0] = d.chroma_modes[1] = 0;
    const int n = d.luma.is8x8 ? 4 : 16;
    for (int i = 0; i < n; i++) {
        const int pos = d.luma.is8x8 ? i : blk4_raster(i);
        const ModePair np = d.luma.is8x8 ? neighbour_modes_8x8(pos, d.luma.modes, left, top)
                                         : neighbour_modes_4x4(pos, d.luma.modes, left, top);
        d.luma.modes[pos] = predicted_mode(np.left, np.top);
    }
}

namespace {

// Upsamples the w x n block of plane p at (x, y) of `base` into dst. The
// kernel reads one sample before and two after the block in both directions.
template <class Pixel>
void upsample(const Frame &base, int p, int x, int y, int w, int n, uint8_t *dst, int dst_stride) {
    constexpr int kStride = 11;
    Pixel win[kStride * kStride];
    const Plane &pl = base.planes[p];
    for (int r = -1; r <= n + 1; r++)
        for (int c = -1; c <= w + 1; c++)
            win[(r + 1) * kStride + c + 1] = static_cast<Pixel>(
                base.sample(p, std::clamp(x + c, 0, pl.width - 1), std::clamp(y + r, 0, pl.height - 1)));
    const int d = sizeof(Pixel) == 1 ? 0 : 2;
    auto *kernel = p == 0 ? intra_pred_svc_l[d] : intra_pred_svc_c[d];
    kernel(dst, reinterpret_cast<const uint8_t *>(win + kStride + 1), dst_stride / int(sizeof(Pixel)),
           kStride, n);
}

}  // namespace

template <class Pixel>
void predict_inter_layer(const Frame &base, Frame &unf, int mb_x, int mb_y) {
    upsample<Pixel>(base, 0, 8 * mb_x, 8 * mb_y, 8, 8, unf.at(0, 16 * mb_x, 16 * mb_y), unf.planes[0].stride);
    if (unf.chroma_format_idc == 0) return;
    const int n = unf.chroma_format_idc == 2 ? 8 : 4;
    for (int p = 1; p < 3; p++)
        upsample<Pixel>(base, p, 4 * mb_x, n * mb_y, 4, n, unf.at(p, 8 * mb_x, 2 * n * mb_y),
                        unf.planes[p].stride);
}

template <class Pixel>
void reconstruct_inter_layer_mb(const Frame &base, Frame &unf, int mb_x, int mb_y, const MbDecision &d,
                                int qp, int scan) {
    predict_inter_layer<Pixel>(base, unf, mb_x, mb_y);
    const int ys = unf.planes[0].stride;
    for (int b = 0; b < (d.luma.is8x8 ? 4 : 16); b++) {
        if (!luma_block_coded(d, b)) continue;
        const int x = d.luma.is8x8 ? (b % 2) * 8 : blk4_x(b) * 4;
        const int y = d.luma.is8x8 ? (b / 2) * 8 : blk4_y(b) * 4;
        add_residual(unf.at(0, 16 * mb_x + x, 16 * mb_y + y), ys, unf.bit_depth, d.luma_blocks[b], qp,
                     !d.luma.is8x8, scan);
    }
    for (int i = 0; i < 2 * unf.chroma_format_idc; i++)
        if ((d.cbp >> cbp_chroma_bit(i)) & 1)
            add_residual(unf.at(1 + i % 2, 8 * mb_x, mb_y * unf.chroma_mb_height() + (i / 2) * 8),
                         unf.planes[1].stride, unf.bit_depth, d.chroma_blocks[i], QP2_table[qp], false, scan);
}

void count_inter_layer(PathStats &st, const MbDecision &d, int mb_x, int mb_y, int mb_w, int mb_h) {
    st.inter_layer_mbs++;
    st.inter_layer_coded += d.cbp != 0;
    st.inter_layer_long_flags += d.svc > 1;
    const bool right = mb_x == mb_w - 1, bottom = mb_y == mb_h - 1;
    if ((mb_x == 0 || right) && (mb_y == 0 || bottom)) st.inter_layer_corners[2 * bottom + right]++;
}

void downscale_half(const Frame &src, Frame &dst) {
    for (int p = 0; p < dst.plane_count(); p++)
        for (int y = 0; y < dst.planes[p].height; y++)
            for (int x = 0; x < dst.planes[p].width; x++) {
                const int s = src.sample(p, 2 * x, 2 * y) + src.sample(p, 2 * x + 1, 2 * y) +
                              src.sample(p, 2 * x, 2 * y + 1) + src.sample(p, 2 * x + 1, 2 * y + 1);
                dst.set_sample(p, x, y, (s + 2) >> 2);
            }
}

#define SVACENC_INSTANTIATE(P)                                                                             \
    template void predict_inter_layer<P>(const Frame &, Frame &, int, int);                                \
    template void reconstruct_inter_layer_mb<P>(const Frame &, Frame &, int, int, const MbDecision &, int, \
                                                int);
SVACENC_INSTANTIATE(uint8_t)
SVACENC_INSTANTIATE(uint16_t)
#undef SVACENC_INSTANTIATE

}  // namespace svacenc
