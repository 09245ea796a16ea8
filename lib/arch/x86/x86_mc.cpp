// x86 hook of the motion compensation tables: with the SSSE3 bit, the SIMD
// kernels replace the 8-bit luma entries and the 8- and 4-wide chroma
// entries. Edge emulation and the 10-bit rows stay portable.
#include "arch/x86/simd.h"
#include "dsp/dsp_init.h"

void VQ_SVACDEC_mc_init_x86(uint32_t cpu_flags) {
    if (!(cpu_flags & SVAC_CPU_SSSE3)) return;
    svac_qpel_init_ssse3(put_svac_qpel_pixels_tab[0], avg_svac_qpel_pixels_tab[0]);
    svac_chroma_init_ssse3(put_chroma_pixels_tab[0], avg_chroma_pixels_tab[0]);
}
