// Slice header, picture start and the macroblock loop of one slice.
#include "decoder/slice.h"

#include "debug.h"
#include "decoder/decoder.h"
#include "decoder/mb.h"
#include "decoder/slice_header.h"
#include "decoder/stepping.h"

namespace {

void set_picture_values(SvacDecoder *dec, SvacLayerState &l) {
    if (dec->slice_type == SLICE_I) dec->pic_type = PIC_I;
    else if (dec->slice_type == SLICE_P) dec->pic_type = PIC_P;
    else if (dec->slice_type == SLICE_B) dec->pic_type = PIC_B;
    l.cur_pic_num = 2 * dec->frame_num;
    const bool b = dec->pic_type == PIC_B;
    dec->ref_dist_tab[0] = (b ? l.ref_pic_num[0] - l.cur_pic_num : l.cur_pic_num - l.ref_pic_num[0]) & 0x1FF;
    dec->ref_dist_tab[1] = (l.cur_pic_num - l.ref_pic_num[1]) & 0x1FF;
    for (int r = 0; r < 2; r++)
        dec->ref_inv_dist_tab[r] = dec->ref_dist_tab[r] ? 512 / dec->ref_dist_tab[r] : 0;
    if (b) {
        dec->sym_scale = dec->ref_dist_tab[0] * dec->ref_inv_dist_tab[1];
    } else {
        for (int r = 0; r < 2; r++)
            dec->col_inv_dist_tab[r] = dec->ref_dist_tab[r] ? 16384 / dec->ref_dist_tab[r] : 0;
    }
}

void abandon_picture(SvacMacroblock &mb) {
    mb.picture_complete = 1;
    mb.mbs_remaining = 0;
}

int decode_i_macroblocks(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    svac_set_dump_info(dump_i);
    for (;;) {
        if (svac_br_bits_left(br) < 1) return 0;
        const int32_t mb_type = svac_br_read_ue(br);
        if (int r = decode_mb_i(dec, mb_type); r < 0) return r;
        if (!VQ_SVACDEC_svac_next_mb(dec)) return 0;
    }
}

// Outside every region of a picture whose regions skip the rest: such
// macroblocks carry no data.
bool outside_regions(SvacDecoder *dec) {
    return dec->cur_sps->roi_flag && dec->cur_pps->roi_skip_flag &&
           VQ_SVACDEC_get_roi_idx_of_mb(dec, svac_cur_layer(dec).mb.mb_addr) < 0;
}

// A skip run r means r skipped macroblocks and then one coded macroblock;
// macroblocks outside every region consume the run like skipped ones.
int decode_p_macroblocks(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    SvacMacroblock &mb = svac_cur_layer(dec).mb;
    svac_set_dump_info(dump_p);
    int32_t run = -1;
    for (;;) {
        const bool outside = outside_regions(dec);
        bool skipped = false;
        if (run < 0 && !outside) {
            run = svac_br_read_ue(br);
            skipped = run >= 1;
        } else if (run >= 0) {
            skipped = run >= 1;
        }
        run--;
        int r;
        if (skipped || outside) {
            r = decode_mb_p(dec, P_SKIP);
        } else {
            if (svac_br_bits_left(br) < 1) return 0;
            const int32_t mb_type = svac_br_read_ue(br);
            if (mb_type < 0) {
                abandon_picture(mb);
                return 0;
            }
            r = mb_type < 4 ? decode_mb_p(dec, mb_type + P_16X16) : decode_mb_i(dec, mb_type - 4);
        }
        if (r < 0) return r;
        if (!VQ_SVACDEC_svac_next_mb(dec)) return 0;
    }
}

}  // namespace

int decode_slice(SvacDecoder *dec) {
    SvacLayerState &l = svac_cur_layer(dec);
    if (int r = svac_decode_slice_header(dec); r < 0) {
        abandon_picture(l.mb);
        return r;
    }
    set_picture_values(dec, l);

    int r;
    if (dec->cur_pps->entropy_coding_flag || dec->pic_type == PIC_B) {
        // Arithmetic-coded slices and B pictures are not decoded yet.
        r = SVAC_ERR_INVALID;
    } else {
        r = dec->pic_type == PIC_I ? decode_i_macroblocks(dec) : decode_p_macroblocks(dec);
    }
    if (r < 0) {
        abandon_picture(l.mb);
        return r;
    }

    if (!l.mb.picture_complete) return 1;
    if (dec->pic_type == PIC_B) return 0;
    VQ_SVACDEC_frame_put(&l.ref_frame[1]);
    l.ref_frame[1] = l.ref_frame[0];
    l.ref_frame[0] = l.cur_frame;
    l.cur_frame = nullptr;
    l.ref_pic_num[1] = l.ref_pic_num[0];
    l.ref_pic_num[0] = l.cur_pic_num;
    l.cur_pic_num = 0;
    if (dec->cur_sps->roi_flag) l.mb.roi_remaining = dec->cur_pps->num_roi;
    dec->slice_count = 0;
    dec->left_slice_num = 0;
    for (int32_t x = 0; x < l.mb.lines_width; x++) l.mb.slice_num_left[x] = l.mb.slice_num_top[x] = 0;
    return 0;
}
