// x86 hook of the intra prediction tables.
#include "dsp/dsp_init.h"

// Where SVAC_CPU_FLAG_SSSE3 is set, the SSSE3 predictors will replace the
// 8-bit block kernels (entries 0-7 of intra_pred_l_4x4 and intra_pred_l,
// entries 0-6 of intra_pred_c); until they exist every entry keeps its
// portable kernel. The inter-layer predictors stay portable.
void VQ_SVACDEC_predict_init_x86(uint32_t cpu_flags) { (void)cpu_flags; }
