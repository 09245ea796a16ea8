#include "recon/inter_recon.h"

#include <algorithm>
#include <cstring>

#include "dsp/mc.h"
#include "mem/frame_pool.h"
#include "recon/macroblock.h"

// clang-format off
const uint8_t svac_partition_flags[31] = {
    0x00, 0x00, 0x00, 0x40, 0x80, 0xC0, 0x00, 0xC0, 0x00, 0x00, 0x00,
    0x43, 0x83, 0x4C, 0x8C, 0x49, 0x89, 0x46, 0x86, 0x63, 0xA3,
    0x66, 0xA6, 0x53, 0x93, 0x59, 0x99, 0x73, 0xB3, 0xC0, 0xC0,
};
// clang-format on

namespace {

struct McContext {
    uint8_t *edge;
    int d;       // bit-depth index
    int sample;  // bytes per sample
    int stride_y, stride_c;
    int w, h;    // luma picture size
    int chroma;  // chroma_format_idc
};

// Predicts one block (16x16 when `Size` is 0, 8x8 when 1) from one reference
// with the put or avg kernels.
template <int Size, bool Avg>
void mc_dir_part(const McContext &m, const SvacFrame *ref, uint8_t *dst_y, uint8_t *dst_u, uint8_t *dst_v,
                 int bx, int by, const SvacMvEntry &mv) {
    if (!ref->plane[0]) return;
    uint8_t *edge = m.edge;
    constexpr int n = Size ? 8 : 16;
    const int X = bx * 4 + mv.mv_x, Y = by * 4 + mv.mv_y;
    const int x = X >> 2, y = Y >> 2;
    // The taps reach two samples before and three after the block; the
    // reference's margin stands in for samples outside it up to kRefMargin.
    // Chroma reads then stay inside the chroma margins as well.
    constexpr int lo = 2 - kRefMargin, hi = kRefMargin - 3 - n;
    const bool emulate = x < lo || y < lo || x > m.w + hi || y > m.h + hi;

    const uint8_t *src =
        ref->plane[0] + static_cast<ptrdiff_t>(y) * m.stride_y + static_cast<ptrdiff_t>(x) * m.sample;
    if (emulate) {
        emulated_edge_mc[m.d ? 1 : 0](edge, src - 2 * m.stride_y - 2 * m.sample, m.stride_y, m.stride_y,
                                      n + 5, n + 5, x - 2, y - 2, m.w, m.h);
        src = edge + 2 * m.stride_y + 2 * m.sample;
    }
    const SvacQpelFn *luma = (Avg ? avg_svac_qpel_pixels_tab : put_svac_qpel_pixels_tab)[m.d][Size];
    luma[(Y & 3) * 4 + (X & 3)](dst_y, src, m.stride_y);

    if (!m.chroma) return;
    const bool is422 = m.chroma == 2;
    const int cx = X >> 3, fx = X & 7;
    const int cy = is422 ? Y >> 2 : Y >> 3;
    const int fy = is422 ? (Y << 1) & 7 : Y & 7;
    const int rows = is422 ? n : n / 2;
    const SvacChromaMcFn kernel = (Avg ? avg_chroma_pixels_tab : put_chroma_pixels_tab)[m.d][Size];
    const ptrdiff_t coff = static_cast<ptrdiff_t>(cy) * m.stride_c + static_cast<ptrdiff_t>(cx) * m.sample;
    const uint8_t *csrc[2] = {ref->plane[1] + coff, ref->plane[2] + coff};
    if (emulate) {
        const int ch = is422 ? m.h : m.h / 2;
        for (int p = 0; p < 2; p++) {
            emulated_edge_mc[m.d ? 1 : 0](edge, csrc[p], m.stride_c, m.stride_c, n / 2 + 1, rows + 1, cx, cy,
                                          m.w / 2, ch);
            kernel(p ? dst_v : dst_u, edge, m.stride_c, rows, fx, fy);
        }
        return;
    }
    kernel(dst_u, csrc[0], m.stride_c, rows, fx, fy);
    kernel(dst_v, csrc[1], m.stride_c, rows, fx, fy);
}

// Both directions of one block: list 0 put, list 1 put or averaged onto it.
template <int Size>
void mc_block(const McContext &m, const SvacReconCtx &ctx, uint8_t *dst_y, uint8_t *dst_u, uint8_t *dst_v,
              int bx, int by, const SvacMvEntry &e0, const SvacMvEntry &e1) {
    const bool fwd = e0.ref_idx >= 0;
    if (fwd) mc_dir_part<Size, false>(m, ctx.ref_frame[e0.ref_idx], dst_y, dst_u, dst_v, bx, by, e0);
    if (e1.ref_idx < 0) return;
    if (fwd)
        mc_dir_part<Size, true>(m, ctx.ref_frame[0], dst_y, dst_u, dst_v, bx, by, e1);
    else
        mc_dir_part<Size, false>(m, ctx.ref_frame[0], dst_y, dst_u, dst_v, bx, by, e1);
}

// Asks the cache for the reference area of a macroblock four further along
// the row, guessed from this macroblock's vector (four luma rows, a varying
// quarter of them per macroblock, and two rows of each chroma plane), so
// that its loads arrive before that macroblock is predicted.
void prefetch_ahead(const McContext &m, const SvacFrame *ref, const SvacMacroblock *mb,
                    const SvacMvEntry &mv) {
    if (!ref->plane[0]) return;
    auto inside = [](int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; };
    const int x = inside(16 * mb->mb_x + (mv.mv_x >> 2) + 8 + 64, m.w - 1);
    const int y = inside(16 * mb->mb_y + (mv.mv_y >> 2) + (mb->mb_x & 3) * 4, m.h > 4 ? m.h - 4 : 0);
    const uint8_t *p =
        ref->plane[0] + static_cast<ptrdiff_t>(y) * m.stride_y + static_cast<ptrdiff_t>(x) * m.sample;
    for (int r = 0; r < 4; r++) __builtin_prefetch(p + r * m.stride_y);
    if (m.chroma != 1) return;
    const ptrdiff_t c = static_cast<ptrdiff_t>(y / 2) * m.stride_c + static_cast<ptrdiff_t>(x / 2) * m.sample;
    for (int k = 1; k <= 2; k++) {
        __builtin_prefetch(ref->plane[k] + c);
        __builtin_prefetch(ref->plane[k] + c + m.stride_c);
    }
}

bool same_motion(const SvacMvEntry &a, const SvacMvEntry &b) {
    return a.mv_x == b.mv_x && a.mv_y == b.mv_y && a.ref_idx == b.ref_idx;
}

// Four 8x8 blocks with one motion in each list give the samples of one
// 16x16 block: every kernel computes each sample from the same reference
// samples, and edge emulation only stands in for samples outside the
// picture. Direct and skipped B macroblocks mostly qualify.
bool uniform_motion(const SvacMvEntry *l0, const SvacMvEntry *l1) {
    for (int k = 1; k < 4; k++)
        if (!same_motion(l0[5], l0[kMvOwnBlocks[k]]) || !same_motion(l1[5], l1[kMvOwnBlocks[k]]))
            return false;
    return true;
}

// Reference pictures must have the geometry and format of the picture they
// predict; a stream that mixes them is refused rather than read out of bounds.
bool usable(const SvacFrame *ref, const SvacFrame *cur) {
    return ref && ref->width == cur->width && ref->height == cur->height && ref->format == cur->format;
}

// N copies of v written as one run (wide stores).
template <typename P, int N>
void fill_run(P *dst, P v) {
    P run[N];
    std::fill_n(run, N, v);
    std::memcpy(dst, run, sizeof run);
}

template <typename P, int Mx>
void extend_rows(uint8_t *plane, ptrdiff_t stride, int w, int y0, int y1) {
    for (int y = y0; y < y1; y++) {
        P *row = reinterpret_cast<P *>(plane + y * stride);
        fill_run<P, Mx>(row - Mx, row[0]);
        fill_run<P, Mx>(row + w, row[w - 1]);
    }
}

// The top and bottom rows with their extended ends, copied outwards.
void extend_up_down(uint8_t *plane, ptrdiff_t stride, size_t row_bytes, ptrdiff_t mx_bytes, int h, int my) {
    uint8_t *first = plane - mx_bytes, *last = first + (h - 1) * stride;
    for (int r = 1; r <= my; r++) {
        std::memcpy(first - r * stride, first, row_bytes);
        std::memcpy(last + r * stride, last, row_bytes);
    }
}

struct FrameShape {
    int sample;  // bytes per sample
    int chroma;  // chroma format
};

FrameShape shape(const SvacFrame *f) {
    const bool ten_bit = f->format > 100;
    return {ten_bit ? 2 : 1, f->plane_count > 1 ? f->format - (ten_bit ? 101 : 1) : 0};
}

template <typename P>
void sides(SvacFrame *f, int chroma, int y0, int y1) {
    extend_rows<P, kRefMargin>(f->plane[0], f->stride[0], f->width, y0, y1);
    if (!chroma) return;
    const int s = chroma == 2 ? 0 : 1;
    for (int p = 1; p < 3; p++)
        extend_rows<P, kRefMargin / 2>(f->plane[p], f->stride[p], f->width / 2, y0 >> s, y1 >> s);
}

bool extendable(const SvacFrame *f) { return f && f->plane[0] && f->width >= 2 && f->height >= 2; }

}  // namespace

