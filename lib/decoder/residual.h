// VLC residual blocks, coded block patterns and quantiser updates.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacDecoder;
struct SvacVlc2dTable;

// One 8x8 (or 4x4) block: decoded, dequantised and added to the samples at
// dst. 0, or -8 on a bitstream error (nothing is added then).
int decode_residual_block(SvacDecoder *dec, const SvacVlc2dTable *family, int escape_order, int qp,
                          uint8_t *dst, int stride);
int decode_residual_block_4x4(SvacDecoder *dec, const SvacVlc2dTable *family, int escape_order,
                              int qp, uint8_t *dst, int stride);

// cbp, 4x4 sub-patterns and quantiser of an intra macroblock: 0 or -2.
SVAC_EXTERN_C int32_t VQ_SVACDEC_get_cbp_and_qp(SvacDecoder *dec, int32_t intra_type);

// The quantiser after a delta, wrapped into 0..55.
inline int32_t svac_wrap_qp(int32_t qp, int32_t delta) {
    // A true modulo: deltas far below -56 must not leave a negative quantiser.
    const int32_t v = (qp + delta + 56) % 56;
    return v < 0 ? v + 56 : v;
}

// cbp and quantiser of a P or B macroblock: 0 or -8.
int decode_cbp_qp_inter(SvacDecoder *dec);
// Every residual block of an inter macroblock, luma then chroma: 0 or -8.
int decode_residual_inter(SvacDecoder *dec);
