// Fillers of the process-wide kernel tables. Each stores the portable kernels
// and then lets its x86 hook replace entries the feature word allows.
#pragma once

#include <cstdint>

#include "arch/cpu_flags.h"
#include "common.h"

extern "C" {
SVAC_EXPORT void VQ_SVACDEC_mc_init(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_dct_init(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_loopfilter_init(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_predict_init(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_quant_init(uint32_t cpu_flags);

SVAC_EXPORT void VQ_SVACDEC_mc_init_x86(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_dct_init_x86(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_loopfilter_init_x86(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_predict_init_x86(uint32_t cpu_flags);
SVAC_EXPORT void VQ_SVACDEC_quant_init_x86(uint32_t cpu_flags);
}

// Fills every kernel table in the library's fixed order; the decoder's
// initialisation and the stream generator both start with it.
void svac_kernels_init(uint32_t cpu_flags);
