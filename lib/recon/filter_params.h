// Everything the deblocking filter needs about one macroblock, filled by the
// macroblock decoders once cbp and quantiser are known.
#pragma once

#include <cstdint>

#include "recon/mv.h"

struct SvacFilterParams {
    // Top-left sample of the macroblock in each plane (16-bit samples when
    // bit_depth_idx is not 0).
    uint8_t *dst_y;
    uint8_t *dst_u;
    uint8_t *dst_v;

    uint32_t neighbour_flags;  // bit value 1 left, 2 upper macroblock available
    uint32_t qp;
    uint32_t prev_qp;  // left (previously decoded) macroblock
    uint32_t top_qp;
    uint32_t cbp;
    uint32_t prev_cbp;
    uint32_t top_cbp;
    uint32_t mb_type;  // internal types: 0 I_4X4, 1 I_8X8, 2..6 P, 7..30 B
    uint32_t prev_type;
    uint32_t top_type;

    uint32_t lf_disable_flag;
    uint32_t stride_y;  // bytes
    uint32_t stride_c;
    uint32_t chroma_format_idc;
    uint32_t bit_depth_idx;   // 0 for 8-bit, 2 for 10-bit samples
    int32_t lf_alpha_offset;  // signed slice-header offsets
    int32_t lf_beta_offset;
    int32_t mb_x;
    int32_t mb_y;

    // Both lists of the motion cache: 0..11 list 0, 12..23 list 1, four
    // entries per row, current blocks at 5, 6, 9, 10 (+12).
    SvacMvEntry mv_cache[24];
};
