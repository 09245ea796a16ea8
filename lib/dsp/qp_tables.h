// Chroma quantiser of each luma quantiser.
#pragma once

#include <cstdint>

#include "common.h"

SVAC_EXTERN_C const uint8_t QP2_table[56];
