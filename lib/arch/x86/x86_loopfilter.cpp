// x86 hook of the deblocking kernel tables. No SIMD deblocking kernels exist
// yet, so the portable kernels stay in every entry whatever the feature word.
#include "dsp/dsp_init.h"

void VQ_SVACDEC_loopfilter_init_x86(uint32_t) {}
