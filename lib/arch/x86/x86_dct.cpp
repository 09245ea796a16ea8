// x86 hook of the inverse transform tables.
#include "dsp/dsp_init.h"

// Where SVAC_CPU_FLAG_SSSE3 is set, the SSSE3 transforms will replace entry 0
// of svac_idct4_add and svac_idct8_add; until they exist every entry keeps
// its portable kernel.
void VQ_SVACDEC_dct_init_x86(uint32_t cpu_flags) { (void)cpu_flags; }
