// Dequantisation: a block's (run, level) pairs become a scaled coefficient
// block. Coefficient blocks hold N x N signed 32-bit values column by column:
// index N*u + v is horizontal frequency u, vertical frequency v.
#pragma once

#include <cstdint>

#include "common.h"

// One decoded coefficient. The residual decoders list the pairs in reverse
// scan order: pair 0 is the highest-frequency coefficient.
struct SvacRunLevel {
    uint16_t run;   // zero coefficients before this one in scan order, plus one (low 8 bits used)
    int16_t level;  // quantised value
};

// pairs: `count` pairs; block: 16 or 64 coefficients, cleared and then
// written (keep it 16-byte aligned for the SIMD kernels); qp >= 0;
// scan: 0 frame (zigzag), 1 field (vertical first).
using SvacDequantFn = void (*)(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan);

// Kernel tables, one entry each (every bit depth uses the same dequantiser).
SVAC_EXTERN_C SvacDequantFn svac_dequant4;
SVAC_EXTERN_C SvacDequantFn svac_dequant8;

// Scale factors: row qp mod 7, column the class 4*(v mod 4) + (u mod 4).
SVAC_EXTERN_C const uint8_t iqcoeff4[7][16];
SVAC_EXTERN_C const uint8_t iqcoeff8[7][16];

// Scans [frame/field][scan position] = {block index, class of that index}.
SVAC_EXTERN_C const uint8_t svac_scan4t[2][16][2];
SVAC_EXTERN_C const uint8_t svac_scan8t[2][64][2];

// Portable kernels.
void svac_dequant4_c(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan);
void svac_dequant8_c(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan);
