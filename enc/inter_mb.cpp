#include "inter_mb.h"

#include <algorithm>
#include <cstring>

#include "dsp/mc.h"
#include "dsp/qp_tables.h"
#include "mb_recon.h"
#include "recon/mv_pred.h"
#include "residual_writer.h"

namespace svacenc {

namespace {

// Per type - 2: (block, C index, preference, shape) of each partition.
// clang-format off
constexpr PartitionCall kCalls[5][4] = {
    {{5, 3, PREF_NONE, SHAPE_16X16}},
    {{5, 3, PREF_B, SHAPE_16X8}, {9, 4, PREF_A, SHAPE_16X8}},
    {{5, 2, PREF_A, SHAPE_8X16}, {6, 3, PREF_C, SHAPE_8X16}},
    {{5, 2, PREF_NONE, SHAPE_8X8},
     {6, 3, PREF_NONE, SHAPE_8X8},
     {9, 6, PREF_NONE, SHAPE_8X8},
     {10, 5, PREF_NONE, SHAPE_8X8}},
    {{5, 3, PREF_NO_MVD, SHAPE_16X16}},
};
// clang-format on

// Cache index of the 8x8 block k (raster order inside the macroblock).
constexpr int kBlockEntry[4] = {5, 6, 9, 10};

}  // namespace

int partition_count(int type) {
    switch (type) {
        case P16X8:
        case P8X16:
            return 2;
        case P8X8:
            return 4;
        default:
            return 1;
    }
}

const PartitionCall *partition_calls(int type) { return kCalls[type - P16X16]; }

void store_partition(SvacMvEntry cache[12], int block, int shape, const SvacMvEntry &e) {
    cache[block] = e;
    if (shape == SHAPE_16X16) cache[block + 1] = cache[block + 4] = cache[block + 5] = e;
    if (shape == SHAPE_16X8) cache[block + 1] = e;
    if (shape == SHAPE_8X16) cache[block + 4] = e;
}

SvacMvPredicted predict_one(const SvacMvEntry cache[12], int block, int c_index, int pref, int ref_idx,
                            const InterPicture &pic) {
    const SvacMv p =
        svac_predict_mv(cache[block - 1], cache[block - 4], svac_mv_neighbour_c(cache, block, c_index),
                        ref_idx, pic.ref_dist[ref_idx], pref, pic.inv_dist);
    return {p.x, p.y};
}

void load_mv_cache(SvacMvEntry cache[12], const std::vector<SvacMvEntry> &mvs, int addr, int mb_width,
                   const MbNeighbours &nb) {
    for (int i = 0; i < 12; i++) cache[i] = svac_unavail_mv;
    for (int k : kBlockEntry) cache[k] = svac_dir_mv;
    auto at = [&](int a, int k) { return mvs[static_cast<size_t>(4 * a + k)]; };
    if (nb.left) {
        cache[4] = at(addr - 1, 1);
        cache[8] = at(addr - 1, 3);
    }
    if (nb.top) {
        cache[1] = at(addr - mb_width, 2);
        cache[2] = at(addr - mb_width, 3);
    }
    if (nb.top_right) cache[3] = at(addr - mb_width + 1, 2);
    if (nb.top_left && nb.corner_mv) cache[0] = at(addr - mb_width - 1, 3);
}

void write_inter_mb(BitWriter &bw, const InterPicture &pic, int chroma_format_idc, bool qp_changes,
                    const InterDecision &d, const int mvd[4][2]) {
    bw.put_ue(static_cast<uint32_t>(d.type - P16X16));
    const int n = partition_count(d.type);
    if (!pic.single_ref)
        for (int i = 0; i < n; i++) bw.put(static_cast<uint32_t>(d.ref[i]), pic.field ? 2 : 1);
    for (int i = 0; i < n; i++) {
        bw.put_se(mvd[i][0]);
        bw.put_se(mvd[i][1]);
    }
    write_inter_residual(bw, chroma_format_idc, qp_changes, d);
}

void write_inter_residual(BitWriter &bw, int chroma_format_idc, bool qp_changes, const InterDecision &d) {
    if (chroma_format_idc == 2) {
        bw.put_ue(static_cast<uint32_t>(inter_cbp4_code(d.cbp & 15)));
        bw.put_ue(static_cast<uint32_t>(inter_cbp4_code((d.cbp >> 4) & 15)));
    } else {
        bw.put_ue(static_cast<uint32_t>(inter_cbp_code(d.cbp & 63)));
    }
    if (d.cbp != 0 && qp_changes) bw.put_se(d.qp_delta);
    for (int k = 0; k < 4; k++)
        if ((d.cbp >> k) & 1) {
            const BlockPairs &p = d.luma_blocks[k];
            write_block_8x8(bw, VlcFamily::Inter, 0,
                            std::span<const SvacRunLevel>(p.pairs, static_cast<size_t>(p.count)));
        }
    for (int i = 0; i < 2 * chroma_format_idc; i++)
        if ((d.cbp >> cbp_chroma_bit(i)) & 1) {
            const BlockPairs &p = d.chroma_blocks[i];
            write_block_8x8(bw, VlcFamily::Chroma, 0,
                            std::span<const SvacRunLevel>(p.pairs, static_cast<size_t>(p.count)));
        }
}

namespace {

template <class Pixel>
void copy_clamped(const Frame &ref, int p, int x0, int y0, int w, int h, uint8_t *buf, int stride) {
    const int pw = ref.planes[p].width, ph = ref.planes[p].height;
    for (int j = 0; j < h; j++) {
        const int y = std::clamp(y0 + j, 0, ph - 1);
        Pixel *row = reinterpret_cast<Pixel *>(buf + static_cast<size_t>(j) * stride);
        for (int i = 0; i < w; i++)
            row[i] = static_cast<Pixel>(ref.sample(p, std::clamp(x0 + i, 0, pw - 1), y));
    }
}

}  // namespace

// Every reference area goes through a scratch copy with the edge samples
// replicated: inside the picture it equals the samples themselves, outside
// it is what edge emulation produces, so one path serves both cases. The
// kernels use one stride for source and destination, so the prediction is
// formed in scratch rows wide enough for the 21-sample source and copied.
template <class Pixel>
void predict_block(const Frame &ref, Frame &cur, int bx, int by, int n, int mx, int my,
                   std::vector<uint8_t> &scratch, bool avg) {
    constexpr int kStride = 64;  // bytes: 21 samples of 16 bits and more
    constexpr size_t kSrc = 0, kDst = 24 * kStride;
    const int d = cur.bit_depth - 8;
    const int bps = static_cast<int>(sizeof(Pixel));
    const int X = bx * 4 + mx, Y = by * 4 + my;
    const int x = X >> 2, y = Y >> 2;
    scratch.resize(48 * kStride);
    uint8_t *src = scratch.data() + kSrc, *dst = scratch.data() + kDst;
    auto copy_out = [&](int p, int x0, int y0, int w, int h) {
        for (int j = 0; j < h; j++)
            std::memcpy(cur.at(p, x0, y0 + j), dst + j * kStride, static_cast<size_t>(w * bps));
    };
    // The averaging kernels combine with the first prediction, brought in first.
    auto copy_in = [&](int p, int x0, int y0, int w, int h) {
        for (int j = 0; avg && j < h; j++)
            std::memcpy(dst + j * kStride, cur.at(p, x0, y0 + j), static_cast<size_t>(w * bps));
    };
    copy_clamped<Pixel>(ref, 0, x - 2, y - 2, 21, 21, src, kStride);
    copy_in(0, bx, by, n, n);
    (avg ? avg_svac_qpel_pixels_tab : put_svac_qpel_pixels_tab)[d][n == 16 ? 0 : 1][(Y & 3) * 4 + (X & 3)](
        dst, src + 2 * kStride + 2 * bps, kStride);
    copy_out(0, bx, by, n, n);
    if (cur.chroma_format_idc == 0) return;
    const bool is422 = cur.chroma_format_idc == 2;
    const int cx = X >> 3, px = X & 7;
    const int cy = is422 ? Y >> 2 : Y >> 3, py = is422 ? (Y << 1) & 7 : Y & 7;
    const int h = (n == 16 ? 8 : 4) * (is422 ? 2 : 1);
    for (int p = 1; p < 3; p++) {
        copy_clamped<Pixel>(ref, p, cx, cy, 9, h + 1, src, kStride);
        copy_in(p, bx / 2, is422 ? by : by / 2, n / 2, h);
        (avg ? avg_chroma_pixels_tab : put_chroma_pixels_tab)[d][n == 16 ? 0 : 1](dst, src, kStride, h, px,
                                                                                  py);
        copy_out(p, bx / 2, is422 ? by : by / 2, n / 2, h);
    }
}

template <class Pixel>
void predict_inter_mb(const Frame *const refs[2], Frame &cur, int mb_x, int mb_y, int type,
                      const SvacMvEntry cache[12], std::vector<uint8_t> &scratch) {
    if (type == P16X16 || type == PSKIP) {
        const SvacMvEntry &e = cache[5];
        predict_block<Pixel>(*refs[e.ref_idx], cur, mb_x * 16, mb_y * 16, 16, e.mv_x, e.mv_y, scratch);
        return;
    }
    for (int k = 0; k < 4; k++) {
        const SvacMvEntry &e = cache[kBlockEntry[k]];
        predict_block<Pixel>(*refs[e.ref_idx], cur, mb_x * 16 + (k % 2) * 8, mb_y * 16 + (k / 2) * 8, 8,
                             e.mv_x, e.mv_y, scratch);
    }
}

void add_inter_residual(Frame &cur, int mb_x, int mb_y, const InterDecision &d, int qp, int scan) {
    const int ys = cur.planes[0].stride;
    for (int k = 0; k < 4; k++)
        if ((d.cbp >> k) & 1)
            add_residual(cur.at(0, mb_x * 16 + (k % 2) * 8, mb_y * 16 + (k / 2) * 8), ys, cur.bit_depth,
                         d.luma_blocks[k], qp, false, scan);
    if (cur.chroma_format_idc == 0) return;
    const int cs = cur.planes[1].stride;
    const int cqp = QP2_table[qp];
    for (int i = 0; i < 2 * cur.chroma_format_idc; i++)
        if ((d.cbp >> cbp_chroma_bit(i)) & 1)
            add_residual(cur.at(1 + i % 2, mb_x * 8, mb_y * cur.chroma_mb_height() + (i / 2) * 8), cs,
                         cur.bit_depth, d.chroma_blocks[i], cqp, false, scan);
}

#define SVACENC_INSTANTIATE(P)                                                                              \
    template void predict_block<P>(const Frame &, Frame &, int, int, int, int, int, std::vector<uint8_t> &, \
                                   bool);                                                                   \
    template void predict_inter_mb<P>(const Frame *const[2], Frame &, int, int, int, const SvacMvEntry[12], \
                                      std::vector<uint8_t> &);
SVACENC_INSTANTIATE(uint8_t)
SVACENC_INSTANTIATE(uint16_t)
#undef SVACENC_INSTANTIATE

}  // namespace svacenc
