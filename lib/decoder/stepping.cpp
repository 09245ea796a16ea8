#include "decoder/stepping.h"

#include <cstring>

#include "decoder/decoder.h"

namespace {

void reset_left_column(SvacMacroblock *mb) {
    for (int l = 0; l < 2; l++)
        for (int i : {0, 4, 8}) mb->mv_cache[l][i] = svac_unavail_mv;
    mb->intra_mode_cache_8x8[3] = mb->intra_mode_cache_8x8[6] = -1;
    for (int i : {5, 10, 15, 20}) mb->intra_mode_cache_4x4[i] = -1;
}

bool high_depth(const SvacDecoder *dec) { return dec->cur_sps->bit_depth_luma_minus8 != 0; }

// The next macroblock of the same row starts 16 luma and 8 chroma samples on.
void step_dst_pointers(SvacDecoder *dec, SvacMacroblock *mb) {
    const int shift = high_depth(dec) ? 1 : 0;
    uint8_t *y = mb->dst_y, *u = mb->dst_u, *v = mb->dst_v;
    mb->dst_y = y + (16 << shift);
    if (u) {
        mb->dst_u = u + (8 << shift);
        mb->dst_v = v + (8 << shift);
    }
}

void set_dst_pointers(SvacDecoder *dec, SvacMacroblock *mb) {
    const SvacFrame *f = svac_cur_layer(dec).cur_frame;
    const int sample = high_depth(dec) ? 2 : 1;
    const int64_t x = mb->mb_x, y = mb->mb_y;
    mb->dst_y = f->plane[0] + x * 16 * sample + 16 * y * f->stride[0];
    if (f->plane_count > 1) {
        const int rows = dec->cur_sps->chroma_format_idc == 2 ? 16 : 8;
        mb->dst_u = f->plane[1] + x * 8 * sample + rows * y * f->stride[1];
        mb->dst_v = f->plane[2] + x * 8 * sample + rows * y * f->stride[2];
    } else {
        mb->dst_u = mb->dst_v = nullptr;
    }
}

void set_position(SvacDecoder *dec, SvacMacroblock *mb, int32_t addr) {
    mb->mb_addr = addr;
    VQ_SVACDEC_get_mb_pos(addr, dec->mb_width, dec->field_parity, &mb->mb_x, &mb->mb_y);
}

// First address after `from` with region index g, or mb_count.
int32_t next_in_region(SvacDecoder *dec, int32_t from, int32_t g) {
    if (!dec->cur_sps->roi_flag) return from + 1 < dec->mb_count ? from + 1 : dec->mb_count;
    for (int32_t a = from + 1; a < dec->mb_count; a++)
        if (VQ_SVACDEC_get_roi_idx_of_mb(dec, a) == g) return a;
    return dec->mb_count;
}

// The finished macroblock's right and bottom motion entries become the next
// macroblock's left and the row below's top neighbours.
void shift_motion_caches(SvacMacroblock *mb) {
    const int32_t x = mb->mb_x;
    SvacMvEntry *top[2] = {mb->top_mv[0] + 2 * x, mb->top_mv[1] + 2 * x};
    for (int l = 0; l < 2; l++) {
        SvacMvEntry *c = mb->mv_cache[l];
        c[0] = c[2];
        c[4] = c[6];
        c[8] = c[10];
    }
    // The line entries are written last, the two of a list in one copy: the
    // line is read again only a row later.
    for (int l = 0; l < 2; l++) std::memcpy(top[l], &mb->mv_cache[l][9], 2 * sizeof(SvacMvEntry));
}

// Neighbours in raster order without regions: inside the picture and not
// before the slice's first macroblock.
uint32_t raster_availability(int32_t x, int32_t y, int32_t w, int32_t addr, int32_t first_mb) {
    // Past the slice's first row and column: all but the upper right at the right edge.
    if (x > 0 && addr - w - 1 >= first_mb)
        return NB_LEFT | NB_TOP | NB_TOP_LEFT | (x < w - 1 ? NB_TOP_RIGHT : 0u);
    const uint32_t left = x > 0 && addr - 1 >= first_mb;
    const uint32_t top = y > 0 && addr - w >= first_mb;
    const uint32_t top_right = y > 0 && x < w - 1 && addr - w + 1 >= first_mb;
    const uint32_t top_left = x > 0 && y > 0 && addr - w - 1 >= first_mb;
    return left * NB_LEFT | top * NB_TOP | top_right * NB_TOP_RIGHT | top_left * NB_TOP_LEFT;
}

// Leaves the finished macroblock's slice number to its right and lower
// neighbours and moves the record to (nx, ny).
inline void move_to(SvacDecoder *dec, SvacMacroblock *mb, int32_t addr, int32_t nx, int32_t ny) {
    const int32_t ox = mb->mb_x, oy = mb->mb_y, s = dec->slice_count;
    if (ny == oy + 1 && nx == ox) mb->slice_num_top[ox] = s;
    mb->slice_num_left[ox] = s;
    if (nx > 0) dec->left_slice_num = mb->slice_num_top[nx - 1];
    mb->mb_addr = addr;
    mb->mb_x = nx;
    mb->mb_y = ny;
}

// The step in raster order when the stream has no regions: the following
// address, its availability computed in place and its sample pointers
// advanced along the row.
int32_t next_mb_raster(SvacDecoder *dec, SvacMacroblock *mb) {
    const int32_t ox = mb->mb_x, w = dec->mb_width;
    int32_t nx = ox + 1, ny = mb->mb_y;
    if (nx == w) {
        nx = 0;
        ny++;
    }
    const int32_t s = dec->slice_count;
    move_to(dec, mb, mb->mb_addr + 1, nx, ny);
    mb->neighbour_flags = raster_availability(nx, ny, w, mb->mb_addr, dec->first_mb);
    mb->slice_num_top[ox] = s;
    mb->slice_num_top[nx] = s;
    if (nx != 0) {
        step_dst_pointers(dec, mb);
        return 1;
    }
    set_dst_pointers(dec, mb);
    reset_left_column(mb);
    return ny != dec->mb_height;
}

}  // namespace

