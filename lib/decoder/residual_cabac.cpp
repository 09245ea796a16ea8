// cbp, quantiser and coefficients of CABAC slices, read into the macroblock
// record like their VLC counterparts.
#include "cabac/coefficients.h"
#include "cabac/elements.h"
#include "decoder/decoder.h"
#include "decoder/residual.h"

namespace {

// The cbp element once more for the chroma half of 4:2:2, added above the
// first (the sum, as the two may overlap).
uint32_t read_cbp(SvacDecoder *dec, SvacMacroblock *mb) {
    const bool is422 = dec->cur_sps->chroma_format_idc == 2;
    uint32_t cbp = cabac_decode_cbp(&dec->cabac, mb, is422);
    if (is422) cbp += cabac_decode_cbp(&dec->cabac, mb, is422) << 4;
    return cbp;
}

void read_qp(SvacDecoder *dec, SvacMacroblock *mb) {
    if (mb->cbp && !dec->fixed_qp_flag)
        dec->qp = svac_wrap_qp(dec->qp, cabac_decode_mb_qp_delta(&dec->cabac));
    else
        dec->cabac.last_qp_delta = 0;
}

void read_block(SvacDecoder *dec, SvacMbResidual &res, int block, bool luma, bool four) {
    const int group = svac_cabac_coef_group(dec->field_pic_flag, luma);
    res.count[block] =
        static_cast<int16_t>(four ? cabac_decode_trans_coefficient_4x4(&dec->cabac, group, res.pairs[block])
                                  : cabac_decode_trans_coefficient(&dec->cabac, group, res.pairs[block]));
}

}  // namespace

// The cbp element never exceeds 63, so no code is illegal here.
int32_t VQ_SVACDEC_get_cbp_and_qp_cabac(SvacDecoder *dec, int32_t intra_type) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    mb->cbp = static_cast<int32_t>(read_cbp(dec, mb));
    if (intra_type == 0)
        for (int i = 0; i < 4; i++)
            if ((mb->cbp >> i) & 1)
                mb->cbp_4x4[i] = static_cast<uint8_t>(
                    cabac_decode_cbp(&dec->cabac, mb, dec->cur_sps->chroma_format_idc == 2) & 15);
    read_qp(dec, mb);
    return 0;
}

int decode_cbp_qp_inter_cabac(SvacDecoder *dec) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    mb->cbp = static_cast<int32_t>(read_cbp(dec, mb));
    read_qp(dec, mb);
    return 0;
}

int parse_residual_cabac(SvacDecoder *dec, int32_t intra_type) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    if (intra_type == 0) {
        for (int k = 0; k < 16; k++)
            if ((mb->cbp_4x4[k / 4] >> (k % 4)) & 1) read_block(dec, mb->residual, k, true, true);
    } else {
        for (int k = 0; k < 4; k++)
            if ((mb->cbp >> k) & 1) read_block(dec, mb->residual, k, true, false);
    }
    for (int k = 0; k < dec->cur_sps->chroma_format_idc; k++)
        for (int p = 0; p < 2; p++)
            if ((mb->cbp >> (4 + 2 * k + p)) & 1)
                read_block(dec, mb->residual, kResidualChroma + 2 * k + p, false, false);
    // Coefficients read far past the slice data are never reconstructed.
    return svac_cabac_broken(&dec->cabac) ? SVAC_ERR_BITSTREAM : 0;
}
