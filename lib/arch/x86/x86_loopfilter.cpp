// x86 hook of the deblocking kernel tables: with the SSSE3 bit, the SIMD
// kernels replace the 8-bit entries; the 10-bit entries stay portable.
#include "arch/x86/simd.h"
#include "dsp/dsp_init.h"

void VQ_SVACDEC_loopfilter_init_x86(uint32_t cpu_flags) {
    if (!(cpu_flags & SVAC_CPU_SSSE3)) return;
    svac_loopfilter_init_sse2(&svac_filter_lv[0], &svac_filter_lh[0], &svac_filter_cv[0], &svac_filter_ch[0]);
}
