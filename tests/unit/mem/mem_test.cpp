// The aligned allocator: alignment and the offset byte, size limits, growth
// of the payload buffer, and corrupt offset bytes.
#include "mem/mem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool aligned32(const void *p) { return (reinterpret_cast<uintptr_t>(p) & 31) == 0; }

TEST(Mem, BlocksAreAlignedAndCarryTheirOffset) {
    std::vector<void *> blocks;
    for (uint64_t size : {0, 1, 7, 31, 32, 33, 100, 4096, 100000}) {
        void *p = VQ_SVACDEC_svac_malloc(size);
        ASSERT_NE(p, nullptr) << size;
        EXPECT_TRUE(aligned32(p)) << size;
        const int d = static_cast<const uint8_t *>(p)[-1];
        EXPECT_GE(d, 1);
        EXPECT_LE(d, 32);
        std::memset(p, 0xA5, size);  // the whole size is usable
        blocks.push_back(p);
    }
    for (void *p : blocks) VQ_SVACDEC_svac_free(p);
}

TEST(Mem, SizeLimits) {
    EXPECT_EQ(VQ_SVACDEC_svac_malloc(0x7FFFFFE0ull), nullptr);
    EXPECT_EQ(VQ_SVACDEC_svac_malloc(~0ull), nullptr);
    EXPECT_EQ(VQ_SVACDEC_svac_calloc(10, 0), nullptr);
    // count must stay below 0x7FFFFFFF / size, without wrapping around
    EXPECT_EQ(VQ_SVACDEC_svac_calloc(0x7FFFFFFF / 8, 8), nullptr);
    EXPECT_EQ(VQ_SVACDEC_svac_calloc(1ull << 40, 1ull << 40), nullptr);
    void *p = VQ_SVACDEC_svac_malloc(16);
    EXPECT_EQ(VQ_SVACDEC_svac_realloc(p, 0x7FFFFFE0ull), nullptr);
    VQ_SVACDEC_svac_free(p);  // still allocated after the refused resize
}

TEST(Mem, ReallocAndFastReallocKeepContents) {
    auto *p = static_cast<uint8_t *>(VQ_SVACDEC_svac_realloc(nullptr, 10));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 10; i++) p[i] = static_cast<uint8_t>(i * 7);
    p = static_cast<uint8_t *>(VQ_SVACDEC_svac_realloc(p, 100000));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 10; i++) EXPECT_EQ(p[i], i * 7);
    p[99999] = 1;
    VQ_SVACDEC_svac_free(p);

    int32_t cap = 0;
    void *q = VQ_SVACDEC_svac_fast_realloc(nullptr, &cap, 100);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(cap, 138);  // 17 x 100 / 16 + 32
    std::memset(q, 0x3C, 100);
    EXPECT_EQ(VQ_SVACDEC_svac_fast_realloc(q, &cap, 137), q);
    q = VQ_SVACDEC_svac_fast_realloc(q, &cap, 138);  // not below the capacity: grows
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(cap, 17 * 138 / 16 + 32);
    EXPECT_EQ(static_cast<uint8_t *>(q)[99], 0x3C);
    VQ_SVACDEC_svac_free(q);
}

TEST(Mem, CorruptOffsetByteIsReported) {
    auto *p = static_cast<uint8_t *>(VQ_SVACDEC_svac_malloc(64));
    const uint8_t d = p[-1];
    for (uint8_t bad : {0x00, 0x21, 0xFF, 0x80}) {
        p[-1] = bad;
        testing::internal::CaptureStdout();
        VQ_SVACDEC_svac_free(p);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "v>0 && v<=SVAC_MEM_ALIGN failed at ../../../../lib/mem.c:80.\n");
        testing::internal::CaptureStdout();
        void *r = VQ_SVACDEC_svac_realloc(p, 128);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "diff>0 && diff<=SVAC_MEM_ALIGN failed at ../../../../lib/mem.c:67.\n");
        EXPECT_EQ(r, nullptr);  // nothing is released or moved at a wrong address
    }
    p[-1] = d;  // repaired, the block is released normally
    VQ_SVACDEC_svac_free(p);
}

}  // namespace
