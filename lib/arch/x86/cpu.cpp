#include "arch/x86/cpu.h"

#include <cpuid.h>

#include "arch/cpu_flags.h"

namespace {

struct Regs {
    unsigned a, b, c, d;
};

Regs cpuid(unsigned leaf, unsigned sub = 0) {
    Regs r{};
    __cpuid_count(leaf, sub, r.a, r.b, r.c, r.d);
    return r;
}

uint64_t xgetbv0() {
    unsigned lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<uint64_t>(hi) << 32) | lo;
}

constexpr bool bit(unsigned v, int n) { return (v >> n) & 1; }

}  // namespace

uint32_t VQ_SVACDEC_get_cpu_flags_x86(void) {
    uint32_t f = 0;
    const unsigned max_std = cpuid(0).a;
    if (max_std >= 1) {
        const Regs r = cpuid(1);
        if (bit(r.d, 15)) f |= SVAC_CPU_CMOV;
        if (bit(r.d, 23)) f |= SVAC_CPU_MMX;
        if (bit(r.d, 25)) f |= SVAC_CPU_SSE | SVAC_CPU_MMXEXT;
        if (bit(r.d, 26)) f |= SVAC_CPU_SSE2;
        if (bit(r.c, 0)) f |= SVAC_CPU_SSE3;
        if (bit(r.c, 9)) f |= SVAC_CPU_SSSE3;
        if (bit(r.c, 19)) f |= SVAC_CPU_SSE41;
        if (bit(r.c, 20)) f |= SVAC_CPU_SSE42;
        if (bit(r.c, 27) && bit(r.c, 28) && (xgetbv0() & 6) == 6) f |= SVAC_CPU_AVX;
        if (max_std >= 7) {
            const Regs r7 = cpuid(7, 0);
            if (bit(r7.b, 5)) f |= SVAC_CPU_AVX2;
            if (bit(r7.b, 3)) {
                f |= SVAC_CPU_BMI1;
                if (bit(r7.b, 8)) f |= SVAC_CPU_BMI2;
            }
        }
    }
    if (cpuid(0x80000000).a >= 0x80000001) {
        const Regs e = cpuid(0x80000001);
        if (bit(e.d, 31)) f |= SVAC_CPU_3DNOW;
        if (bit(e.d, 30)) f |= SVAC_CPU_3DNOWEXT;
        if (bit(e.d, 23)) f |= SVAC_CPU_MMX;
        if (bit(e.d, 22)) f |= SVAC_CPU_MMXEXT;
        if (f & SVAC_CPU_AVX) {
            if (bit(e.c, 11)) f |= SVAC_CPU_XOP;
            if (bit(e.c, 16)) f |= SVAC_CPU_FMA4;
        }
    }
    return f;
}
