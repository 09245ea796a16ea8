#include "headers.h"

namespace svacenc {

void write_sps(BitWriter &bw, const SeqParams &sps) {
    bw.put(sps.header_byte_0, 8);
    bw.put(sps.header_byte_1, 8);
    bw.put_ue(static_cast<uint32_t>(sps.sps_id));
    bw.put(static_cast<uint32_t>(sps.chroma_format_idc), 2);
    bw.put_ue(static_cast<uint32_t>(sps.bit_depth - 8));
    bw.put_ue(static_cast<uint32_t>(sps.bit_depth - 8));
    bw.put_ue(static_cast<uint32_t>(sps.mb_width - 1));
    bw.put_ue(static_cast<uint32_t>(sps.mb_height - 1));
    bw.put1(sps.frame_only);
    bw.put1(sps.roi);
    bw.put1(sps.svc);
    bw.put1(sps.vui);
    if (!sps.vui) return;
    bw.put1(sps.timing);
    if (sps.timing) {
        bw.put(sps.timing_units, 32);
        bw.put(sps.timing_scale, 32);
        bw.put1(sps.timing_fixed);
    }
    bw.put1(sps.hrd);
    if (sps.hrd) {
        // The count is coded minus one and followed by eight unused bits.
        bw.put_ue(static_cast<uint32_t>(sps.hrd_entries.size() - 1));
        bw.put(sps.hrd_bits8, 8);
        for (const HrdEntry &e : sps.hrd_entries) {
            bw.put_ue(e.a);
            bw.put_ue(e.b);
            bw.put1(e.flag);
        }
        bw.put(sps.hrd_bits15, 15);
        bw.put1(sps.hrd_tail_bit);
    }
    bw.put_ue(sps.vui_value);
}

void write_pps(BitWriter &bw, const PicParams &pps, const SeqParams &sps) {
    bw.put_ue(static_cast<uint32_t>(pps.pps_id));
    bw.put_ue(static_cast<uint32_t>(pps.sps_id));
    bw.put1(pps.cabac);
    const int qp_bits = sps.bit_depth > 8 ? 7 : 6;
    bw.put(static_cast<uint32_t>(pps.pic_qp), qp_bits);
    if (sps.roi) {
        bw.put_ue(static_cast<uint32_t>(pps.roi_first.size()));
        if (!pps.roi_first.empty()) {
            bw.put1(pps.roi_skip);
            if (!pps.roi_skip && sps.svc) bw.put1(pps.roi_el);
            bw.put(static_cast<uint32_t>(pps.roi_qp), qp_bits);
            for (size_t i = 0; i < pps.roi_first.size(); i++) {
                bw.put_ue(static_cast<uint32_t>(pps.roi_first[i]));
                bw.put_ue(static_cast<uint32_t>(pps.roi_last[i]));
            }
        }
    }
    bw.put1(pps.fixed_qp);
    bw.put1(pps.aux);
    bw.put1(pps.lf_disable);
}

void write_slice_header(BitWriter &bw, const SliceHeader &sh, const PicParams &pps, const SeqParams &sps) {
    bw.put_ue(static_cast<uint32_t>(sh.pps_id));
    bw.put(static_cast<uint32_t>(sh.frame_num) & 0xFF, 8);
    if (sh.keyframe) bw.put_ue(sh.keyframe_id);
    if (!sps.frame_only) {
        bw.put1(sh.field_pic);
        if (sh.field_pic) bw.put1(sh.bottom_field);
    }
    bw.put_ue(static_cast<uint32_t>(sh.first_mb));
    bw.put_ue(static_cast<uint32_t>(sh.slice_type));
    const int type = sh.slice_type % 3;
    if (type == SLICE_P || (type == SLICE_B && sh.field_pic)) bw.put1(sh.single_ref);
    if (!pps.fixed_qp) {
        // The delta is present whenever the picture set leaves QP free; the
        // flag only decides whether macroblocks may change it.
        bw.put1(sh.fixed_qp);
        bw.put_se(sh.qp_delta);
    }
    if (!pps.lf_disable) {
        bw.put1(sh.lf_override);
        if (sh.lf_override) {
            bw.put_se(sh.lf_alpha_offset);
            bw.put_se(sh.lf_beta_offset);
        }
    }
}

int slice_base_qp(const PicParams &pps, bool in_region) {
    return in_region && !pps.roi_first.empty() ? pps.roi_qp : pps.pic_qp;
}

int slice_qp(const SliceHeader &sh, const PicParams &pps, bool in_region) {
    // A picture set that fixes QP fixes it to its own value, regions or not.
    return pps.fixed_qp ? pps.pic_qp : slice_base_qp(pps, in_region) + sh.qp_delta;
}

}  // namespace svacenc
