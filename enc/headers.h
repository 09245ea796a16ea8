// Parameter sets and slice headers as the generator writes them.
#pragma once

#include <cstdint>
#include <vector>

#include "bitwriter.h"

namespace svacenc {

struct HrdEntry {
    uint32_t a = 0, b = 0;
    bool flag = false;
};

struct SeqParams {
    uint8_t header_byte_0 = 0;
    uint8_t header_byte_1 = 0;
    int sps_id = 0;
    int chroma_format_idc = 1;  // 0 4:0:0, 1 4:2:0, 2 4:2:2
    int bit_depth = 8;          // 8 or 10, luma and chroma alike
    int mb_width = 1;
    int mb_height = 1;
    bool frame_only = true;
    bool roi = false;
    bool svc = false;
    // Optional part: timing and HRD syntax, parsed and ignored by decoders.
    bool vui = false;
    bool timing = false;
    uint32_t timing_units = 0, timing_scale = 0;
    bool timing_fixed = false;
    bool hrd = false;
    std::vector<HrdEntry> hrd_entries;  // at least one when hrd is set
    uint8_t hrd_bits8 = 0;
    uint16_t hrd_bits15 = 0;
    bool hrd_tail_bit = false;
    uint32_t vui_value = 0;
};

struct PicParams {
    int pps_id = 0;
    int sps_id = 0;
    bool cabac = false;
    int pic_qp = 32;
    bool fixed_qp = false;
    bool aux = false;
    bool lf_disable = false;
    // Regions of interest (written when the sequence enables them): corner
    // addresses of each rectangle in base-layer raster order.
    std::vector<int> roi_first, roi_last;
    bool roi_skip = false;  // P macroblocks outside every region carry no data
    bool roi_el = false;    // stored by decoders, no effect
    int roi_qp = 32;        // base quantiser of slices that start inside a region
};

enum SliceType : int { SLICE_P = 0, SLICE_B = 1, SLICE_I = 2 };

struct SliceHeader {
    int pps_id = 0;
    int frame_num = 0;      // 8 bits
    bool keyframe = false;  // NAL type 2: a keyframe identifier follows frame_num
    uint32_t keyframe_id = 0;
    bool field_pic = false;  // written only when the sequence is not frame-only
    bool bottom_field = false;
    int first_mb = 0;
    int slice_type = SLICE_I;  // 0..2; 3..5 code the same types
    bool single_ref = false;
    bool fixed_qp = false;  // written only when the picture set leaves QP free
    int qp_delta = 0;
    bool lf_override = false;  // written only when the picture set enables the filter
    int lf_alpha_offset = 0;
    int lf_beta_offset = 0;
};

void write_sps(BitWriter &bw, const SeqParams &sps);
void write_pps(BitWriter &bw, const PicParams &pps, const SeqParams &sps);
void write_slice_header(BitWriter &bw, const SliceHeader &sh, const PicParams &pps, const SeqParams &sps);

// The quantiser a slice starts with, and the value its delta is added to;
// `in_region`: the slice's first macroblock lies in a region.
int slice_qp(const SliceHeader &sh, const PicParams &pps, bool in_region);
int slice_base_qp(const PicParams &pps, bool in_region);

}  // namespace svacenc
