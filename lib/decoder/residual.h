// VLC residual blocks, coded block patterns and quantiser updates.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacDecoder;

// The run/level lists of every coded block of an intra macroblock (luma in
// its transform size, then chroma) or of an inter macroblock, read into the
// macroblock record: 0 or -8.
int parse_residual_intra(SvacDecoder *dec, int32_t intra_type);
int parse_residual_inter(SvacDecoder *dec);

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

// The same in CABAC slices. intra_type: as for parse_residual_intra, or -1
// for an inter macroblock. A slice broken by reading far past its data
// gives -8 before anything is reconstructed.
SVAC_EXTERN_C int32_t VQ_SVACDEC_get_cbp_and_qp_cabac(SvacDecoder *dec, int32_t intra_type);
int decode_cbp_qp_inter_cabac(SvacDecoder *dec);
int parse_residual_cabac(SvacDecoder *dec, int32_t intra_type);
