// Intra macroblocks: modes, chroma modes, cbp, quantiser and coefficients are
// parsed into the record, then the macroblock is reconstructed from it.
#include "cabac/elements.h"
#include "decoder/decoder.h"
#include "decoder/mb.h"
#include "decoder/residual.h"
#include "decoder/stepping.h"
#include "decoder/svc_roi.h"
#include "recon/inter_recon.h"
#include "recon/intra_recon.h"
#include "recon/mb_finish.h"

namespace {

// Each mode is written to the cache before the next block is derived, so
// later blocks of the macroblock predict from it.
void decode_luma_modes(SvacDecoder *dec, SvacMacroblock *mb, bool eight) {
    int32_t *cache = eight ? mb->intra_mode_cache_8x8 : mb->intra_mode_cache_4x4;
    const int *scan = eight ? scan3x3 : scan4x4;
    const int w = eight ? 3 : 5;
    const int blocks = eight ? 4 : 16;
    for (int i = 0; i < blocks; i++) {
        const int p = scan[i];
        int32_t pred = std::min(cache[p - 1], cache[p - w]);
        if (pred == -1) pred = 2;
        int32_t mode = pred;
        if (!mb->svc_mode_flag) {
            const bool cabac = dec->cur_pps->entropy_coding_flag;
            if (!(cabac ? cabac_decode_pred_mode_flag(&dec->cabac) : svac_br_read1(&dec->br))) {
                const int32_t rem = static_cast<int32_t>(
                    cabac ? cabac_decode_intra_luma_pred_mode(&dec->cabac) : svac_br_read(&dec->br, 2));
                mode = rem < pred ? rem : rem + 1;
            }
        }
        cache[p] = mode;
    }
}

}  // namespace

namespace {

// Deblocking the next row of macroblocks still changes the last three luma
// rows of this one (and fewer chroma rows): the sides of the rows above are
// extended at the end of each row while they are in the cache. A macroblock
// in rows already extended (slices out of order) takes them back.
void extend_finished_rows(SvacDecoder *dec, SvacLayerState &l, int32_t x, int32_t y) {
    const int32_t top = y > 0 ? 16 * y - 3 : 0;
    if (top < l.rows_extended) l.rows_extended = top;
    if (x != dec->mb_width - 1 || dec->pic_type == PIC_B || l.rows_extended != top) return;
    svac_extend_sides(l.cur_frame, top, 16 * y + 13);
    l.rows_extended = 16 * y + 13;
}

}  // namespace

void svac_finish_mb(SvacDecoder *dec, uint32_t type) {
    SvacLayerState &l = svac_cur_layer(dec);
    SvacMacroblock *mb = &l.mb;
    svac_finish_recon(dec->recon_ctx, dec->recon, mb, type);
    extend_finished_rows(dec, l, mb->mb_x, mb->mb_y);
    // The line stores may alias the record's fields: read them all first.
    const int32_t x = mb->mb_x, qp = mb->qp, cbp = mb->cbp, svc_mode = mb->svc_mode_flag;
    uint8_t *top_qp = mb->top_qp, *top_cbp = mb->top_cbp;
    uint32_t *top_type = mb->top_type;
    mb->prev_qp = static_cast<uint8_t>(qp);
    // The column keeps 8 bits; the previous cbp keeps all (a 4:2:2 CABAC
    // cbp is the sum of two elements and may exceed them).
    mb->prev_cbp = cbp;
    mb->prev_type = static_cast<int32_t>(type);
    if (dec->layer == 1) mb->left_svc_mode = mb->top_svc_mode[x] = svc_mode;
    top_type[x] = type;
    top_qp[x] = static_cast<uint8_t>(qp);
    top_cbp[x] = static_cast<uint8_t>(cbp);
}

