// The bits of the processor feature word a host passes to the library.
#pragma once

#include <cstdint>

enum SvacCpuFlag : uint32_t {
    SVAC_CPU_MMX = 0x1,
    SVAC_CPU_SSE = 0x2,
    SVAC_CPU_MMXEXT = 0x4,  // SSE, or AMD's MMX extensions
    SVAC_CPU_SSE2 = 0x8,
    SVAC_CPU_3DNOW = 0x10,
    SVAC_CPU_3DNOWEXT = 0x20,
    SVAC_CPU_SSSE3 = 0x80,  // the one bit the kernel dispatch tests
    SVAC_CPU_CMOV = 0x10000,
    SVAC_CPU_SSE3 = 0x20000,
    SVAC_CPU_SSE41 = 0x40000,
    SVAC_CPU_SSE42 = 0x80000,
    SVAC_CPU_AVX = 0x100000,  // AVX usable: the OS saves the YMM state
    SVAC_CPU_AVX2 = 0x200000,
    SVAC_CPU_FMA4 = 0x800000,
    SVAC_CPU_BMI1 = 0x1000000,
    SVAC_CPU_BMI2 = 0x2000000,
    SVAC_CPU_XOP = 0x4000000,
};
