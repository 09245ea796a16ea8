// Exported debug globals. None of them changes a decoding result.
#pragma once

#include <cstdint>

#include "common.h"

extern "C" {
SVAC_EXPORT extern uint32_t svac_debug_ctrl;
SVAC_EXPORT extern int32_t dump_i;
SVAC_EXPORT extern int32_t dump_p;
SVAC_EXPORT extern int32_t dump_b;
SVAC_EXPORT extern int32_t dump_coefs;
SVAC_EXPORT extern int32_t DUMP_INFO;
SVAC_EXPORT extern uint8_t ftrace[8];
SVAC_EXPORT extern const char *const encryption_type[4];
SVAC_EXPORT extern const char *const SUB_TYPE[4];
SVAC_EXPORT uint32_t *VQ_SVACDEC_svac_set_debug_info_ctrl(uint32_t mask, uint32_t on);
}

// Instances on several threads all set DUMP_INFO; relaxed atomic stores keep
// that free of data races without changing the exported variable.
inline void svac_set_dump_info(int32_t on) { __atomic_store_n(&DUMP_INFO, on ? 1 : 0, __ATOMIC_RELAXED); }
