#include "decoder/slice_header.h"

#include <cstdlib>

#include "decoder/decoder.h"
#include "decoder/lines.h"
#include "decoder/stepping.h"
#include "decoder/svc_roi.h"
#include "mem/mem.h"
#include "recon/inter_recon.h"
#include "recon/intra_recon.h"

namespace {

// Pictures larger than this per layer are refused like an allocation failure.
constexpr int32_t kMaxDimension = 8192;

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

// The parameter sets the slice names: 0 or -2 with its message.
int resolve_param_sets(SvacDecoder *dec, int32_t pps_id) {
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
    return 0;
}

void read_header(SvacBitReader *br, const SvacSeqParams *sps, const SvacPicParams *pps, bool keyframe,
                 SvacSliceHeader *h) {
    *h = SvacSliceHeader{};
    h->frame_num = svac_br_read(br, 8);
    if (keyframe) h->keyframe_id = svac_br_read_ue(br);
    h->field_read = !sps->frame_only_flag;
    if (h->field_read) {
        h->field_pic_flag = svac_br_read1(br);
        if (h->field_pic_flag) h->bottom_field_flag = svac_br_read1(br);
    }
    h->first_mb = svac_br_read_ue(br);
    h->slice_type = svac_br_read_ue(br);
    if (h->slice_type > 2) h->slice_type -= 3;
    h->single_ref_read = h->slice_type == SLICE_P || (h->slice_type == SLICE_B && h->field_pic_flag);
    if (h->single_ref_read) h->single_ref_flag = svac_br_read1(br);
    h->qp_read = !pps->fixed_qp_flag;
    if (h->qp_read) {
        h->fixed_qp_flag = svac_br_read1(br);
        h->qp_delta = svac_br_read_se(br);
    }
    if (!pps->lf_disable_flag) {
        h->lf_read = true;
        h->lf_override_flag = svac_br_read1(br);
        if (h->lf_override_flag) {
            h->lf_alpha_offset = svac_br_read_se(br);
            h->lf_beta_offset = svac_br_read_se(br);
        }
    }
}

// Takes the geometry, picture number and field values of the slice; 0, or
// -1 for a geometry the decoder refuses.
int take_picture_values(SvacDecoder *dec, const SvacSliceHeader &h) {
    const SvacSeqParams *sps = dec->cur_sps;
    dec->mb_width = sps->mb_width;
    dec->mb_height = sps->mb_height;
    dec->width = 16 * sps->mb_width;
    dec->height = 16 * sps->mb_height;
    dec->prev_frame_num = dec->frame_num;
    dec->frame_num = h.frame_num;
    if (dec->nal_unit_type == NAL_SLICE_BASE_KEY || dec->nal_unit_type == NAL_SLICE_ENH_KEY)
        dec->keyframe_id = h.keyframe_id;
    dec->field_pic_flag = 0;
    dec->field_parity = -1;
    if (h.field_read) {
        dec->field_pic_flag = h.field_pic_flag;
        if (h.field_pic_flag) {
            dec->bottom_field_flag = h.bottom_field_flag;
            dec->field_parity = h.bottom_field_flag;
        }
    }
    VQ_SVACDEC_init_svc_roi(dec);
    // A sequence set with an unusable geometry was stored but refused; its
    // slices are refused here before anything is sized from it.
    if (dec->mb_width < 1 || dec->mb_height < 1 || dec->width > kMaxDimension || dec->height > kMaxDimension)
        return SVAC_ERR_NOMEM;
    dec->mb_count = dec->mb_width * dec->mb_height;
    return 0;
}

// First macroblock, quantiser and filter values: 0 or -2.
int take_slice_values(SvacDecoder *dec, const SvacSliceHeader &h) {
    const SvacSeqParams *sps = dec->cur_sps;
    const SvacPicParams *pps = dec->cur_pps;
    SvacLayerState &l = svac_cur_layer(dec);
    dec->first_mb = h.first_mb;
    if (dec->first_mb < 0) return SVAC_ERR_INVALID;
    if (!sps->roi_flag && l.mb.mbs_remaining == dec->mb_count && dec->first_mb != 0) return SVAC_ERR_INVALID;
    // Nothing bounds first_mb otherwise: an address outside the picture is
    // refused like an invalid value.
    if (dec->first_mb >= dec->mb_count) return SVAC_ERR_INVALID;
    dec->slice_type = h.slice_type;
    if (h.single_ref_read) dec->single_ref_flag = h.single_ref_flag;
    if (h.qp_read) {
        dec->fixed_qp_flag = h.fixed_qp_flag;
        dec->qp_delta = h.qp_delta;
        const bool in_region =
            sps->roi_flag && pps->num_roi >= 1 && VQ_SVACDEC_get_roi_idx_of_mb(dec, dec->first_mb) >= 0;
        dec->qp = (in_region ? pps->roi_qp : pps->pic_qp) + dec->qp_delta;
    } else {
        dec->fixed_qp_flag = 1;
        dec->qp = pps->pic_qp;
    }
    // Quantisers index 56-entry tables; a slice starting outside 0..55 is
    // refused like any other invalid value.
    if (dec->qp < 0 || dec->qp > 55) return SVAC_ERR_INVALID;
    if (h.lf_read) {
        dec->lf_override_flag = h.lf_override_flag;
        if (h.lf_override_flag) {
            dec->lf_alpha_offset = h.lf_alpha_offset;
            dec->lf_beta_offset = h.lf_beta_offset;
        }
    }
    l.mb.mb_addr = dec->first_mb;
    dec->slice_count++;
    dec->lf_disable_flag = pps->lf_disable_flag;
    return 0;
}

int start_picture(SvacDecoder *dec, SvacLayerState &l) {
    // A slice that ends before its first macroblock must not complete it.
    l.mb.picture_complete = 0;
    l.mb.mbs_remaining = dec->mb_count;
    l.rows_extended = 0;
    VQ_SVACDEC_frame_put(&l.cur_frame);
    const SvacSeqParams *sps = dec->cur_sps;
    if (sps->chroma_format_idc < 0 || sps->chroma_format_idc > 2) {
        std::printf("error chroma format: %d\n", sps->chroma_format_idc);
        return SVAC_ERR_INVALID;
    }
    if (sps->bit_depth_luma_minus8 != sps->bit_depth_chroma_minus8 ||
        (sps->bit_depth_luma_minus8 != 0 && sps->bit_depth_luma_minus8 != 2)) {
        std::printf("unsupport bit depth format, luma %d, chroma %d\n", sps->bit_depth_luma_minus8 + 8,
                    sps->bit_depth_chroma_minus8 + 8);
        return SVAC_ERR_INVALID;
    }
    l.cur_frame = VQ_SVACDEC_frame_get(&l.pool, dec->width, dec->height, frame_format(sps));
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
    c.usable_refs = svac_usable_refs(c);
    c.edge_emu_buffer = dec->edge_emu_buffer;
}

}  // namespace

