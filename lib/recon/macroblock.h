// The per-layer macroblock record: position, neighbour caches, line buffers,
// border samples for intra prediction and the picture progress of the slice
// loop.
#pragma once

#include <cstdint>

#include "dsp/quant.h"
#include "recon/mv.h"

struct SvacFrame;

// Neighbour availability bits of the current macroblock.
enum SvacNeighbour : uint32_t {
    NB_LEFT = 1,
    NB_TOP = 2,
    NB_TOP_RIGHT = 4,
    NB_TOP_LEFT = 8,
};

// The coefficients of one macroblock as parsed: the run/level list of every
// coded block in reverse scan order. Luma blocks 0..15 (0..3 with the 8x8
// transform), chroma blocks at 16 + 2 * row + plane. A macroblock whose
// lists cannot be read is never reconstructed: its picture is dropped.
inline constexpr int kResidualChroma = 16;
struct SvacMbResidual {
    int16_t count[20];
    SvacRunLevel pairs[20][65];
};

// Internal macroblock types (stored in mb_type_map and top_type, handed to
// the deblocking filter).
enum SvacMbType : int32_t {
    I_4X4 = 0,
    I_8X8 = 1,
    P_16X16 = 2,
    P_16X8 = 3,
    P_8X16 = 4,
    P_8X8 = 5,
    P_SKIP = 6,
    B_DIRECT_16X16 = 7,
    B_8X8 = 29,
    B_SKIP = 30,
};

// Sample arrays hold 8-bit samples, or 16-bit ones in 10-bit pictures; they
// are sized for the wider type and reached through svac_px<T>().
template <int N>
struct SampleArray {
    alignas(16) uint8_t bytes[2 * N];
};

template <typename T, int N>
inline T *svac_px(SampleArray<N> &a) {
    return reinterpret_cast<T *>(a.bytes);
}

struct SvacMacroblock {
    uint8_t *dst_y;
    uint8_t *dst_u;
    uint8_t *dst_v;
    uint8_t *top_qp;
    uint8_t *top_cbp;
    uint32_t *top_type;
    uint8_t *mb_type_map;
    uint32_t stride_y;
    uint32_t stride_c;
    int32_t mb_x;
    int32_t mb_y;
    int32_t mb_addr;
    uint32_t neighbour_flags;
    int32_t blk_offset_8x8[4];
    int32_t blk_offset_4x4[16];
    SvacMvEntry mv_cache[2][MV_CACHE_SIZE];
    SvacMvEntry *top_mv[2];
    SvacMvEntry *mv_map;
    int32_t intra_mode_cache_8x8[9];
    int32_t intra_mode_cache_4x4[25];
    int32_t *top_intra_modes;
    uint8_t *top_border_y;
    uint8_t *top_border_u;
    uint8_t *top_border_v;
    SampleArray<26> left_border_y;
    SampleArray<20> left_border_u;
    SampleArray<20> left_border_v;
    SampleArray<26> pred_left;
    SampleArray<26> pred_top;
    int32_t corner_y;
    int32_t corner_u;
    int32_t corner_v;
    int32_t chroma_pred_mode[2];
    int32_t left_chroma_pred_mode[2];
    int32_t *top_chroma_pred_mode[2];
    int32_t left_type_code;
    int32_t *top_type_code;
    int32_t dir_code[6];
    int32_t cur_dir_index;

    // Residual state of the current macroblock: the parsed coefficients and
    // the quantiser they are scaled with.
    SvacMbResidual residual;
    int32_t qp;
    int32_t cbp;
    uint8_t cbp_4x4[4];
    int32_t svc_mode_flag;
    int32_t prev_qp;
    int32_t prev_cbp;
    int32_t prev_type;

    // Per-column slice numbers and the enhancement layer's svc_mode_flag
    // column (line buffers), and the line buffers' geometry and frame format.
    int32_t *slice_num_top;
    int32_t *slice_num_left;
    int32_t *top_svc_mode;
    int32_t left_svc_mode;
    int32_t *col_extra;
    int32_t lines_width;
    int32_t lines_height;
    int32_t lines_format;

    // Picture progress (slice loop).
    int32_t picture_complete;
    int32_t mbs_remaining;
    int32_t roi_remaining;
};

// What reconstruction needs of the slice and picture beside the record.
struct SvacReconCtx {
    int32_t bit_depth_idx;  // 0 for 8-bit, 2 for 10-bit samples
    int32_t chroma_format_idc;
    int32_t field_pic_flag;
    int32_t width, height;  // luma samples of the coded picture
    int32_t lf_disable_flag;
    int32_t lf_alpha_offset;
    int32_t lf_beta_offset;
    const SvacFrame *cur_frame;
    const SvacFrame *ref_frame[2];
    // Bit r set when ref_frame[r] may predict the picture (svac_usable_refs).
    uint32_t usable_refs;
    uint8_t *edge_emu_buffer;
    // Base-layer picture of an inter-layer predicted macroblock, or none.
    // Its margins are written: the window around the block is edge-extended.
    SvacFrame *base_frame;
};

// Intra mode cache positions of each block in decoding order.
inline constexpr int scan4x4[16] = {6, 7, 11, 12, 8, 9, 13, 14, 16, 17, 21, 22, 18, 19, 23, 24};
inline constexpr int scan3x3[4] = {4, 5, 7, 8};