void VQ_SVACDEC_get_mb_pos(int32_t addr, int32_t mb_width, int32_t, int32_t *x, int32_t *y) {
    *x = addr % mb_width;
    *y = addr / mb_width;
}

int32_t VQ_SVACDEC_get_mb_idx(int32_t mb_width, int32_t, int32_t x, int32_t y) { return y * mb_width + x; }

int32_t VQ_SVACDEC_get_roi_idx_of_mb(SvacDecoder *dec, int32_t addr) {
    const SvacPicParams *pps = dec->cur_pps;
    if (!pps || pps->num_roi < 1 || !pps->roi_first_mb_active || !pps->roi_last_mb_active) return -1;
    int32_t x, y;
    VQ_SVACDEC_get_mb_pos(addr, dec->mb_width, dec->field_parity, &x, &y);
    for (int32_t i = 0; i < pps->num_roi; i++) {
        int32_t fx, fy, lx, ly;
        VQ_SVACDEC_get_mb_pos(pps->roi_first_mb_active[i], dec->mb_width, dec->field_parity, &fx, &fy);
        VQ_SVACDEC_get_mb_pos(pps->roi_last_mb_active[i], dec->mb_width, dec->field_parity, &lx, &ly);
        if (fx <= x && x <= lx && fy <= y && y <= ly) return i;
    }
    return -1;
}

