#include "recon/intra_recon.h"

#include <cstring>
#include <span>

#include "dsp/predict.h"
#include "dsp/qp_tables.h"
#include "recon/macroblock.h"
#include "recon/residual_add.h"
#include "recon/svc_recon.h"

namespace {

constexpr int8_t left_modifier_l[8] = {0, -1, 6, -1, -1, 7, 6, 7};
constexpr int8_t top_modifier_l[8] = {-1, 1, 5, -1, -1, 5, 7, 7};
constexpr int8_t left_modifier_c[7] = {5, -1, 2, -1, 6, 5, 6};
constexpr int8_t top_modifier_c[7] = {4, 1, -1, -1, 4, 6, 6};

int substitute(const int8_t *table, int32_t mode) {
    const int m = table[mode];
    if (m >= 0) return m;
    std::puts("Illegal intra prediction mode");
    return 0;
}

template <typename P>
P *at(uint8_t *base, int stride, int x, int y) {
    return reinterpret_cast<P *>(base + y * stride) + x;
}

template <typename P>
void fill(P *dst, int n, P v) {
    for (int i = 0; i < n; i++) dst[i] = v;
}

// Corner of the first block of a macroblock (luma block 0 or chroma row 0).
// `prev_col_last` is the last sample of the previous column's top border.
template <typename P>
void first_corner(uint32_t flags, P *t, P *l, int32_t saved_corner, const P *prev_col_last, bool four) {
    if (flags & NB_TOP_LEFT) {
        const P c = (flags & NB_LEFT) ? static_cast<P>(saved_corner) : *prev_col_last;
        t[0] = l[0] = c;
    } else if ((flags & NB_LEFT) && (flags & NB_TOP)) {
        t[0] = l[0] = static_cast<P>((l[1] + t[1] + 1) >> 1);
    } else if (flags & NB_LEFT) {
        l[0] = l[1];
        if (four) t[0] = l[1];
    } else if (flags & NB_TOP) {
        t[0] = t[1];
        if (four) l[0] = t[1];
    }
}

template <typename P>
void load_luma_8x8(SvacMacroblock *mb, int block, P **top, P **left) {
    const uint32_t flags = mb->neighbour_flags;
    const int stride = static_cast<int>(mb->stride_y);
    P *tb = reinterpret_cast<P *>(mb->top_border_y) + 16 * mb->mb_x;
    P *lb = svac_px<P>(mb->left_border_y);
    P *t = svac_px<P>(mb->pred_top);
    P *l;
    switch (block) {
        case 0:
            std::memcpy(t + 1, tb, 16 * sizeof(P));
            t[17] = t[16];
            fill(lb + 17, 9, lb[16]);
            l = lb;
            first_corner(flags, t, l, mb->corner_y, tb - 1, false);
            break;
        case 1: {
            l = svac_px<P>(mb->pred_left);
            std::memcpy(t + 1, tb + 8, 8 * sizeof(P));
            if (flags & NB_TOP_RIGHT)
                std::memcpy(t + 9, tb + 16, 8 * sizeof(P));
            else
                fill(t + 9, 8, t[8]);
            t[17] = t[16];
            for (int y = 0; y < 8; y++) l[1 + y] = *at<P>(mb->dst_y, stride, 7, y);
            fill(l + 9, 9, l[8]);
            if (flags & NB_TOP) {
                t[0] = l[0] = tb[7];
            } else {
                t[0] = t[1];
                l[0] = l[1];
            }
            break;
        }
        case 2: {
            l = lb + 8;
            const P *row7 = at<P>(mb->dst_y, stride, 0, 7);
            std::memcpy(t + 1, row7, 16 * sizeof(P));
            t[17] = t[16];
            t[0] = (flags & NB_LEFT) ? l[0] : t[1];
            break;
        }
        default: {
            l = svac_px<P>(mb->pred_left);
            std::memcpy(t + 1, at<P>(mb->dst_y, stride, 8, 7), 8 * sizeof(P));
            fill(t + 9, 9, t[8]);
            for (int y = 0; y < 8; y++) l[1 + y] = *at<P>(mb->dst_y, stride, 7, 8 + y);
            fill(l + 9, 9, l[8]);
            t[0] = l[0] = *at<P>(mb->dst_y, stride, 7, 7);
            break;
        }
    }
    *top = t;
    *left = l;
}

// Whether the above-right (top) and below-left (left) samples of each 4x4
// block lie in an already decoded area; block 5 depends on the top-right
// macroblock.
constexpr bool kAboveRight4x4[16] = {1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0};
constexpr bool kBelowLeft4x4[16] = {1, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
constexpr uint8_t kPos4x4[16][2] = {{0, 0}, {4, 0}, {0, 4},  {4, 4},  {8, 0}, {12, 0}, {8, 4},  {12, 4},
                                    {0, 8}, {4, 8}, {0, 12}, {4, 12}, {8, 8}, {12, 8}, {8, 12}, {12, 12}};

template <typename P>
void load_luma_4x4(SvacMacroblock *mb, int block, P **top, P **left) {
    const uint32_t flags = mb->neighbour_flags;
    const int stride = static_cast<int>(mb->stride_y);
    const int x = kPos4x4[block][0], y = kPos4x4[block][1];
    P *tb = reinterpret_cast<P *>(mb->top_border_y) + 16 * mb->mb_x;
    P *lb = svac_px<P>(mb->left_border_y);  // slot 1 + r holds left row r
    P *t = svac_px<P>(mb->pred_top);
    P *l = svac_px<P>(mb->pred_left);

    // Above row and above-right.
    const P *above = y == 0 ? tb + x : at<P>(mb->dst_y, stride, x, y - 1);
    std::memcpy(t + 1, above, 4 * sizeof(P));
    const bool ar = block == 5 ? (flags & NB_TOP_RIGHT) != 0 : kAboveRight4x4[block];
    if (ar)
        std::memcpy(t + 5, above + 4, 4 * sizeof(P));  // block 5 reads the next column's border
    else
        fill(t + 5, 4, t[4]);
    t[9] = t[8];

    // Left column and below-left.
    for (int r = 0; r < 8; r++) {
        if (r >= 4 && !kBelowLeft4x4[block]) break;
        l[1 + r] = x == 0 ? lb[1 + y + r] : *at<P>(mb->dst_y, stride, x - 1, y + r);
    }
    if (!kBelowLeft4x4[block]) fill(l + 5, 4, l[4]);
    l[9] = l[8];

    if (block == 0) {
        first_corner(flags, t, l, mb->corner_y, tb - 1, true);
    } else if (y == 0) {
        if (flags & NB_TOP)
            t[0] = l[0] = tb[x - 1];
        else
            l[0] = l[1];
    } else if (x == 0) {
        l[0] = lb[y];
        t[0] = (flags & NB_LEFT) ? l[0] : t[1];
    } else {
        t[0] = l[0] = *at<P>(mb->dst_y, stride, x - 1, y - 1);
    }
    *top = t;
    *left = l;
}

// Chroma neighbour arrays of one plane; `row` 1 is the lower block of 4:2:2.
template <typename P>
void load_chroma_plane(SvacMacroblock *mb, int row, uint8_t *top_border, SampleArray<20> &left_border,
                       int32_t saved_corner, uint8_t *dst, P *work, P **top, P **left) {
    const uint32_t flags = mb->neighbour_flags;
    P *tb = reinterpret_cast<P *>(top_border) + 10 * mb->mb_x;
    P *lb = svac_px<P>(left_border);
    if (row == 0) {
        tb[9] = (flags & NB_TOP_RIGHT) ? tb[10 + 1] : tb[8];
        lb[9] = lb[8];
        first_corner(flags, tb, lb, saved_corner, tb - 10 + 8, false);
        *top = tb;
        *left = lb;
        return;
    }
    const P *row7 = at<P>(dst, static_cast<int>(mb->stride_c), 0, 7);
    std::memcpy(work + 1, row7, 8 * sizeof(P));
    work[9] = work[8];
    lb[19] = lb[18];
    lb[10] = work[0] = (flags & NB_LEFT) ? lb[8] : work[1];
    *top = work;
    *left = lb + 10;
}

// Predicts every block and adds its residual in decoding order: later blocks
// predict from the reconstructed samples of earlier ones.
template <typename P>
void reconstruct_intra(const SvacReconCtx &ctx, SvacMacroblock *mb, int32_t intra_type) {
    if (mb->svc_mode_flag) {
        svac_reconstruct_inter_layer<P>(ctx, mb, intra_type);
        return;
    }
    const int d = ctx.bit_depth_idx;
    const int sy = static_cast<int>(mb->stride_y), sc = static_cast<int>(mb->stride_c);
    const SvacMbResidual &res = mb->residual;
    P *t, *l;
    if (intra_type >= 1) {
        for (int k = 0; k < 4; k++) {
            load_luma_8x8<P>(mb, k, &t, &l);
            uint8_t *dst = mb->dst_y + mb->blk_offset_8x8[k];
            const int mode = mb->intra_mode_cache_8x8[scan3x3[k]];
            intra_pred_luma(d, mode)(dst, reinterpret_cast<uint8_t *>(t), reinterpret_cast<uint8_t *>(l), sy);
            if ((mb->cbp >> k) & 1) svac_add_residual_8x8(ctx, res, k, mb->qp, dst, sy);
        }
    } else {
        for (int k = 0; k < 16; k++) {
            load_luma_4x4<P>(mb, k, &t, &l);
            uint8_t *dst = mb->dst_y + mb->blk_offset_4x4[k];
            const int mode = mb->intra_mode_cache_4x4[scan4x4[k]];
            intra_pred_luma_4x4(d, mode)(dst, reinterpret_cast<uint8_t *>(t), reinterpret_cast<uint8_t *>(l),
                                         sy);
            if ((mb->cbp_4x4[k / 4] >> (k % 4)) & 1) svac_add_residual_4x4(ctx, res, k, mb->qp, dst, sy);
        }
    }
    const int cqp = QP2_table[mb->qp];
    P *work = svac_px<P>(mb->pred_top);
    for (int k = 0; k < ctx.chroma_format_idc; k++) {
        P *tu, *lu, *tv, *lv;
        load_chroma_plane<P>(mb, k, mb->top_border_u, mb->left_border_u, mb->corner_u, mb->dst_u, work, &tu,
                             &lu);
        load_chroma_plane<P>(mb, k, mb->top_border_v, mb->left_border_v, mb->corner_v, mb->dst_v, work + 13,
                             &tv, &lv);
        uint8_t *const dsts[2] = {mb->dst_u + 8 * k * sc, mb->dst_v + 8 * k * sc};
        const SvacIntraPredFn pred = intra_pred_chroma(d, mb->chroma_pred_mode[k]);
        pred(dsts[0], reinterpret_cast<uint8_t *>(tu), reinterpret_cast<uint8_t *>(lu), sc);
        pred(dsts[1], reinterpret_cast<uint8_t *>(tv), reinterpret_cast<uint8_t *>(lv), sc);
        for (int p = 0; p < 2; p++)
            if ((mb->cbp >> (4 + 2 * k + p)) & 1)
                svac_add_residual_8x8(ctx, res, kResidualChroma + 2 * k + p, cqp, dsts[p], sc);
    }
}

// n samples of one column, `stride` bytes apart.
template <typename P>
void copy_column(P *dst, const uint8_t *src, ptrdiff_t stride, int n) {
    for (int i = 0; i < n; i++, src += stride) dst[i] = *reinterpret_cast<const P *>(src);
}

template <typename P>
void save_plane_border(SvacMacroblock *mb, uint8_t *plane, uint8_t *top_border, SampleArray<20> &left_border,
                       int32_t *corner, bool is422) {
    const int sc = static_cast<int>(mb->stride_c);
    P *tb = reinterpret_cast<P *>(top_border) + 10 * mb->mb_x;
    P *lb = svac_px<P>(left_border);
    *corner = tb[8];
    copy_column(lb + 1, reinterpret_cast<uint8_t *>(at<P>(plane, sc, 7, 0)), sc, 8);
    if (is422) copy_column(lb + 11, reinterpret_cast<uint8_t *>(at<P>(plane, sc, 7, 8)), sc, 8);
    std::memcpy(tb + 1, at<P>(plane, sc, 0, is422 ? 15 : 7), 8 * sizeof(P));
}

// Later macroblocks predict from samples before deblocking, so the border is
// saved before the filter runs.
template <typename P>
void save_mb_border(SvacMacroblock *mb, bool has_chroma, bool is422) {
    const int sy = static_cast<int>(mb->stride_y);
    P *tb = reinterpret_cast<P *>(mb->top_border_y) + 16 * mb->mb_x;
    P *lb = svac_px<P>(mb->left_border_y);
    mb->corner_y = tb[15];
    std::memcpy(tb, at<P>(mb->dst_y, sy, 0, 15), 16 * sizeof(P));
    copy_column(lb + 1, reinterpret_cast<uint8_t *>(at<P>(mb->dst_y, sy, 15, 0)), sy, 16);
    if (!has_chroma) return;
    save_plane_border<P>(mb, mb->dst_u, mb->top_border_u, mb->left_border_u, &mb->corner_u, is422);
    save_plane_border<P>(mb, mb->dst_v, mb->top_border_v, mb->left_border_v, &mb->corner_v, is422);
}

constexpr SvacReconFns kRecon8 = {reconstruct_intra<uint8_t>, save_mb_border<uint8_t>};
constexpr SvacReconFns kRecon16 = {reconstruct_intra<uint16_t>, save_mb_border<uint16_t>};

}  // namespace

const SvacReconFns *svac_recon_fns(int bit_depth_index) { return bit_depth_index ? &kRecon16 : &kRecon8; }

void VQ_SVACDEC_svac_modify_mb_i(SvacMacroblock *mb, int32_t *chroma_modes, int32_t intra_type) {
    int32_t *c8 = mb->intra_mode_cache_8x8;
    int32_t *c4 = mb->intra_mode_cache_4x4;
    int32_t *top = mb->top_intra_modes + 6 * mb->mb_x;
    if (intra_type >= 1) {
        c4[5] = c4[10] = c8[5];
        c4[15] = c4[20] = c8[8];
        c8[3] = c8[5];
        c8[6] = c8[8];
        const int32_t ll = c8[7], lr = c8[8];
        const int32_t t6[6] = {ll, ll, lr, lr, ll, lr};
        for (int i = 0; i < 6; i++) top[i] = t6[i];
    } else {
        c4[5] = c4[9];
        c4[10] = c4[14];
        c4[15] = c4[19];
        c4[20] = c4[24];
        c8[3] = c4[8];
        c8[6] = c4[18];
        const int32_t t6[6] = {c4[21], c4[22], c4[23], c4[24], c4[16], c4[18]};
        for (int i = 0; i < 6; i++) top[i] = t6[i];
    }
    const bool eight = intra_type >= 1;
    int32_t *cache = eight ? c8 : c4;
    if (!(mb->neighbour_flags & NB_LEFT)) {
        static constexpr int kLeft8[2] = {4, 7}, kLeft4[4] = {6, 11, 16, 21};
        for (int p : eight ? std::span<const int>(kLeft8) : std::span<const int>(kLeft4))
            cache[p] = substitute(left_modifier_l, cache[p]);
        chroma_modes[0] = substitute(left_modifier_c, chroma_modes[0]);
        chroma_modes[1] = substitute(left_modifier_c, chroma_modes[1]);
    }
    if (!(mb->neighbour_flags & NB_TOP)) {
        static constexpr int kTop8[2] = {4, 5}, kTop4[4] = {6, 7, 8, 9};
        for (int p : eight ? std::span<const int>(kTop8) : std::span<const int>(kTop4))
            cache[p] = substitute(top_modifier_l, cache[p]);
        chroma_modes[0] = substitute(top_modifier_c, chroma_modes[0]);
    }
}
