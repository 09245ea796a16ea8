// The frame pool: a worked layout, margins that can be written without
// touching another plane, first-in first-out recycling, reference counts and
// geometry changes.
#include "mem/frame_pool.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const int kFormats[] = {1, 2, 3, 101, 102, 103};

TEST(FramePool, WorkedExample1080p) {
    SvacFramePool pool{};
    SvacFrame *f = VQ_SVACDEC_frame_get(&pool, 1920, 1080, SVAC_FMT_420);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->stride[0], 1952);
    EXPECT_EQ(f->stride[1], 992);
    EXPECT_EQ(f->stride[2], 992);
    // Luma: 1120 rows of 1952 bytes + 32; chroma: 560 rows of 992 + 32.
    EXPECT_EQ(f->plane[1] - f->plane[0], (1120 * 1952 + 32) - (16 * 1952 + 32) + (8 * 992 + 32));
    EXPECT_EQ(f->plane[2] - f->plane[1], 560 * 992 + 32);
    const int64_t storage_start = (f->plane[0] - (16 * 1952 + 32)) - reinterpret_cast<uint8_t *>(f);
    EXPECT_EQ(storage_start % 32, 0);
    EXPECT_GE(storage_start, static_cast<int64_t>(sizeof(SvacFrame)));
    VQ_SVACDEC_frame_put(&f);
    VQ_SVACDEC_frame_pool_uninit(&pool);
}

// Each plane's picture with 16 rows (8 for 4:2:0 chroma) and 16 samples of
// margin before every row: writable, 32-byte aligned, and owned by that plane
// only (the sanitizers check the allocation).
TEST(FramePool, PlanesWithTheirMarginsDoNotOverlap) {
    for (int fmt : kFormats) {
        for (auto size : {std::pair{48, 32}, {176, 144}, {33, 17}}) {
            const int w = size.first, h = size.second;
            SvacFramePool pool{};
            SvacFrame *f = VQ_SVACDEC_frame_get(&pool, w, h, fmt);
            ASSERT_NE(f, nullptr);
            const int bps = fmt > 100 ? 2 : 1, chroma = fmt % 100 - 1;
            EXPECT_EQ(f->plane_count, chroma ? 3 : 1);
            auto area = [&](int i, int *rows, int *margin) {
                const bool sub_rows = i && chroma == 1;
                *margin = sub_rows ? 8 : 16;
                *rows = ((h + 15) / 16 * 16 >> (sub_rows ? 1 : 0)) + 2 * *margin;
                return f->plane[i] - *margin * f->stride[i] - 16 * bps;
            };
            for (int i = 0; i < f->plane_count; i++) {
                int rows, margin;
                uint8_t *start = area(i, &rows, &margin);
                EXPECT_EQ(reinterpret_cast<uintptr_t>(f->plane[i]) % 32, 0u);
                for (int r = 0; r < rows; r++) std::memset(start + r * f->stride[i], 0x10 + i, f->stride[i]);
            }
            for (int i = 0; i < f->plane_count; i++) {
                int rows, margin;
                const uint8_t *start = area(i, &rows, &margin);
                for (int64_t k = 0; k < int64_t(rows) * f->stride[i]; k++)
                    ASSERT_EQ(start[k], 0x10 + i) << fmt << " " << w << "x" << h << " plane " << i;
            }
            VQ_SVACDEC_frame_put(&f);
            VQ_SVACDEC_frame_pool_uninit(&pool);
        }
    }
}

// Released frames come back first in first out; a frame goes back to the
// pool only when its last holder releases it.
TEST(FramePool, RecyclingAndReferenceCounts) {
    SvacFramePool pool{};
    SvacFrame *a = VQ_SVACDEC_frame_get(&pool, 32, 32, SVAC_FMT_420);
    SvacFrame *b = VQ_SVACDEC_frame_get(&pool, 32, 32, SVAC_FMT_420);
    SvacFrame *const ra = a, *const rb = b;
    SvacFrame *held = nullptr, *moved = nullptr;
    VQ_SVACDEC_frame_ref(&held, a);
    EXPECT_EQ(a->ref_count, 2);
    VQ_SVACDEC_frame_move_ref(&moved, &held);
    EXPECT_EQ(held, nullptr);
    VQ_SVACDEC_frame_put(&a);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(pool.free_head, nullptr);  // still held
    VQ_SVACDEC_frame_put(&moved);
    VQ_SVACDEC_frame_put(&b);
    VQ_SVACDEC_frame_put(&b);  // an empty slot: nothing
    EXPECT_EQ(ra->ref_count, 0);
    EXPECT_EQ(pool.free_tail, rb);
    SvacFrame *x = VQ_SVACDEC_frame_get(&pool, 32, 32, SVAC_FMT_420);
    SvacFrame *y = VQ_SVACDEC_frame_get(&pool, 32, 32, SVAC_FMT_420);
    EXPECT_EQ(x, ra);
    EXPECT_EQ(y, rb);
    EXPECT_EQ(pool.free_tail, nullptr);
    EXPECT_EQ(x->ref_count, 1);
    for (SvacFrame **s : {&x, &y}) VQ_SVACDEC_frame_put(s);
    VQ_SVACDEC_frame_pool_uninit(&pool);
}

TEST(FramePool, GeometryChange) {
    SvacFramePool pool{};
    SvacFrame *held = VQ_SVACDEC_frame_get(&pool, 64, 32, SVAC_FMT_420);
    SvacFrame *spare = VQ_SVACDEC_frame_get(&pool, 64, 32, SVAC_FMT_420);
    VQ_SVACDEC_frame_put(&spare);
    ASSERT_NE(pool.free_head, nullptr);

    for (auto [w, h, fmt] : {std::tuple{80, 32, 2}, {80, 48, 2}, {80, 48, 102}}) {
        SvacFrame *n = VQ_SVACDEC_frame_get(&pool, w, h, fmt);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(pool.free_head, nullptr);  // the old free frames were released
        VQ_SVACDEC_frame_put(&n);
        EXPECT_NE(pool.free_head, nullptr);
    }
    // A frame of an old geometry is freed, not pooled, by its last holder
    // (the sanitizers would report it leaked or released twice otherwise).
    SvacFrame *const pooled = pool.free_head;
    VQ_SVACDEC_frame_put(&held);
    EXPECT_EQ(pool.free_tail, pooled);
    VQ_SVACDEC_frame_pool_uninit(&pool);
}

TEST(FramePool, InvalidRequests) {
    SvacFramePool pool{};
    char msg[128];
    struct {
        SvacFramePool *pool;
        int w, h, fmt;
    } cases[] = {{nullptr, 16, 16, 2}, {&pool, 0, 16, 2}, {&pool, 16, 0, 2}, {&pool, 16, 16, 0}};
    for (const auto &c : cases) {
        std::snprintf(msg, sizeof msg, "invalid parameter: pool %p width %d height %d fmt %d\n",
                      static_cast<void *>(c.pool), c.w, c.h, c.fmt);
        testing::internal::CaptureStdout();
        EXPECT_EQ(VQ_SVACDEC_frame_get(c.pool, c.w, c.h, c.fmt), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), msg);
    }
    for (int fmt : {4, 100, 104, -1}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(VQ_SVACDEC_frame_get(&pool, 16, 16, fmt), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "unsupport frame format: " + std::to_string(fmt) + "\n");
    }
    // Far beyond what the allocator accepts.
    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_frame_get(&pool, 1 << 20, 1 << 14, SVAC_FMT_422_10), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "alloc frame buffer error!\n");
    VQ_SVACDEC_frame_pool_uninit(&pool);
}

}  // namespace
