// Hook for SIMD motion compensation kernels, which would replace 8-bit table
// entries when the feature word has the SSSE3 bit. None exist yet, so every
// entry keeps its portable kernel whatever the word says.
#include "dsp/dsp_init.h"

void VQ_SVACDEC_mc_init_x86(uint32_t) {}
