#include "decoder/lines.h"

#include "decoder/decoder.h"
#include "mem/mem.h"

void svac_reset_mb_caches(SvacMacroblock *mb) {
    for (auto &list : mb->mv_cache)
        for (SvacMvEntry &e : list) e = svac_unavail_mv;
}

void svac_free_lines(SvacMacroblock *mb) {
    VQ_SVACDEC_svac_freep(&mb->top_qp);
    VQ_SVACDEC_svac_freep(&mb->top_cbp);
    VQ_SVACDEC_svac_freep(&mb->top_type);
    VQ_SVACDEC_svac_freep(&mb->top_mv[0]);
    VQ_SVACDEC_svac_freep(&mb->top_mv[1]);
    VQ_SVACDEC_svac_freep(&mb->top_intra_modes);
    VQ_SVACDEC_svac_freep(&mb->top_border_y);
    VQ_SVACDEC_svac_freep(&mb->top_border_u);
    VQ_SVACDEC_svac_freep(&mb->top_border_v);
    VQ_SVACDEC_svac_freep(&mb->slice_num_top);
    VQ_SVACDEC_svac_freep(&mb->slice_num_left);
    VQ_SVACDEC_svac_freep(&mb->top_chroma_pred_mode[0]);
    VQ_SVACDEC_svac_freep(&mb->top_chroma_pred_mode[1]);
    VQ_SVACDEC_svac_freep(&mb->top_type_code);
    VQ_SVACDEC_svac_freep(&mb->top_svc_mode);
    VQ_SVACDEC_svac_freep(&mb->col_extra);
    VQ_SVACDEC_svac_freep(&mb->mv_map);
    VQ_SVACDEC_svac_freep(&mb->mb_type_map);
    mb->lines_width = mb->lines_height = 0;
}

bool VQ_SVACDEC_svac_init_top_lines(SvacDecoder *dec) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int64_t w = dec->mb_width, h = dec->mb_height;
    const int32_t format = svac_cur_layer(dec).cur_frame->format;
    if (mb->top_qp && mb->lines_width == w && mb->lines_height == h && mb->lines_format == format)
        return true;
    // The geometry of a layer never changes after its first sequence set, but
    // buffers of another size or sample format are replaced rather than
    // trusted: 8-bit border samples read as 16-bit words exceed 10 bits.
    svac_free_lines(mb);
    mb->left_border_y = {};
    mb->left_border_u = mb->left_border_v = {};
    mb->corner_y = mb->corner_u = mb->corner_v = 0;
    mb->top_qp = svac_alloc_zeroed<uint8_t>(w);
    mb->top_cbp = svac_alloc_zeroed<uint8_t>(w);
    mb->top_type = svac_alloc_zeroed<uint32_t>(w);
    mb->top_mv[0] = svac_alloc_zeroed<SvacMvEntry>(2 * w + 1);
    mb->top_mv[1] = svac_alloc_zeroed<SvacMvEntry>(2 * w + 1);
    mb->top_intra_modes = svac_alloc_zeroed<int32_t>(6 * w);
    mb->top_border_y = svac_alloc_zeroed<uint8_t>(32 * w + 32);
    mb->top_border_u = svac_alloc_zeroed<uint8_t>(20 * w);
    mb->top_border_v = svac_alloc_zeroed<uint8_t>(20 * w);
    mb->slice_num_top = svac_alloc_zeroed<int32_t>(w);
    mb->slice_num_left = svac_alloc_zeroed<int32_t>(w);
    mb->top_chroma_pred_mode[0] = svac_alloc_zeroed<int32_t>(w);
    mb->top_chroma_pred_mode[1] = svac_alloc_zeroed<int32_t>(w);
    mb->top_type_code = svac_alloc_zeroed<int32_t>(w);
    mb->top_svc_mode = svac_alloc_zeroed<int32_t>(w);
    mb->col_extra = svac_alloc_zeroed<int32_t>(w);
    mb->mv_map = svac_alloc_zeroed<SvacMvEntry>(4 * w * h);
    mb->mb_type_map = svac_alloc_zeroed<uint8_t>(w * h);
    if (!dec->scratch) dec->scratch = svac_alloc_zeroed<uint8_t>(256);
    const bool svc_layer = dec->layer == 1 && dec->cur_sps && dec->cur_sps->svc_flag;
    if (svc_layer && !dec->svc_scratch) dec->svc_scratch = svac_alloc_zeroed<int32_t>(w);

    const bool ok = mb->top_qp && mb->top_cbp && mb->top_type && mb->top_mv[0] && mb->top_mv[1] &&
                    mb->top_intra_modes && mb->top_border_y && mb->top_border_u && mb->top_border_v &&
                    mb->slice_num_top && mb->slice_num_left && mb->top_chroma_pred_mode[0] &&
                    mb->top_chroma_pred_mode[1] && mb->top_type_code && mb->top_svc_mode && mb->col_extra &&
                    mb->mv_map && mb->mb_type_map && dec->scratch && (!svc_layer || dec->svc_scratch);
    if (!ok) {
        svac_free_lines(mb);
        return false;
    }
    mb->lines_width = static_cast<int32_t>(w);
    mb->lines_height = static_cast<int32_t>(h);
    mb->lines_format = format;
    return true;
}
