// Residual blocks of the macroblock record: dequantised, inverse transformed
// and added to the prediction.
#pragma once

#include <cstdint>

struct SvacMbResidual;
struct SvacReconCtx;
struct SvacMacroblock;

void svac_add_residual_8x8(const SvacReconCtx &ctx, const SvacMbResidual &res, int block, int qp,
                           uint8_t *dst, int stride);
void svac_add_residual_4x4(const SvacReconCtx &ctx, const SvacMbResidual &res, int block, int qp,
                           uint8_t *dst, int stride);

// The coded chroma blocks of a macroblock, upper then lower row, U then V.
void svac_add_chroma_residual(const SvacReconCtx &ctx, SvacMacroblock *mb);
// Every coded block of an inter macroblock, luma then chroma.
void svac_add_inter_residual(const SvacReconCtx &ctx, SvacMacroblock *mb);
