// Shared by every library source: export markers, error codes and the
// internal-check report.
#pragma once

#include <cstdint>
#include <cstdio>

#define SVAC_EXPORT __attribute__((visibility("default")))
#define SVAC_EXTERN_C extern "C" SVAC_EXPORT

// Negative results of the decoding functions.
enum SvacError : int32_t {
    SVAC_ERR_NOMEM = -1,      // out of memory
    SVAC_ERR_INVALID = -2,    // invalid or refused data
    SVAC_ERR_GOLOMB = -3,     // failed Exp-Golomb value, out-of-range B type
    SVAC_ERR_SPS = -5,        // refused sequence parameter set
    SVAC_ERR_BITSTREAM = -8,  // bitstream error inside a residual block
};

// Internal checks report the condition text, the source path and the line
// they carry, then the caller goes on as its own rules say.
inline void svac_report_check(const char *cond, const char *file, int line) {
    std::printf("%s failed at %s:%d.\n", cond, file, line);
}

#define SVAC_LIKELY(x) __builtin_expect(!!(x), 1)
#define SVAC_UNLIKELY(x) __builtin_expect(!!(x), 0)
