#include "decoder/param_sets.h"

#include <algorithm>
#include <cstring>

#include "decoder/decoder.h"
#include "mem/mem.h"

namespace {

// Region corners are 32-bit addresses; the arrays grow to the largest count
// seen for this identifier and are kept for the life of the instance.
// Every array of a set holds `capacity` entries at least, also one allocated
// after the others.
bool ensure_region_array(int32_t **arr, int32_t count, int32_t capacity) {
    if (*arr && count <= capacity) return true;
    VQ_SVACDEC_svac_freep(arr);
    *arr = svac_alloc_zeroed<int32_t>(static_cast<uint64_t>(std::max(count, capacity)));
    return *arr != nullptr;
}

}  // namespace

void decode_hrd_parameters(SvacDecoder *dec, SvacSeqParams *) {
    SvacBitReader *br = &dec->br;
    const int32_t count_minus1 = svac_br_read_ue(br);
    svac_br_skip(br, 8);
    if (count_minus1 < 0) {
        svac_br_skip(br, 15);
        return;
    }
    // A damaged count must not spin through zeros past the payload end.
    for (int32_t i = 0; i <= count_minus1 && svac_br_bits_left(br) > 0; i++) {
        svac_br_read_ue(br);
        svac_br_read_ue(br);
        svac_br_read1(br);
    }
    svac_br_skip(br, 15);
}

int decode_seq_parameter_set(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    SvacSeqParams s{};
    s.valid = 1;
    s.header_byte_0 = svac_br_read(br, 8);
    s.header_byte_1 = svac_br_read(br, 8);
    const int32_t sps_id = svac_br_read_ue(br);
    if (sps_id < 0 || sps_id >= SVAC_MAX_SPS) {
        std::printf("svac decoder error: sps, sps_id(%d)\n", sps_id);
        return SVAC_ERR_SPS;
    }
    s.chroma_format_idc = svac_br_read(br, 2);
    s.bit_depth_luma_minus8 = svac_br_read_ue(br);
    s.bit_depth_chroma_minus8 = svac_br_read_ue(br);
    s.mb_width = svac_br_read_ue(br) + 1;
    s.mb_height = svac_br_read_ue(br) + 1;
    s.frame_only_flag = svac_br_read1(br);
    s.roi_flag = svac_br_read1(br);
    s.svc_flag = svac_br_read1(br);
    s.vui_flag = svac_br_read1(br);
    if (s.vui_flag) {
        s.timing_flag = svac_br_read1(br);
        if (s.timing_flag) {
            s.timing_units = svac_br_read32(br);
            s.timing_scale = svac_br_read32(br);
            s.timing_fixed_flag = svac_br_read1(br);
        }
        s.hrd_flag = svac_br_read1(br);
        if (s.hrd_flag) {
            decode_hrd_parameters(dec, &s);
            svac_br_read1(br);
        }
        s.vui_ue_value = svac_br_read_ue(br);
    }

    if (dec->last_sps_id != -1) {
        const SvacSeqParams &o = dec->sps[dec->last_sps_id];
        if (o.roi_flag != s.roi_flag || o.svc_flag != s.svc_flag || o.mb_width != s.mb_width ||
            o.mb_height != s.mb_height) {
            std::printf("SVAC parameters change, must reinit. (%d %d %d %d) -> (%d %d %d %d)\n", o.roi_flag,
                        o.svc_flag, o.mb_width, o.mb_height, s.roi_flag, s.svc_flag, s.mb_width, s.mb_height);
            return SVAC_ERR_SPS;
        }
    }
    dec->last_sps_id = sps_id;
    dec->sps[sps_id] = s;
    if (static_cast<uint32_t>(s.mb_width) >= 0x7FFFFFFu || static_cast<uint32_t>(s.mb_height) >= 0x7FFFFFFu ||
        s.bit_depth_chroma_minus8 != s.bit_depth_luma_minus8)
        return SVAC_ERR_SPS;
    return 0;
}

