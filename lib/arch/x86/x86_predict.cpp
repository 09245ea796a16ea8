// x86 hook of the intra prediction tables: with the SSSE3 bit, the SIMD
// predictors replace the 8-bit block kernels (entries 0-7 of
// intra_pred_l_4x4 and intra_pred_l, entries 0-6 of intra_pred_c). The
// inter-layer predictors and the 10-bit kernels stay portable.
#include "arch/x86/simd.h"
#include "dsp/dsp_init.h"

void VQ_SVACDEC_predict_init_x86(uint32_t cpu_flags) {
    if (!(cpu_flags & SVAC_CPU_SSSE3)) return;
    svac_predict_init_ssse3(intra_pred_l_4x4, intra_pred_l, intra_pred_c);
}
