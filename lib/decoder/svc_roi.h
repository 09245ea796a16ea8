// Layer geometry of scalable streams and the region arrays of each layer.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacDecoder;
struct SvacFrame;

extern "C" {
SVAC_EXPORT void VQ_SVACDEC_init_svc_roi(SvacDecoder *dec);
SVAC_EXPORT void VQ_SVACDEC_roi_bound_in_el(SvacDecoder *dec, int32_t region_first, int32_t region_last,
                                            int32_t *first_el, int32_t *last_el);
}

// The base-layer picture with the enhancement picture's number: the base
// layer's current picture, then its newest and older reference; or none.
SvacFrame *svac_find_base_picture(SvacDecoder *dec);
