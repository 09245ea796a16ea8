#include "decoder/svc_roi.h"

#include "decoder/decoder.h"
#include "decoder/stepping.h"
#include "mem/frame_pool.h"

void VQ_SVACDEC_roi_bound_in_el(SvacDecoder *dec, int32_t region_first, int32_t region_last,
                                int32_t *first_el, int32_t *last_el) {
    const int32_t b = dec->bl_width / 16, e = dec->el_width / 16;
    int32_t x1, y1, x2, y2;
    VQ_SVACDEC_get_mb_pos(region_first, b, dec->field_parity, &x1, &y1);
    VQ_SVACDEC_get_mb_pos(region_last, b, dec->field_parity, &x2, &y2);
    *first_el = 2 * y1 * e + 2 * x1;
    *last_el = (2 * y2 + 1) * e + 2 * x2 + 1;
}

void VQ_SVACDEC_init_svc_roi(SvacDecoder *dec) {
    SvacPicParams *pps = dec->cur_pps;
    if (!dec->cur_sps->svc_flag) {
        pps->roi_first_mb_active = pps->roi_first_mb;
        pps->roi_last_mb_active = pps->roi_last_mb;
        return;
    }
    if (!dec->bl_width || !dec->bl_height || !dec->el_width || !dec->el_height) {
        dec->bl_mb_width = dec->mb_width;
        dec->bl_mb_height = dec->mb_height;
        dec->bl_width = dec->width;
        dec->bl_height = dec->height;
        dec->el_mb_width = 2 * dec->bl_mb_width;
        dec->el_mb_height = 2 * dec->bl_mb_height;
        dec->el_width = 2 * dec->bl_width;
        dec->el_height = 2 * dec->bl_height;
        dec->bl_mb_count = dec->bl_mb_width * dec->bl_mb_height;
        dec->el_mb_count = dec->el_mb_width * dec->el_mb_height;
        if (dec->cur_sps->roi_flag && pps->roi_first_mb_el && pps->roi_last_mb_el)
            for (int32_t i = 0; i < pps->num_roi; i++)
                VQ_SVACDEC_roi_bound_in_el(dec, pps->roi_first_mb[i], pps->roi_last_mb[i],
                                           &pps->roi_first_mb_el[i], &pps->roi_last_mb_el[i]);
    }
    const bool enh = dec->nal_unit_type == NAL_SLICE_ENH || dec->nal_unit_type == NAL_SLICE_ENH_KEY;
    if (enh) {
        dec->mb_width = dec->el_mb_width;
        dec->mb_height = dec->el_mb_height;
        dec->width = dec->el_width;
        dec->height = dec->el_height;
        pps->roi_first_mb_active = pps->roi_first_mb_el;
        pps->roi_last_mb_active = pps->roi_last_mb_el;
    } else {
        dec->mb_width = dec->bl_mb_width;
        dec->mb_height = dec->bl_mb_height;
        dec->width = dec->bl_width;
        dec->height = dec->bl_height;
        pps->roi_first_mb_active = pps->roi_first_mb;
        pps->roi_last_mb_active = pps->roi_last_mb;
    }
}

SvacFrame *svac_find_base_picture(SvacDecoder *dec) {
    SvacLayerState &base = dec->layers[0];
    const int32_t num = dec->layers[1].cur_pic_num;
    SvacFrame *const frames[3] = {base.cur_frame, base.ref_frame[0], base.ref_frame[1]};
    const int32_t nums[3] = {base.cur_pic_num, base.ref_pic_num[0], base.ref_pic_num[1]};
    for (int i = 0; i < 3; i++) {
        SvacFrame *f = frames[i];
        if (nums[i] != num || !f) continue;
        // A base picture of another sample format or size (a later sequence
        // set may change the format) cannot be upsampled into this one: it
        // counts as missing rather than being read out of bounds.
        const SvacFrame *cur = dec->layers[1].cur_frame;
        if (!cur || f->format != cur->format || 2 * f->width != cur->width || 2 * f->height != cur->height)
            return nullptr;
        return f;
    }
    return nullptr;
}