int svac_decode_slice_header(SvacDecoder *dec) {
    if (int r = resolve_param_sets(dec, svac_br_read_ue(&dec->br))) return r;
    if (layer_excluded(dec)) return SVAC_ERR_INVALID;
    SvacSliceHeader h;
    const bool keyframe = dec->nal_unit_type == NAL_SLICE_BASE_KEY || dec->nal_unit_type == NAL_SLICE_ENH_KEY;
    read_header(&dec->br, dec->cur_sps, dec->cur_pps, keyframe, &h);
    if (int r = take_picture_values(dec, h)) return r;
    if (int r = take_slice_values(dec, h)) return r;

    SvacLayerState &l = svac_cur_layer(dec);
    if (dec->frame_num != dec->prev_frame_num || l.mb.picture_complete) {
        if (int r = start_picture(dec, l)) return r;
    }
    // A slice that continues a picture must describe the same frame: another
    // parameter set with a different format or size cannot reuse it.
    const SvacFrame *f = l.cur_frame;
    if (!f || f->width != dec->width || f->height != dec->height || f->format != frame_format(dec->cur_sps))
        return SVAC_ERR_INVALID;
    dec->recon = svac_recon_fns(dec->cur_sps->bit_depth_luma_minus8);
    bind_recon_ctx(dec, l);
    if (!VQ_SVACDEC_svac_init_top_lines(dec)) return SVAC_ERR_NOMEM;
    return VQ_SVACDEC_svac_init_pic(dec);
}
