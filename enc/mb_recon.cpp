#include "mb_recon.h"

#include "dsp/dct.h"
#include "dsp/dsp_init.h"
#include "dsp/predict.h"
#include "dsp/qp_tables.h"
#include "intra_neighbours.h"
#include "recon/deblock.h"

namespace svacenc {

void init_kernels(uint32_t cpu_flags) { svac_kernels_init(cpu_flags); }

namespace {

template <class Pixel>
constexpr int depth_index() {
    return sizeof(Pixel) == 1 ? 0 : 2;
}

}  // namespace

template <class Pixel>
void predict_luma_8x8(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int blk, int mode,
                      uint8_t *dst, int stride) {
    Pixel top[kNeighbourArraySize], left[kNeighbourArraySize];
    gather_luma_8x8<Pixel>(unf, mb_x, mb_y, nb, blk, top, left);
    intra_pred_luma(depth_index<Pixel>(), mode)(dst, reinterpret_cast<const uint8_t *>(top),
                                                reinterpret_cast<const uint8_t *>(left), stride);
}

template <class Pixel>
void predict_luma_4x4(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int k, int mode,
                      uint8_t *dst, int stride) {
    Pixel top[kNeighbourArraySize], left[kNeighbourArraySize];
    gather_luma_4x4<Pixel>(unf, mb_x, mb_y, nb, k, top, left);
    intra_pred_luma_4x4(depth_index<Pixel>(), mode)(dst, reinterpret_cast<const uint8_t *>(top),
                                                    reinterpret_cast<const uint8_t *>(left), stride);
}

template <class Pixel>
void predict_chroma(const Frame &unf, int plane, int mb_x, int mb_y, const MbNeighbours &nb, int row,
                    int mode, uint8_t *dst, int stride) {
    Pixel top[kNeighbourArraySize], left[kNeighbourArraySize];
    gather_chroma<Pixel>(unf, plane, mb_x, mb_y, nb, row, top, left);
    intra_pred_chroma(depth_index<Pixel>(), mode)(dst, reinterpret_cast<const uint8_t *>(top),
                                                  reinterpret_cast<const uint8_t *>(left), stride);
}

void add_residual(uint8_t *dst, int stride, int bit_depth, const BlockPairs &b, int qp, bool is4x4,
                  int scan) {
    alignas(16) int32_t coeffs[64];
    const int d = bit_depth - 8;
    if (is4x4) {
        svac_dequant4(b.pairs, coeffs, qp, b.count, scan);
        svac_idct4_add[d](dst, coeffs, stride);
    } else {
        svac_dequant8(b.pairs, coeffs, qp, b.count, scan);
        svac_idct8_add[d](dst, coeffs, stride);
    }
}

template <class Pixel>
void reconstruct_intra_mb(Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, const MbDecision &d, int qp,
                          int scan) {
    const int ys = unf.planes[0].stride;
    if (d.luma.is8x8) {
        for (int b = 0; b < 4; b++) {
            const int mode = luma_mode_at_edge(d.luma.modes[b], !nb.left && b % 2 == 0, !nb.top && b < 2);
            uint8_t *dst = unf.at(0, mb_x * 16 + (b % 2) * 8, mb_y * 16 + (b / 2) * 8);
            predict_luma_8x8<Pixel>(unf, mb_x, mb_y, nb, b, mode, dst, ys);
            if (luma_block_coded(d, b))
                add_residual(dst, ys, unf.bit_depth, d.luma_blocks[b], qp, false, scan);
        }
    } else {
        for (int k = 0; k < 16; k++) {
            const int r = blk4_raster(k);
            const int mode = luma_mode_at_edge(d.luma.modes[r], !nb.left && r % 4 == 0, !nb.top && r < 4);
            uint8_t *dst = unf.at(0, mb_x * 16 + blk4_x(k) * 4, mb_y * 16 + blk4_y(k) * 4);
            predict_luma_4x4<Pixel>(unf, mb_x, mb_y, nb, k, mode, dst, ys);
            if (luma_block_coded(d, k))
                add_residual(dst, ys, unf.bit_depth, d.luma_blocks[k], qp, true, scan);
        }
    }
    if (unf.chroma_format_idc == 0) return;
    const int cqp = QP2_table[qp];
    const int cs = unf.planes[1].stride;
    for (int row = 0; row < unf.chroma_format_idc; row++) {
        const int mode = chroma_mode_at_edge(d.chroma_modes[row], !nb.left, !nb.top && row == 0);
        uint8_t *dst[2];
        for (int p = 0; p < 2; p++) {
            dst[p] = unf.at(1 + p, mb_x * 8, mb_y * unf.chroma_mb_height() + row * 8);
            predict_chroma<Pixel>(unf, 1 + p, mb_x, mb_y, nb, row, mode, dst[p], cs);
        }
        for (int p = 0; p < 2; p++) {
            const int i = row * 2 + p;
            if ((d.cbp >> cbp_chroma_bit(i)) & 1)
                add_residual(dst[p], cs, unf.bit_depth, d.chroma_blocks[i], cqp, false, scan);
        }
    }
}

void deblock_mb(Frame &out, int mb_x, int mb_y, const MbNeighbours &nb, const MbFilterInfo &cur,
                const MbFilterInfo &left, const MbFilterInfo &top, const LoopFilterSettings &lf,
                const SvacMvEntry *mv_cache, const SvacMvEntry *mv_cache1) {
    SvacFilterParams p{};
    p.dst_y = out.at(0, mb_x * 16, mb_y * 16);
    if (out.chroma_format_idc != 0) {
        p.dst_u = out.at(1, mb_x * 8, mb_y * out.chroma_mb_height());
        p.dst_v = out.at(2, mb_x * 8, mb_y * out.chroma_mb_height());
    }
    p.neighbour_flags = nb.flags();
    p.qp = static_cast<uint32_t>(cur.qp);
    p.prev_qp = static_cast<uint32_t>(left.qp);
    p.top_qp = static_cast<uint32_t>(top.qp);
    p.cbp = static_cast<uint32_t>(cur.cbp);
    p.prev_cbp = static_cast<uint32_t>(left.cbp);
    p.top_cbp = static_cast<uint32_t>(top.cbp);
    p.mb_type = static_cast<uint32_t>(cur.type);
    p.prev_type = static_cast<uint32_t>(left.type);
    p.top_type = static_cast<uint32_t>(top.type);
    p.lf_disable_flag = lf.disable ? 1 : 0;
    p.stride_y = static_cast<uint32_t>(out.planes[0].stride);
    p.stride_c = static_cast<uint32_t>(out.chroma_format_idc ? out.planes[1].stride : 0);
    p.chroma_format_idc = static_cast<uint32_t>(out.chroma_format_idc);
    p.bit_depth_idx = static_cast<uint32_t>(out.bit_depth - 8);
    p.lf_alpha_offset = lf.alpha_offset;
    p.lf_beta_offset = lf.beta_offset;
    p.mb_x = mb_x;
    p.mb_y = mb_y;
    for (SvacMvEntry &e : p.mv_cache) e = svac_intra_mv;
    if (mv_cache)
        for (int i = 0; i < 12; i++) p.mv_cache[i] = mv_cache[i];
    if (mv_cache1)
        for (int i = 0; i < 12; i++) p.mv_cache[12 + i] = mv_cache1[i];
    VQ_SVACDEC_svac_filter(&p);
}

#define SVACENC_INSTANTIATE(P)                                                                               \
    template void reconstruct_intra_mb<P>(Frame &, int, int, const MbNeighbours &, const MbDecision &, int,  \
                                          int);                                                              \
    template void predict_luma_8x8<P>(const Frame &, int, int, const MbNeighbours &, int, int, uint8_t *,    \
                                      int);                                                                  \
    template void predict_luma_4x4<P>(const Frame &, int, int, const MbNeighbours &, int, int, uint8_t *,    \
                                      int);                                                                  \
    template void predict_chroma<P>(const Frame &, int, int, int, const MbNeighbours &, int, int, uint8_t *, \
                                    int);
SVACENC_INSTANTIATE(uint8_t)
SVACENC_INSTANTIATE(uint16_t)
#undef SVACENC_INSTANTIATE

}  // namespace svacenc
