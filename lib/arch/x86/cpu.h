// Processor feature detection.
#pragma once

#include <cstdint>

#include "common.h"

SVAC_EXTERN_C uint32_t VQ_SVACDEC_get_cpu_flags_x86(void);