void VQ_SVACDEC_check_availability_of_neighbors(SvacDecoder *dec) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int32_t x = mb->mb_x, y = mb->mb_y, w = dec->mb_width;
    const int32_t addr = mb->mb_addr;
    const bool has[4] = {x > 0, y > 0, y > 0 && x<w - 1, x> 0 && y > 0};
    const int32_t nb_addr[4] = {addr - 1, addr - w, addr - w + 1, addr - w - 1};
    uint32_t flags = 0;
    if (!dec->cur_sps->roi_flag) {
        flags = raster_availability(x, y, w, addr, dec->first_mb);
    } else {
        const int32_t g = VQ_SVACDEC_get_roi_idx_of_mb(dec, addr);
        const int32_t s = dec->slice_count;
        for (int i = 0; i < 4; i++) {
            if (!has[i] || VQ_SVACDEC_get_roi_idx_of_mb(dec, nb_addr[i]) != g) continue;
            if (g < 0) {
                // Slice numbers of the left, top, top-right and top-left neighbours.
                const int32_t nb_slice[4] = {mb->slice_num_left[x - (x > 0)], mb->slice_num_top[x],
                                             mb->slice_num_top[x + (x < w - 1)], dec->left_slice_num};
                if (nb_slice[i] != s) continue;
            }
            flags |= 1u << i;
        }
    }
    mb->neighbour_flags = flags;
}

int32_t VQ_SVACDEC_svac_init_pic(SvacDecoder *dec) {
    SvacLayerState &l = svac_cur_layer(dec);
    SvacMacroblock *mb = &l.mb;
    for (int list = 0; list < 2; list++)
        for (int i : kMvOwnBlocks) mb->mv_cache[list][i] = svac_dir_mv;
    reset_left_column(mb);
    mb->stride_y = l.cur_frame->stride[0];
    mb->stride_c = l.cur_frame->stride[1];
    const int32_t s = high_depth(dec) ? 8 : 4;
    const int32_t L = 4 * static_cast<int32_t>(mb->stride_y);
    const int32_t o8[4] = {0, 2 * s, 2 * L, 2 * s + 2 * L};
    const int32_t o4[16] = {
        0,     s,         L,     s + L,     2 * s,         3 * s,         2 * s + L,     3 * s + L,
        2 * L, s + 2 * L, 3 * L, s + 3 * L, 2 * s + 2 * L, 3 * s + 2 * L, 2 * s + 3 * L, 3 * s + 3 * L};
    for (int i = 0; i < 4; i++) mb->blk_offset_8x8[i] = o8[i];
    for (int i = 0; i < 16; i++) mb->blk_offset_4x4[i] = o4[i];
    mb->neighbour_flags = 0;
    set_position(dec, mb, dec->first_mb);
    set_dst_pointers(dec, mb);
    return 0;
}

void VQ_SVACDEC_svac_init_mb(SvacDecoder *dec) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int32_t x = mb->mb_x;
    // Byte stores may alias every field, so the fields are read first.
    uint32_t flags = mb->neighbour_flags;
    const SvacMvEntry *top[2] = {mb->top_mv[0] + 2 * x, mb->top_mv[1] + 2 * x};
    mb->cbp = 0;
    std::memset(mb->cbp_4x4, 0, sizeof mb->cbp_4x4);
    mb->svc_mode_flag = 0;
    mb->dir_code[0] = mb->dir_code[2];
    mb->dir_code[3] = mb->dir_code[5];
    // Three neighbouring entries in one copy per list.
    for (int l = 0; l < 2; l++) std::memcpy(&mb->mv_cache[l][1], top[l], 3 * sizeof(SvacMvEntry));
    if (!(flags & NB_TOP))
        for (int l = 0; l < 2; l++) mb->mv_cache[l][1] = mb->mv_cache[l][2] = svac_unavail_mv;
    if (x == dec->mb_width - 1) flags &= ~NB_TOP_RIGHT;
    mb->neighbour_flags = flags;
    if (!(flags & NB_TOP_RIGHT))
        for (int l = 0; l < 2; l++) mb->mv_cache[l][3] = svac_unavail_mv;
    if (flags & NB_TOP_LEFT) {
        if (flags & NB_LEFT) return;
        for (int l = 0; l < 2; l++) mb->mv_cache[l][0] = top[l][-1];
    } else {
        for (int l = 0; l < 2; l++) mb->mv_cache[l][0] = svac_unavail_mv;
        if (flags & NB_LEFT) return;
    }
    for (int l = 0; l < 2; l++) mb->mv_cache[l][4] = mb->mv_cache[l][8] = svac_unavail_mv;
    mb->intra_mode_cache_8x8[3] = mb->intra_mode_cache_8x8[6] = -1;
    for (int i : {5, 10, 15, 20}) mb->intra_mode_cache_4x4[i] = -1;
    mb->dir_code[0] = mb->dir_code[3] = -1;
}

