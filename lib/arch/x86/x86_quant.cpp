// x86 hook of the dequantiser tables: with the SSSE3 bit, the SIMD
// dequantisers replace both entries.
#include "arch/x86/simd.h"
#include "dsp/dsp_init.h"

void VQ_SVACDEC_quant_init_x86(uint32_t cpu_flags) {
    if (!(cpu_flags & SVAC_CPU_SSSE3)) return;
    svac_quant_init_sse2(&svac_dequant4, &svac_dequant8);
}
