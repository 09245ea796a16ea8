// Slice header, picture start and the macroblock loop of one slice.
#include "decoder/slice.h"

#include <algorithm>
#include <cstdlib>

#include "cabac/elements.h"
#include "debug.h"
#include "decoder/decoder.h"
#include "decoder/mb.h"
#include "decoder/svc_roi.h"
#include "mem/mem.h"
#include "recon/intra_recon.h"
#include "decoder/lines.h"
#include "decoder/stepping.h"

namespace {

// Pictures larger than this per layer are refused like an allocation failure.
constexpr int32_t kMaxDimension = 8192;

enum SliceType : int32_t { SLICE_P = 0, SLICE_B = 1, SLICE_I = 2 };

bool enhancement_slice(const SvacDecoder *dec) {
    return dec->nal_unit_type == NAL_SLICE_ENH || dec->nal_unit_type == NAL_SLICE_ENH_KEY;
}

bool layer_excluded(const SvacDecoder *dec) {
    const bool enh = enhancement_slice(dec);
    if (!dec->cur_sps->svc_flag) return enh;
    const uint32_t m = dec->layer_mask & 3;
    if (m == 1) return enh;
    if (m == 2) return !enh;
    return false;
}

int32_t frame_format(const SvacSeqParams *sps) {
    return sps->chroma_format_idc + 1 + (sps->bit_depth_luma_minus8 == 2 ? 100 : 0);
}

int start_picture(SvacDecoder *dec, SvacLayerState &l) {
    l.mb.mbs_remaining = dec->mb_count;
    VQ_SVACDEC_frame_put(&l.cur_frame);
    const SvacSeqParams *sps = dec->cur_sps;
    if (sps->chroma_format_idc < 0 || sps->chroma_format_idc > 2) {
        std::printf("error chroma format: %d\n", sps->chroma_format_idc);
        return SVAC_ERR_INVALID;
    }
    int32_t format = sps->chroma_format_idc + 1;
    if (sps->bit_depth_luma_minus8 != sps->bit_depth_chroma_minus8 ||
        (sps->bit_depth_luma_minus8 != 0 && sps->bit_depth_luma_minus8 != 2)) {
        std::printf("unsupport bit depth format, luma %d, chroma %d\n",
                    sps->bit_depth_luma_minus8 + 8, sps->bit_depth_chroma_minus8 + 8);
        return SVAC_ERR_INVALID;
    }
    if (sps->bit_depth_luma_minus8 == 2) format += 100;
    l.cur_frame = VQ_SVACDEC_frame_get(&l.pool, dec->width, dec->height, format);
    if (!l.cur_frame) return SVAC_ERR_NOMEM;
    if (!dec->edge_emu_buffer) {
        const int64_t row = (std::abs(l.cur_frame->stride[0]) + 63) & ~int64_t(31);
        dec->edge_emu_buffer = svac_alloc_zeroed<uint8_t>(row * 96);
        if (!dec->edge_emu_buffer) return SVAC_ERR_NOMEM;
    }
    return 0;
}

void bind_recon_ctx(SvacDecoder *dec, const SvacLayerState &l) {
    SvacReconCtx &c = dec->recon_ctx;
    c.bit_depth_idx = dec->cur_sps->bit_depth_luma_minus8;
    c.chroma_format_idc = dec->cur_sps->chroma_format_idc;
    c.field_pic_flag = dec->field_pic_flag;
    c.width = dec->width;
    c.height = dec->height;
    c.lf_disable_flag = dec->lf_disable_flag;
    c.lf_alpha_offset = dec->lf_alpha_offset;
    c.lf_beta_offset = dec->lf_beta_offset;
    c.cur_frame = l.cur_frame;
    c.ref_frame[0] = l.ref_frame[0];
    c.ref_frame[1] = l.ref_frame[1];
    c.edge_emu_buffer = dec->edge_emu_buffer;
}

}  // namespace

