#include "arch/x86/cpu.h"

#include <cpuid.h>

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
        if (bit(r.d, 15)) f |= 0x10000;                  // CMOV
        if (bit(r.d, 23)) f |= 0x1;                      // MMX
        if (bit(r.d, 25)) f |= 0x2 | 0x4;                // SSE (and the MMX extensions it implies)
        if (bit(r.d, 26)) f |= 0x8;                      // SSE2
        if (bit(r.c, 0)) f |= 0x20000;                   // SSE3
        if (bit(r.c, 9)) f |= 0x80;                      // SSSE3
        if (bit(r.c, 19)) f |= 0x40000;                  // SSE4.1
        if (bit(r.c, 20)) f |= 0x80000;                  // SSE4.2
        if (bit(r.c, 27) && bit(r.c, 28) && (xgetbv0() & 6) == 6) f |= 0x100000;  // AVX usable
        if (max_std >= 7) {
            const Regs r7 = cpuid(7, 0);
            if (bit(r7.b, 5)) f |= 0x200000;             // AVX2
            if (bit(r7.b, 3)) {
                f |= 0x1000000;                          // BMI1
                if (bit(r7.b, 8)) f |= 0x2000000;        // BMI2
            }
        }
    }
    if (cpuid(0x80000000).a >= 0x80000001) {
        const Regs e = cpuid(0x80000001);
        if (bit(e.d, 31)) f |= 0x10;                     // 3DNow!
        if (bit(e.d, 30)) f |= 0x20;                     // 3DNow! extensions
        if (bit(e.d, 23)) f |= 0x1;                      // MMX
        if (bit(e.d, 22)) f |= 0x4;                      // AMD MMX extensions
        if (f & 0x100000) {
            if (bit(e.c, 11)) f |= 0x4000000;            // XOP
            if (bit(e.c, 16)) f |= 0x800000;             // FMA4
        }
    }
    return f;
}
