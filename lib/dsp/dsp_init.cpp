#include "dsp/dsp_init.h"

void svac_kernels_init(uint32_t cpu_flags) {
    VQ_SVACDEC_mc_init(cpu_flags);
    VQ_SVACDEC_dct_init(cpu_flags);
    VQ_SVACDEC_loopfilter_init(cpu_flags);
    VQ_SVACDEC_predict_init(cpu_flags);
    VQ_SVACDEC_quant_init(cpu_flags);
}