int svac_decode_slice_header(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    const int32_t pps_id = svac_br_read_ue(br);
    if (pps_id < 0 || pps_id >= SVAC_MAX_PPS) {
        std::printf("svac dcoder error: pps_id(%d)\n", pps_id);
        return SVAC_ERR_INVALID;
    }
    dec->pps_id = pps_id;
    dec->cur_pps = &dec->pps[pps_id];
    const int32_t sps_id = dec->cur_pps->sps_id;
    if (sps_id < 0 || sps_id >= SVAC_MAX_SPS) {
        std::printf("svac dcoder error: sps_id(%d)\n", sps_id);
        return SVAC_ERR_INVALID;
    }
    dec->cur_sps = &dec->sps[sps_id];
    const SvacSeqParams *sps = dec->cur_sps;
    const SvacPicParams *pps = dec->cur_pps;
    if (layer_excluded(dec)) return SVAC_ERR_INVALID;
    dec->mb_width = sps->mb_width;
    dec->mb_height = sps->mb_height;
    dec->width = 16 * sps->mb_width;
    dec->height = 16 * sps->mb_height;

    dec->prev_frame_num = dec->frame_num;
    dec->frame_num = svac_br_read(br, 8);
    if (dec->nal_unit_type == NAL_SLICE_BASE_KEY || dec->nal_unit_type == NAL_SLICE_ENH_KEY)
        dec->keyframe_id = svac_br_read_ue(br);
    dec->field_pic_flag = 0;
    dec->field_parity = -1;
    if (!sps->frame_only_flag) {
        dec->field_pic_flag = svac_br_read1(br);
        if (dec->field_pic_flag) {
            dec->bottom_field_flag = svac_br_read1(br);
            dec->field_parity = dec->bottom_field_flag;
        }
    }
    VQ_SVACDEC_init_svc_roi(dec);
    // A sequence set with an unusable geometry was stored but refused; its
    // slices are refused here before anything is sized from it.
    if (dec->mb_width < 1 || dec->mb_height < 1 || dec->width > kMaxDimension ||
        dec->height > kMaxDimension)
        return SVAC_ERR_NOMEM;
    dec->mb_count = dec->mb_width * dec->mb_height;

    SvacLayerState &l = svac_cur_layer(dec);
    dec->first_mb = svac_br_read_ue(br);
    if (dec->first_mb < 0) return SVAC_ERR_INVALID;
    if (!sps->roi_flag && l.mb.mbs_remaining == dec->mb_count && dec->first_mb != 0)
        return SVAC_ERR_INVALID;
    // Nothing bounds first_mb otherwise: an address outside the picture is
    // refused like an invalid value.
    if (dec->first_mb >= dec->mb_count) return SVAC_ERR_INVALID;
    dec->slice_type = svac_br_read_ue(br);
    if (dec->slice_type > 2) dec->slice_type -= 3;
    if (dec->slice_type == SLICE_P || (dec->slice_type == SLICE_B && dec->field_pic_flag))
        dec->single_ref_flag = svac_br_read1(br);
    if (!pps->fixed_qp_flag) {
        dec->fixed_qp_flag = svac_br_read1(br);
        dec->qp_delta = svac_br_read_se(br);
        const bool in_region = sps->roi_flag && pps->num_roi >= 1 &&
                               VQ_SVACDEC_get_roi_idx_of_mb(dec, dec->first_mb) >= 0;
        dec->qp = (in_region ? pps->roi_qp : pps->pic_qp) + dec->qp_delta;
    } else {
        dec->fixed_qp_flag = 1;
        dec->qp = pps->pic_qp;
    }
    // Quantisers index 56-entry tables; a slice starting outside 0..55 is
    // refused like any other invalid value.
    if (dec->qp < 0 || dec->qp > 55) return SVAC_ERR_INVALID;
    if (!pps->lf_disable_flag) {
        dec->lf_override_flag = svac_br_read1(br);
        if (dec->lf_override_flag) {
            dec->lf_alpha_offset = svac_br_read_se(br);
            dec->lf_beta_offset = svac_br_read_se(br);
        }
    }

    l.mb.mb_addr = dec->first_mb;
    dec->slice_count++;
    dec->lf_disable_flag = pps->lf_disable_flag;
    if (dec->frame_num != dec->prev_frame_num || l.mb.picture_complete) {
        if (int r = start_picture(dec, l)) return r;
    }
    // A slice that continues a picture must describe the same frame: another
    // parameter set with a different format or size cannot reuse it.
    const SvacFrame *f = l.cur_frame;
    if (!f || f->width != dec->width || f->height != dec->height ||
        f->format != frame_format(sps))
        return SVAC_ERR_INVALID;
    dec->recon = svac_recon_fns(sps->bit_depth_luma_minus8);
    bind_recon_ctx(dec, l);
    if (!VQ_SVACDEC_svac_init_top_lines(dec)) return SVAC_ERR_NOMEM;
    return VQ_SVACDEC_svac_init_pic(dec);
}

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
    DUMP_INFO = dump_i ? 1 : 0;
    for (;;) {
        if (svac_br_bits_left(br) < 1) return 0;
        const int32_t mb_type = cabac_slice(dec) ? cabac_decode_mb_type_i(&dec->cabac, &mb) : svac_br_read_ue(br);
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
// macroblocks outside every region consume the run like skipped ones.
int decode_p_macroblocks(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    SvacMacroblock &mb = svac_cur_layer(dec).mb;
    DUMP_INFO = dump_p ? 1 : 0;
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
            r = decode_mb_p(dec, P_SKIP);
        } else {
            if (svac_br_bits_left(br) < 1) return 0;
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

    int r;
    if (dec->pic_type == PIC_B) {
        // B pictures are not decoded yet.
        r = SVAC_ERR_INVALID;
    } else {
        if (cabac_slice(dec)) start_cabac(dec);
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