void set_intra_mode_default(SvacDecoder *dec) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int32_t v = dec->slice_type == 2 ? -1 : 2;
    const int32_t x = mb->mb_x;
    int32_t *top = mb->top_intra_modes + 6 * x;
    int32_t *top_chroma[2] = {mb->top_chroma_pred_mode[0], mb->top_chroma_pred_mode[1]};
    mb->intra_mode_cache_8x8[3] = mb->intra_mode_cache_8x8[6] = v;
    for (int i : {5, 10, 15, 20}) mb->intra_mode_cache_4x4[i] = v;
    mb->left_chroma_pred_mode[0] = mb->left_chroma_pred_mode[1] = 0;
    for (int i = 0; i < 6; i++) top[i] = v;
    top_chroma[0][x] = top_chroma[1][x] = 0;
}

int decode_mb_i(SvacDecoder *dec, int32_t intra_type) {
    SvacLayerState &layer = svac_cur_layer(dec);
    SvacMacroblock *mb = &layer.mb;
    const SvacSeqParams *sps = dec->cur_sps;
    // A failed type code is no intra type at all.
    if (intra_type < 0) return SVAC_ERR_GOLOMB;
    VQ_SVACDEC_svac_init_mb(dec);
    const bool enhancement = dec->layer == 1;
    const bool cabac = dec->cur_pps->entropy_coding_flag;
    if (sps->svc_flag && enhancement)
        mb->svc_mode_flag =
            static_cast<int32_t>(cabac ? cabac_decode_svc_mode_flag(&dec->cabac) : svac_br_read1(&dec->br));

    const bool eight = intra_type >= 1;
    svac_load_top_intra_modes(mb);
    decode_luma_modes(dec, mb, eight);

    mb->chroma_pred_mode[0] = mb->chroma_pred_mode[1] = 0;
    const bool is422 = sps->chroma_format_idc == 2;
    auto chroma_mode = [&](int row) {
        return cabac ? static_cast<int32_t>(
                           cabac_decode_intra_chroma_pred_mode(&dec->cabac, mb, row, is422, enhancement))
                     : svac_br_read_ue(&dec->br);
    };
    if (!mb->svc_mode_flag && sps->chroma_format_idc > 0) {
        const int32_t m0 = chroma_mode(0);
        if (m0 < 0 || m0 > 6) {
            std::printf("illegal intra_chroma_pred_mode(%d)\n", m0);
            return SVAC_ERR_INVALID;
        }
        mb->chroma_pred_mode[0] = m0;
        if (is422) {
            const int32_t m1 = chroma_mode(1);
            if (m1 < 0 || m1 > 6) {
                std::puts("illegal intra_chroma_pred_mode_422");
                return SVAC_ERR_INVALID;
            }
            mb->chroma_pred_mode[1] = m1;
        }
    }
    for (int i = 0; i < 2; i++) {
        mb->left_chroma_pred_mode[i] = mb->chroma_pred_mode[i];
        mb->top_chroma_pred_mode[i][mb->mb_x] = mb->chroma_pred_mode[i];
    }
    VQ_SVACDEC_svac_modify_mb_i(mb, mb->chroma_pred_mode, intra_type);

    if (int r = cabac ? VQ_SVACDEC_get_cbp_and_qp_cabac(dec, intra_type)
                      : VQ_SVACDEC_get_cbp_and_qp(dec, intra_type);
        r < 0)
        return r;
    mb->qp = dec->qp;
    if (mb->svc_mode_flag) {
        // Without its base picture the macroblock keeps what the frame holds
        // and only the residual is added.
        dec->recon_ctx.base_frame = svac_find_base_picture(dec);
        if (!dec->recon_ctx.base_frame) std::puts("can not find base layer picture");
    }
    if (int r = parse_residual_intra(dec, intra_type); r < 0) return r;

    dec->recon->intra(dec->recon_ctx, mb, intra_type);
    const uint32_t type = eight ? I_8X8 : I_4X4;
    svac_finish_mb(dec, type);
    for (int l = 0; l < 2; l++)
        for (int i : kMvOwnBlocks) mb->mv_cache[l][i] = svac_intra_mv;
    if (dec->pic_type != PIC_B) mb->mb_type_map[mb->mb_addr] = 0;
    return 0;
}