void svac_load_top_intra_modes(SvacMacroblock *mb) {
    int32_t *c4 = mb->intra_mode_cache_4x4, *c8 = mb->intra_mode_cache_8x8;
    if (!(mb->neighbour_flags & NB_TOP)) {
        c8[1] = c8[2] = -1;
        for (int i = 1; i <= 4; i++) c4[i] = -1;
        return;
    }
    int32_t top[6];
    std::memcpy(top, mb->top_intra_modes + 6 * mb->mb_x, sizeof top);
    for (int i = 0; i < 4; i++) c4[1 + i] = top[i];
    c8[1] = top[4];
    c8[2] = top[5];
}

int32_t VQ_SVACDEC_svac_next_mb(SvacDecoder *dec) {
    SvacLayerState &layer = svac_cur_layer(dec);
    SvacMacroblock *mb = &layer.mb;
    shift_motion_caches(mb);
    layer.mb.mbs_remaining--;
    if (mb->mbs_remaining == 0) {
        mb->picture_complete = 1;
        mb->mbs_remaining = dec->mb_count;
    } else {
        mb->picture_complete = 0;
    }
    if (!dec->cur_sps->roi_flag) return next_mb_raster(dec, mb);

    const int32_t g = VQ_SVACDEC_get_roi_idx_of_mb(dec, mb->mb_addr);
    const int32_t next = next_in_region(dec, mb->mb_addr, g);

    const int32_t ox = mb->mb_x, oy = mb->mb_y;
    int32_t nx = ox + 1, ny = oy;
    // The next address is almost always the following one: no division then.
    if (next != mb->mb_addr + 1) {
        VQ_SVACDEC_get_mb_pos(next, dec->mb_width, dec->field_parity, &nx, &ny);
    } else if (nx == dec->mb_width) {
        nx = 0;
        ny++;
    }
    const int32_t s = dec->slice_count;
    move_to(dec, mb, next, nx, ny);
    VQ_SVACDEC_check_availability_of_neighbors(dec);
    mb->slice_num_top[ox] = s;
    mb->slice_num_top[nx] = s;
    set_dst_pointers(dec, mb);

    if (mb->mb_x != 0 && ny != oy + 1) return 1;
    reset_left_column(mb);
    if (mb->mb_y != dec->mb_height) return 1;

    const SvacPicParams *pps = dec->cur_pps;
    if (!dec->cur_sps->roi_flag || g < 0) return 0;
    mb->roi_remaining--;
    if (!((dec->pic_type == PIC_P || dec->pic_type == PIC_B) && mb->roi_remaining == 0 && pps->roi_skip_flag))
        return 0;
    int32_t outside = dec->mb_count;
    for (int32_t a = 0; a < dec->mb_count; a++)
        if (VQ_SVACDEC_get_roi_idx_of_mb(dec, a) == -1) {
            outside = a;
            break;
        }
    set_position(dec, mb, outside);
    VQ_SVACDEC_check_availability_of_neighbors(dec);
    set_dst_pointers(dec, mb);
    mb->roi_remaining = pps->num_roi;
    return outside < dec->mb_count ? 1 : 0;
}
