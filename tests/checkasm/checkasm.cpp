// Fills the kernel tables for the portable kernels, then for the SIMD ones,
// and checks every entry that changed against its portable twin:
//   checkasm [--seed N] [--bench] [--trials N]
#include "checkasm.h"

#include <cstdlib>
#include <ctime>

#include "arch/x86/cpu.h"
#include "dsp/dsp_init.h"
#include "snapshot.h"

int main(int argc, char **argv) {
    checkasm::Context ctx;
    ctx.seed = static_cast<uint64_t>(std::time(nullptr));
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--bench") {
            ctx.bench = true;
        } else if (a == "--seed" && i + 1 < argc) {
            ctx.seed = std::strtoull(argv[++i], nullptr, 0);
        } else if (a == "--trials" && i + 1 < argc) {
            ctx.trials = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: checkasm [--seed N] [--bench] [--trials N]\n");
            return 2;
        }
    }
    const uint32_t flags = VQ_SVACDEC_get_cpu_flags_x86();
    std::printf("checkasm: seed %llu, cpu flags 0x%x\n", static_cast<unsigned long long>(ctx.seed), flags);
    if (!(flags & SVAC_CPU_SSSE3)) {
        std::printf("checkasm: no SSSE3 on this processor, nothing to compare\n");
        return 0;
    }
    svac_kernels_init(0);
    const checkasm::Snapshot portable;
    svac_kernels_init(flags);
    if (ctx.bench) std::printf("%-44s %12s %12s %7s\n", "kernel", "portable", "SIMD", "speed-up");
    checkasm::check_mc(ctx, portable);
    checkasm::check_dsp(ctx, portable);
    std::printf("checkasm: %d kernels compared, %d failed\n", ctx.tested, ctx.failed);
    return ctx.failed ? 1 : 0;
}
