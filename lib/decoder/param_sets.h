// Sequence and picture parameter sets.
#pragma once

#include <cstdint>

struct SvacDecoder;

inline constexpr int SVAC_MAX_SPS = 32;
inline constexpr int SVAC_MAX_PPS = 256;

struct SvacSeqParams {
    int32_t valid;
    int32_t header_byte_0;
    int32_t header_byte_1;
    int32_t chroma_format_idc;
    int32_t bit_depth_luma_minus8;
    int32_t bit_depth_chroma_minus8;
    int32_t frame_only_flag;
    int32_t roi_flag;
    int32_t svc_flag;
    int32_t mb_width;
    int32_t mb_height;
    int32_t vui_flag;
    int32_t timing_flag;
    uint32_t timing_units;
    uint32_t timing_scale;
    int32_t timing_fixed_flag;
    int32_t hrd_flag;
    int32_t vui_ue_value;
};

struct SvacPicParams {
    int32_t valid;
    int32_t sps_id;
    int32_t entropy_coding_flag;
    int32_t pic_qp;
    int32_t fixed_qp_flag;
    int32_t aux_flag;
    int32_t lf_disable_flag;
    int32_t num_roi;
    int32_t roi_skip_flag;
    int32_t roi_el_flag;
    int32_t roi_qp;
    int32_t *roi_first_mb_active;
    int32_t *roi_last_mb_active;
    int32_t *roi_first_mb_el;
    int32_t *roi_last_mb_el;
    int32_t *roi_first_mb;
    int32_t *roi_last_mb;
    // Entries of each region array (allocated once, reused for this id).
    int32_t roi_capacity;
};

// Both return 0 or a negative error (-5 for the sequence set; -1 or -2 for
// the picture set).
int decode_seq_parameter_set(SvacDecoder *dec);
int decode_picture_parameter_set(SvacDecoder *dec);
void decode_hrd_parameters(SvacDecoder *dec, SvacSeqParams *sps);

// Frees the region arrays of every stored picture parameter set.
void svac_free_param_sets(SvacDecoder *dec);
