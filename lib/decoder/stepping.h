// Macroblock stepping: slice start, macroblock start and end, the next
// address (raster order or region by region) and neighbour availability.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacDecoder;

extern "C" {
SVAC_EXPORT void VQ_SVACDEC_get_mb_pos(int32_t addr, int32_t mb_width, int32_t field_parity, int32_t *x,
                                       int32_t *y);
SVAC_EXPORT int32_t VQ_SVACDEC_get_mb_idx(int32_t mb_width, int32_t field_parity, int32_t x, int32_t y);
SVAC_EXPORT int32_t VQ_SVACDEC_get_roi_idx_of_mb(SvacDecoder *dec, int32_t addr);
SVAC_EXPORT int32_t VQ_SVACDEC_svac_init_pic(SvacDecoder *dec);
SVAC_EXPORT void VQ_SVACDEC_svac_init_mb(SvacDecoder *dec);
SVAC_EXPORT int32_t VQ_SVACDEC_svac_next_mb(SvacDecoder *dec);
SVAC_EXPORT void VQ_SVACDEC_check_availability_of_neighbors(SvacDecoder *dec);
}

struct SvacMacroblock;

// The upper neighbour's intra modes into the mode caches (-1 where it is
// unavailable); only intra macroblocks read them.
void svac_load_top_intra_modes(SvacMacroblock *mb);
