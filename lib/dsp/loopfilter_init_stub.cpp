// Temporary: empty kernel table filler until the loopfilter kernels land.
#include "dsp/dsp_init.h"

void VQ_SVACDEC_loopfilter_init(uint32_t cpu_flags) { VQ_SVACDEC_loopfilter_init_x86(cpu_flags); }
void VQ_SVACDEC_loopfilter_init_x86(uint32_t) {}
