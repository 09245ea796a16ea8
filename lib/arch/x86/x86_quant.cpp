// x86 hook of the dequantiser tables.
#include "dsp/dsp_init.h"

// Where SVAC_CPU_FLAG_SSSE3 is set, the SSSE3 dequantisers will replace
// svac_dequant4 and svac_dequant8; until they exist both keep their
// portable kernels.
void VQ_SVACDEC_quant_init_x86(uint32_t cpu_flags) { (void)cpu_flags; }
