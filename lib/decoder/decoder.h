// The decoder instance and its two layers.
#pragma once

#include <cstdint>

#include "bitstream/bitreader.h"
#include "cabac/engine.h"
#include "decoder/param_sets.h"
#include "decoder/secure_state.h"
#include "mem/frame_pool.h"
#include "recon/macroblock.h"
#include "svacdec.h"

// NAL unit types.
enum SvacNalType : int32_t {
    NAL_SLICE_BASE = 1,
    NAL_SLICE_BASE_KEY = 2,
    NAL_SLICE_ENH = 3,
    NAL_SLICE_ENH_KEY = 4,
    NAL_EXTENSION = 5,
    NAL_SPS = 7,
    NAL_PPS = 8,
    NAL_SECURITY = 9,
};

enum SvacPicType : int32_t { PIC_I = 1, PIC_P = 2, PIC_B = 3 };

struct SvacLayerState {
    SvacFramePool pool;
    SvacFrame *output_frame;
    SvacFrame *cur_frame;
    SvacFrame *ref_frame[2];
    int32_t cur_pic_num;
    int32_t last_output_num;
    int32_t ref_pic_num[2];
    SvacMacroblock mb;
    int32_t keyframe_seen;
    // Luma rows of the current picture, from the top, whose margin sides
    // already hold copies of their edge samples.
    int32_t rows_extended;
};

struct SvacReconFns;

struct SvacDecoder {
    SvacBitReader br;
    SvacCabac cabac;
    // End of the NAL payload being parsed (the arithmetic decoder may read
    // up to it).
    const uint8_t *payload_end;

    // What reconstruction reads beside the macroblock record, and the
    // sample-type steps, both bound for the slice.
    SvacReconCtx recon_ctx;
    const SvacReconFns *recon;

    // Picture-level values written by the slice header.
    int32_t pic_type;
    int32_t ref_dist_tab[2];
    int32_t ref_inv_dist_tab[2];
    int32_t col_inv_dist_tab[2];
    int32_t sym_scale;
    int32_t mb_width;
    int32_t mb_height;
    int32_t width;
    int32_t height;
    int32_t field_parity;
    int32_t mb_count;
    int32_t lf_disable_flag;
    int32_t lf_alpha_offset;
    int32_t lf_beta_offset;
    int32_t single_ref_flag;
    int32_t fixed_qp_flag;
    int32_t qp;

    uint8_t *edge_emu_buffer;
    uint8_t *scratch;

    // Header of the NAL unit being handled.
    int32_t nal_ref_flag;
    int32_t nal_unit_type;
    int32_t nal_encrypted;
    int32_t nal_ext_flag;

    uint8_t *nal_buffer;
    int32_t nal_buffer_size;

    SvacSeqParams sps[SVAC_MAX_SPS];
    SvacSeqParams *cur_sps;
    int32_t last_sps_id;
    SvacPicParams pps[SVAC_MAX_PPS];
    SvacPicParams *cur_pps;

    SvacSecurityState sec;

    // Slice header values.
    int32_t pps_id;
    int32_t frame_num;
    int32_t prev_frame_num;
    int32_t keyframe_id;
    int32_t field_pic_flag;
    int32_t bottom_field_flag;
    int32_t first_mb;
    int32_t slice_type;
    int32_t qp_delta;
    int32_t lf_override_flag;

    // Scalable-layer geometry.
    int32_t bl_mb_width, bl_mb_height, bl_width, bl_height;
    int32_t el_mb_width, el_mb_height, el_width, el_height;
    int32_t bl_mb_count, el_mb_count;

    uint32_t layer_mask;
    int32_t slice_count;
    int32_t left_slice_num;
    SvacDecExtInfo *ext_info;
    int32_t layer;

    SvacLayerState layers[2];

    int32_t *svc_scratch;
};

inline SvacLayerState &svac_cur_layer(SvacDecoder *dec) { return dec->layers[dec->layer]; }

// Instance life cycle (the bodies behind the host functions).
extern "C" {
SVAC_EXPORT void *VQ_SVACDEC_svac_dec_open(void);
SVAC_EXPORT void VQ_SVACDEC_svac_dec_close(void *decoder);
SVAC_EXPORT int32_t VQ_SVACDEC_svac_dec_init(uint32_t cpu_flags);
SVAC_EXPORT int32_t VQ_SVACDEC_svac_dec_deinit(void);
SVAC_EXPORT const char *VQ_SVACDEC_svac_dec_version(void);
SVAC_EXPORT int32_t VQ_SVACDEC_svac_dec_decode(SvacDecoder *dec, int32_t *got_picture, const uint8_t *data,
                                               int32_t length);
SVAC_EXPORT void VQ_SVACDEC_svac_end(SvacDecoder *dec);
}
