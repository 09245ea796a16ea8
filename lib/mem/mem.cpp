#include "mem/mem.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int64_t> g_fail_at{-1};
std::atomic<uint64_t> g_max_size{SVAC_MEM_MAX};
std::atomic<uint64_t> g_refused{0};

bool refused(uint64_t size) {
    const int64_t n = g_fail_at.load(std::memory_order_relaxed);
    if (n >= 0) g_fail_at.store(n - 1, std::memory_order_relaxed);
    if (n != 0 && size <= g_max_size.load(std::memory_order_relaxed)) return false;
    g_refused.fetch_add(1, std::memory_order_relaxed);
    return true;
}

}  // namespace

void svac_mem_fail(int64_t fail_at, uint64_t max_size) {
    g_fail_at = fail_at;
    g_max_size = max_size < SVAC_MEM_MAX ? max_size : SVAC_MEM_MAX;
}

uint64_t svac_mem_refused() { return g_refused.load(); }

// A block at A was obtained from the system at A - d (1 <= d <= 32); the byte
// at A - 1 holds d, so blocks can be freed and resized without a side table.

void *VQ_SVACDEC_svac_malloc(uint64_t size) {
    if (size > SVAC_MEM_MAX || refused(size)) return nullptr;
    auto *base = static_cast<uint8_t *>(std::malloc(size + SVAC_MEM_ALIGN));
    if (!base) return nullptr;
    const unsigned d = (~reinterpret_cast<uintptr_t>(base) & (SVAC_MEM_ALIGN - 1)) + 1;
    base[d - 1] = static_cast<uint8_t>(d);
    return base + d;
}

void *VQ_SVACDEC_svac_mallocz(uint64_t size) {
    void *p = VQ_SVACDEC_svac_malloc(size);
    if (p) std::memset(p, 0, size);
    return p;
}

void *VQ_SVACDEC_svac_calloc(uint64_t count, uint64_t size) {
    if (size == 0 || count >= 0x7FFFFFFFu / size) return nullptr;
    return VQ_SVACDEC_svac_mallocz(count * size);
}

// A corrupt offset byte is reported; the block is then left alone rather than
// handed to the system allocator at a wrong address.
static bool offset_ok(const uint8_t *block, const char *cond, int line) {
    const int d = static_cast<int8_t>(block[-1]);
    if (d > 0 && d <= SVAC_MEM_ALIGN) return true;
    svac_report_check(cond, "../../../../lib/mem.c", line);
    return false;
}

void VQ_SVACDEC_svac_free(void *block) {
    if (!block) return;
    auto *a = static_cast<uint8_t *>(block);
    if (!offset_ok(a, "v>0 && v<=SVAC_MEM_ALIGN", 80)) return;
    std::free(a - a[-1]);
}

void *VQ_SVACDEC_svac_realloc(void *block, uint64_t size) {
    if (!block) return VQ_SVACDEC_svac_malloc(size);
    if (size > SVAC_MEM_MAX || refused(size)) return nullptr;
    auto *a = static_cast<uint8_t *>(block);
    if (!offset_ok(a, "diff>0 && diff<=SVAC_MEM_ALIGN", 67)) return nullptr;
    const unsigned d = a[-1];
    auto *b = static_cast<uint8_t *>(std::realloc(a - d, size + d));
    return b ? b + d : nullptr;
}

void *VQ_SVACDEC_svac_fast_realloc(void *block, int32_t *capacity, int32_t min_size) {
    if (min_size < *capacity) return block;
    // Grow by a sixteenth plus 32 spare bytes (the bit reader loads 4 bytes at
    // a time past the last payload byte). 64-bit so huge sizes cannot wrap.
    int64_t grown = 17 * static_cast<int64_t>(min_size) / 16 + 32;
    if (grown < min_size) grown = min_size;
    if (grown > static_cast<int64_t>(SVAC_MEM_MAX)) grown = SVAC_MEM_MAX;
    void *p = VQ_SVACDEC_svac_realloc(block, static_cast<uint64_t>(grown));
    // The caller replaces its pointer with the result, so a failed growth
    // releases the old block instead of leaking it.
    if (!p) VQ_SVACDEC_svac_free(block);
    *capacity = p ? static_cast<int32_t>(grown) : 0;
    return p;
}

void VQ_SVACDEC_svac_freep(void *block_ptr) {
    auto **pp = static_cast<void **>(block_ptr);
    VQ_SVACDEC_svac_free(*pp);
    *pp = nullptr;
}
