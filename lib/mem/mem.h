// Aligned heap blocks. Every allocation of the library goes through here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common.h"

inline constexpr int SVAC_MEM_ALIGN = 32;
// Largest request: the system allocation (size + 32) stays below 2^31.
inline constexpr uint64_t SVAC_MEM_MAX = 0x7FFFFFDFu;

SVAC_EXTERN_C void *VQ_SVACDEC_svac_malloc(uint64_t size);
SVAC_EXTERN_C void *VQ_SVACDEC_svac_mallocz(uint64_t size);
SVAC_EXTERN_C void *VQ_SVACDEC_svac_calloc(uint64_t count, uint64_t size);
SVAC_EXTERN_C void *VQ_SVACDEC_svac_realloc(void *block, uint64_t size);
SVAC_EXTERN_C void *VQ_SVACDEC_svac_fast_realloc(void *block, int32_t *capacity, int32_t min_size);
SVAC_EXTERN_C void VQ_SVACDEC_svac_free(void *block);
SVAC_EXTERN_C void VQ_SVACDEC_svac_freep(void *block_ptr);

// Failure injection for tests and fuzzers: the allocation `fail_at` requests
// from now fails (negative: none), and so does every request above
// `max_size`. svac_mem_refused counts the requests refused so far.
void svac_mem_fail(int64_t fail_at, uint64_t max_size);
uint64_t svac_mem_refused();

// Typed convenience for the library's own arrays.
template <typename T>
inline T *svac_alloc_zeroed(uint64_t count) {
    if (count > SVAC_MEM_MAX / sizeof(T)) return nullptr;
    return static_cast<T *>(VQ_SVACDEC_svac_mallocz(count * sizeof(T)));
}

template <typename T>
inline void svac_freep(T **ptr) {
    VQ_SVACDEC_svac_freep(ptr);
}