void svac_extend_sides(SvacFrame *f, int y0, int y1) {
    if (!extendable(f)) return;
    const FrameShape fs = shape(f);
    y1 = y1 < f->height ? y1 : f->height;
    if (fs.sample == 2)
        sides<uint16_t>(f, fs.chroma, y0, y1);
    else
        sides<uint8_t>(f, fs.chroma, y0, y1);
}

void svac_extend_reference(SvacFrame *f, int from_row) {
    if (!extendable(f)) return;
    svac_extend_sides(f, from_row, f->height);
    const FrameShape fs = shape(f);
    const size_t n = static_cast<size_t>(fs.sample);
    extend_up_down(f->plane[0], f->stride[0], (f->width + 2 * kRefMargin) * n, kRefMargin * fs.sample,
                   f->height, kRefMargin);
    if (!fs.chroma) return;
    const int ch = fs.chroma == 2 ? f->height : f->height / 2;
    const int my = fs.chroma == 2 ? kRefMargin : kRefMargin / 2;
    for (int p = 1; p < 3; p++)
        extend_up_down(f->plane[p], f->stride[p], (f->width / 2 + kRefMargin) * n, kRefMargin / 2 * fs.sample,
                       ch, my);
}

uint32_t svac_usable_refs(const SvacReconCtx &ctx) {
    return (usable(ctx.ref_frame[0], ctx.cur_frame) ? 1u : 0u) |
           (usable(ctx.ref_frame[1], ctx.cur_frame) ? 2u : 0u);
}

