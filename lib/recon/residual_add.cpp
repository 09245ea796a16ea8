#include "recon/residual_add.h"

#include "dsp/dct.h"
#include "dsp/qp_tables.h"
#include "dsp/quant.h"
#include "recon/macroblock.h"

void svac_add_residual_8x8(const SvacReconCtx &ctx, const SvacMbResidual &res, int block, int qp,
                           uint8_t *dst, int stride) {
    alignas(16) int32_t coeffs[64];
    svac_dequant8(res.pairs[block], coeffs, qp, res.count[block], ctx.field_pic_flag ? 1 : 0);
    svac_idct8_add[ctx.bit_depth_idx](dst, coeffs, stride);
}

void svac_add_residual_4x4(const SvacReconCtx &ctx, const SvacMbResidual &res, int block, int qp,
                           uint8_t *dst, int stride) {
    alignas(16) int32_t coeffs[16];
    svac_dequant4(res.pairs[block], coeffs, qp, res.count[block], ctx.field_pic_flag ? 1 : 0);
    svac_idct4_add[ctx.bit_depth_idx](dst, coeffs, stride);
}

void svac_add_chroma_residual(const SvacReconCtx &ctx, SvacMacroblock *mb) {
    const SvacMbResidual &res = mb->residual;
    const int sc = static_cast<int>(mb->stride_c);
    const int cqp = QP2_table[mb->qp];
    for (int k = 0; k < ctx.chroma_format_idc; k++) {
        uint8_t *const planes[2] = {mb->dst_u + 8 * k * sc, mb->dst_v + 8 * k * sc};
        for (int p = 0; p < 2; p++)
            if ((mb->cbp >> (4 + 2 * k + p)) & 1)
                svac_add_residual_8x8(ctx, res, kResidualChroma + 2 * k + p, cqp, planes[p], sc);
    }
}

void svac_add_inter_residual(const SvacReconCtx &ctx, SvacMacroblock *mb) {
    // Skipped and uncoded macroblocks are common.
    if (!mb->cbp) return;
    const int sy = static_cast<int>(mb->stride_y);
    for (int k = 0; k < 4; k++)
        if ((mb->cbp >> k) & 1)
            svac_add_residual_8x8(ctx, mb->residual, k, mb->qp, mb->dst_y + mb->blk_offset_8x8[k], sy);
    svac_add_chroma_residual(ctx, mb);
}