int decode_picture_parameter_set(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    const int32_t pps_id = svac_br_read_ue(br);
    if (pps_id < 0 || pps_id >= SVAC_MAX_PPS) {
        std::printf("svac decoder error: pps,pps_id(%d)\n", pps_id);
        return SVAC_ERR_INVALID;
    }
    SvacPicParams *p = &dec->pps[pps_id];
    p->sps_id = svac_br_read_ue(br);
    p->valid = 1;
    // A set naming a sequence set outside the table is parsed as if that entry
    // were empty (8-bit, no regions, no scalability) and stored; the slice
    // header refuses it with its message when a slice selects it.
    static const SvacSeqParams kEmpty{};
    const SvacSeqParams &sps = (p->sps_id >= 0 && p->sps_id < SVAC_MAX_SPS) ? dec->sps[p->sps_id] : kEmpty;
    const int qp_bits = sps.bit_depth_luma_minus8 ? 7 : 6;

    p->entropy_coding_flag = svac_br_read1(br);
    p->pic_qp = svac_br_read(br, qp_bits);
    p->num_roi = 0;
    if (sps.roi_flag) {
        p->num_roi = svac_br_read_ue(br);
        if (p->num_roi < 1) {
            p->roi_skip_flag = 0;
            p->roi_qp = p->pic_qp;
        } else {
            // The syntax gives no bound: a count above the array size that the
            // picture geometry allows ((width x height) / 2 macroblocks) is
            // refused like an invalid identifier.
            const int64_t limit = static_cast<int64_t>(sps.mb_width) * sps.mb_height / 2;
            if (p->num_roi > limit) {
                p->num_roi = 0;
                return SVAC_ERR_INVALID;
            }
            const bool ok =
                ensure_region_array(&p->roi_first_mb, p->num_roi, p->roi_capacity) &&
                ensure_region_array(&p->roi_last_mb, p->num_roi, p->roi_capacity) &&
                (!sps.svc_flag || (ensure_region_array(&p->roi_first_mb_el, p->num_roi, p->roi_capacity) &&
                                   ensure_region_array(&p->roi_last_mb_el, p->num_roi, p->roi_capacity)));
            if (!ok) {
                p->num_roi = 0;
                return SVAC_ERR_NOMEM;
            }
            if (p->num_roi > p->roi_capacity) p->roi_capacity = p->num_roi;
            p->roi_skip_flag = svac_br_read1(br);
            p->roi_el_flag = (!p->roi_skip_flag && sps.svc_flag) ? svac_br_read1(br) : p->roi_skip_flag;
            p->roi_qp = svac_br_read(br, qp_bits);
            for (int32_t i = 0; i < p->num_roi; i++) {
                p->roi_first_mb[i] = svac_br_read_ue(br);
                p->roi_last_mb[i] = svac_br_read_ue(br);
            }
        }
    }
    p->fixed_qp_flag = svac_br_read1(br);
    p->aux_flag = svac_br_read1(br);
    p->lf_disable_flag = svac_br_read1(br);

    dec->layers[0].mb.roi_remaining = p->num_roi;
    dec->layers[1].mb.roi_remaining = p->num_roi;
    dec->slice_count = 0;
    dec->left_slice_num = 0;
    dec->el_width = 0;
    dec->el_height = 0;
    return 0;
}

void svac_free_param_sets(SvacDecoder *dec) {
    for (SvacPicParams &p : dec->pps) {
        VQ_SVACDEC_svac_freep(&p.roi_first_mb);
        VQ_SVACDEC_svac_freep(&p.roi_last_mb);
        VQ_SVACDEC_svac_freep(&p.roi_first_mb_el);
        VQ_SVACDEC_svac_freep(&p.roi_last_mb_el);
        p.roi_first_mb_active = p.roi_last_mb_active = nullptr;
        p.roi_capacity = 0;
    }
}
