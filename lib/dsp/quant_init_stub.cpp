// Temporary: empty kernel table filler until the quant kernels land.
#include "dsp/dsp_init.h"

void VQ_SVACDEC_quant_init(uint32_t cpu_flags) { VQ_SVACDEC_quant_init_x86(cpu_flags); }
void VQ_SVACDEC_quant_init_x86(uint32_t) {}