bool svac_inter_refs_usable(const SvacReconCtx &ctx, const SvacMacroblock *mb, int32_t type) {
    const int n = svac_partition_flags[type] == 0 ? 1 : 4;
    const uint32_t ok = ctx.usable_refs;
    for (int k = 0; k < n; k++) {
        const int r0 = mb->mv_cache[0][kMvOwnBlocks[k]].ref_idx,
                  r1 = mb->mv_cache[1][kMvOwnBlocks[k]].ref_idx;
        if (r0 > 1 || (r0 >= 0 && !((ok >> r0) & 1))) return false;
        if (r1 >= 0 && !(ok & 1)) return false;
    }
    return true;
}

void VQ_SVACDEC_svac_inter(const SvacReconCtx &ctx, SvacMacroblock *mb, int32_t type) {
    const McContext m{ctx.edge_emu_buffer,
                      ctx.bit_depth_idx,
                      ctx.bit_depth_idx ? 2 : 1,
                      static_cast<int>(mb->stride_y),
                      static_cast<int>(mb->stride_c),
                      ctx.width,
                      ctx.height,
                      ctx.chroma_format_idc};
    const SvacMvEntry *l0 = mb->mv_cache[0];
    const SvacMvEntry *l1 = mb->mv_cache[1];
    if (l0[5].ref_idx >= 0 && l0[5].ref_idx <= 1 && ctx.ref_frame[l0[5].ref_idx])
        prefetch_ahead(m, ctx.ref_frame[l0[5].ref_idx], mb, l0[5]);
    if (svac_partition_flags[type] == 0 || uniform_motion(l0, l1)) {
        mc_block<0>(m, ctx, mb->dst_y, mb->dst_u, mb->dst_v, 16 * mb->mb_x, 16 * mb->mb_y, l0[5], l1[5]);
        return;
    }
    const int crows = m.chroma == 2 ? 8 : 4;
    for (int k = 0; k < 4; k++) {
        const int i = k & 1, j = k >> 1;
        uint8_t *dy = mb->dst_y + 8 * i * m.sample + 8 * j * m.stride_y;
        const ptrdiff_t coff = 4 * i * m.sample + crows * j * m.stride_c;
        uint8_t *du = m.chroma ? mb->dst_u + coff : nullptr;
        uint8_t *dv = m.chroma ? mb->dst_v + coff : nullptr;
        mc_block<1>(m, ctx, dy, du, dv, 16 * mb->mb_x + 8 * i, 16 * mb->mb_y + 8 * j, l0[kMvOwnBlocks[k]],
                    l1[kMvOwnBlocks[k]]);
    }
}
