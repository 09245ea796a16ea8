#include "debug.h"

extern "C" {
uint32_t svac_debug_ctrl = 0x0077FFFF;
int32_t dump_i = 1;
int32_t dump_p = 1;
int32_t dump_b = 1;
int32_t dump_coefs = 1;
int32_t DUMP_INFO = 0;
uint8_t ftrace[8] = {};
// Names for diagnostics: cipher numbers and B sub-macroblock kinds.
const char *const encryption_type[4] = {"SM1", "DES", "AES", "USP"};
const char *const SUB_TYPE[4] = {"B_SUB_DIRECT", "B_SUB_FWD", "B_SUB_BWD", "B_SUB_SYM"};

uint32_t *VQ_SVACDEC_svac_set_debug_info_ctrl(uint32_t mask, uint32_t on) {
    if (on)
        svac_debug_ctrl |= mask;
    else
        svac_debug_ctrl &= ~mask;
    return &svac_debug_ctrl;
}
}
