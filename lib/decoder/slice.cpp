// Slice header, picture start and the macroblock loop of one slice.
#include "decoder/slice.h"

#include <algorithm>

#include "cabac/elements.h"
#include "debug.h"
#include "decoder/decoder.h"
#include "decoder/mb.h"
#include "decoder/slice_header.h"
#include "decoder/stepping.h"
#include "recon/inter_recon.h"

namespace {

void set_picture_values(SvacDecoder *dec, SvacLayerState &l) {
    if (dec->slice_type == SLICE_I)
        dec->pic_type = PIC_I;
    else if (dec->slice_type == SLICE_P)
        dec->pic_type = PIC_P;
    else if (dec->slice_type == SLICE_B)
        dec->pic_type = PIC_B;
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

bool cabac_slice(const SvacDecoder *dec) { return dec->cur_pps->entropy_coding_flag; }

// The arithmetic-coded data starts at the next byte boundary and runs to
// the end of the slice data; the rest of the payload may be read past it.
void start_cabac(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    br->index = (br->index + 7) & ~7;
    const int32_t length = std::max((br->size_in_bits - br->index + 7) / 8, 0);
    const uint8_t *data = br->buffer + br->index / 8;
    VQ_SVACDEC_cabac_init(&dec->cabac, std::min(data, dec->payload_end), length, dec->payload_end);
}

// After a macroblock of a CABAC slice: -8 once the slice has read far past
// its data, 1 when the slice ends after this macroblock, else 0.
int cabac_mb_end(SvacDecoder *dec) {
    if (svac_cabac_broken(&dec->cabac)) return SVAC_ERR_BITSTREAM;
    const int end = VQ_SVACDEC_cabac_decode_end_of_slice_flag(&dec->cabac);
    return svac_cabac_broken(&dec->cabac) ? SVAC_ERR_BITSTREAM : end;
}

// Steps to the next macroblock: 1 when the slice goes on, 0 when it ends,
// or a negative error.
int next_mb(SvacDecoder *dec) {
    if (cabac_slice(dec)) {
        const int end = cabac_mb_end(dec);
        if (end < 0) return end;
        if (end) {
            VQ_SVACDEC_svac_next_mb(dec);
            return 0;
        }
    }
    return VQ_SVACDEC_svac_next_mb(dec);
}

int decode_i_macroblocks(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    SvacMacroblock &mb = svac_cur_layer(dec).mb;
    svac_set_dump_info(dump_i);
    for (;;) {
        if (svac_br_bits_left(br) < 1) return 0;
        int32_t mb_type;
        if (cabac_slice(dec)) {
            // A first bin of 1 is no type at all.
            mb_type = cabac_decode_mb_type_i(&dec->cabac, &mb);
            if (mb_type < 0) return SVAC_ERR_INVALID;
        } else {
            mb_type = svac_br_read_ue(br);
        }
        if (int r = decode_mb_i(dec, mb_type); r < 0) return r;
        if (int r = next_mb(dec); r <= 0) return r;
    }
}

// Outside every region of a picture whose regions skip the rest: such
// macroblocks carry no data.
bool outside_regions(SvacDecoder *dec) {
    return dec->cur_sps->roi_flag && dec->cur_pps->roi_skip_flag &&
           VQ_SVACDEC_get_roi_idx_of_mb(dec, svac_cur_layer(dec).mb.mb_addr) < 0;
}

// A skip run r means r skipped macroblocks and then one coded macroblock;
// macroblocks outside every region consume the run like skipped ones. B
// types 0..22 are inter, larger ones intra; a failed type code becomes the
// invalid internal type 4.
int decode_inter_macroblocks(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    SvacMacroblock &mb = svac_cur_layer(dec).mb;
    const bool b = dec->pic_type == PIC_B;
    svac_set_dump_info(b ? dump_b : dump_p);
    int32_t run = -1;
    for (;;) {
        const bool outside = outside_regions(dec);
        bool skipped = false;
        if (cabac_slice(dec)) {
            skipped = cabac_decode_mb_skip_flag(&dec->cabac) > 0;
        } else if (run < 0 && !outside) {
            run = svac_br_read_ue(br);
            skipped = run >= 1;
        } else if (run >= 0) {
            skipped = run >= 1;
        }
        run--;
        int r;
        if (skipped || outside) {
            r = b ? decode_mb_b(dec, B_SKIP) : decode_mb_p(dec, P_SKIP);
        } else if (svac_br_bits_left(br) < 1) {
            return 0;
        } else if (b) {
            const int32_t mb_type =
                cabac_slice(dec) ? cabac_decode_mb_type_b(&dec->cabac, &mb) : svac_br_read_ue(br);
            r = mb_type < 23 ? decode_mb_b(dec, mb_type + B_DIRECT_16X16) : decode_mb_i(dec, mb_type - 23);
        } else {
            const int32_t mb_type =
                cabac_slice(dec) ? cabac_decode_mb_type_p(&dec->cabac, &mb) : svac_br_read_ue(br);
            if (mb_type < 0) {
                abandon_picture(mb);
                return 0;
            }
            r = mb_type < 4 ? decode_mb_p(dec, mb_type + P_16X16) : decode_mb_i(dec, mb_type - 4);
        }
        if (r < 0) return r;
        if (r = next_mb(dec); r <= 0) return r;
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

    if (cabac_slice(dec)) start_cabac(dec);
    const int r = dec->pic_type == PIC_I ? decode_i_macroblocks(dec) : decode_inter_macroblocks(dec);
    if (r < 0) {
        abandon_picture(l.mb);
        return r;
    }

    if (!l.mb.picture_complete) return 1;
    if (dec->pic_type == PIC_B) return 0;
    svac_extend_reference(l.cur_frame, l.rows_extended);
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
