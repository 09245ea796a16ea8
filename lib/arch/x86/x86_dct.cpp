// x86 hook of the inverse transform tables: with the SSSE3 bit, the SIMD
// transforms replace the 8-bit entries; the 10-bit entries stay portable.
#include "arch/x86/simd.h"
#include "dsp/dsp_init.h"

void VQ_SVACDEC_dct_init_x86(uint32_t cpu_flags) {
    if (!(cpu_flags & SVAC_CPU_SSSE3)) return;
    svac_dct_init_sse2(&svac_idct4_add[0], &svac_idct8_add[0]);
}
