// The slice header: read into a record, checked against the parameter sets
// and the picture in progress, then the picture it belongs to is begun.
#pragma once

#include <cstdint>

struct SvacDecoder;

enum SvacSliceType : int32_t { SLICE_P = 0, SLICE_B = 1, SLICE_I = 2 };

// The syntax of a slice header after its picture parameter set identifier.
// Fields the syntax leaves out of a slice are not read (`*_read` false) and
// the decoder keeps its previous values for them.
struct SvacSliceHeader {
    int32_t frame_num;
    int32_t keyframe_id;
    bool field_read;
    int32_t field_pic_flag;
    int32_t bottom_field_flag;
    int32_t first_mb;
    int32_t slice_type;
    bool single_ref_read;
    int32_t single_ref_flag;
    bool qp_read;
    int32_t fixed_qp_flag;
    int32_t qp_delta;
    bool lf_read;
    int32_t lf_override_flag;
    int32_t lf_alpha_offset;
    int32_t lf_beta_offset;
};

// Reads and checks the header of the slice in the bit reader and begins its
// picture when it starts a new one: 0 or a negative error.
int svac_decode_slice_header(SvacDecoder *dec);
