#include "mem/frame_pool.h"

#include "mem/mem.h"

namespace {

constexpr int64_t round_up(int64_t v, int64_t m) { return (v + m - 1) / m * m; }

// The planes follow the header at a 32-byte boundary.
constexpr int64_t kHeaderSize = round_up(sizeof(SvacFrame), 32);

}  // namespace

// Every plane keeps a margin that reference pictures fill with copies of
// their edges: at least 16 rows above and below the luma plane and 32 samples
// between its rows; 8 rows and 16 samples for 4:2:0 chroma, 16 rows for 4:2:2.
bool svac_frame_geometry(int32_t width, int32_t height, int32_t format, SvacFrameGeometry *g) {
    const bool ten_bit = format > 100;
    const int chroma = format - (ten_bit ? 101 : 1);
    if (chroma < 0 || chroma > 2) return false;
    const int64_t w16 = round_up(width, 16);
    const int64_t rows = round_up(height, 32) + 32;
    const int64_t s8 = round_up(w16 + 32, 32);
    const int64_t c8 = round_up((w16 + 32) / 2, 32);
    const int64_t s10 = round_up(2 * w16 + 64, 32);

    *g = {};
    const int64_t luma_stride = ten_bit ? s10 : s8;
    g->plane_count = chroma == 0 ? 1 : 3;
    g->stride[0] = luma_stride;
    g->block_size[0] = rows * luma_stride + 32;
    g->offset[0] = 16 * luma_stride + 32;
    if (chroma) {
        const int64_t cstride = ten_bit ? s8 : c8;
        const int64_t crows = chroma == 1 ? rows / 2 : rows;
        const int64_t margin = chroma == 1 ? 8 : 16;
        for (int i = 1; i < 3; i++) {
            g->stride[i] = cstride;
            g->block_size[i] = cstride * crows + 32;
            g->offset[i] = margin * cstride + 32;
        }
    }
    return true;
}

void VQ_SVACDEC_frame_pool_init(SvacFramePool *pool, uint32_t width, uint32_t height, uint32_t format) {
    pool->width = width;
    pool->height = height;
    pool->format = format;
    pool->free_head = pool->free_tail = nullptr;
}

void VQ_SVACDEC_frame_pool_uninit(SvacFramePool *pool) {
    for (SvacFrame *f = pool->free_head; f;) {
        SvacFrame *next = f->next;
        VQ_SVACDEC_svac_free(f);
        f = next;
    }
    VQ_SVACDEC_frame_pool_init(pool, 0, 0, 0);
}

SvacFrame *VQ_SVACDEC_frame_get(SvacFramePool *pool, int32_t width, int32_t height, int32_t format) {
    if (!pool || !width || !height || !format) {
        std::printf("invalid parameter: pool %p width %d height %d fmt %d\n", static_cast<void *>(pool),
                    width, height, format);
        return nullptr;
    }
    if (pool->width != static_cast<uint32_t>(width) || pool->height != static_cast<uint32_t>(height) ||
        pool->format != static_cast<uint32_t>(format)) {
        VQ_SVACDEC_frame_pool_uninit(pool);
        VQ_SVACDEC_frame_pool_init(pool, width, height, format);
    }
    if (SvacFrame *f = pool->free_head) {
        pool->free_head = f->next;
        if (!pool->free_head) pool->free_tail = nullptr;
        f->next = nullptr;
        f->ref_count = 1;
        f->pool = pool;
        return f;
    }

    SvacFrameGeometry g;
    if (!svac_frame_geometry(width, height, format, &g)) {
        std::printf("unsupport frame format: %d\n", format);
        return nullptr;
    }
    // Sizes are 64-bit here; the allocator refuses anything past its limit,
    // and the driver refuses pictures too large long before that.
    const int64_t total = kHeaderSize + g.block_size[0] + g.block_size[1] + g.block_size[2];
    // Zeroed: a picture that is never fully written must not show heap contents.
    auto *mem = static_cast<uint8_t *>(
        width < 0 || height < 0 ? nullptr : VQ_SVACDEC_svac_mallocz(static_cast<uint64_t>(total)));
    if (!mem) {
        std::puts("alloc frame buffer error!");
        return nullptr;
    }
    auto *f = reinterpret_cast<SvacFrame *>(mem);
    f->width = width;
    f->height = height;
    f->format = format;
    f->plane_count = g.plane_count;
    uint8_t *storage = mem + kHeaderSize;
    for (int i = 0; i < g.plane_count; i++) {
        f->plane[i] = storage + g.offset[i];
        f->stride[i] = static_cast<int32_t>(g.stride[i]);
        storage += g.block_size[i];
    }
    f->ref_count = 1;
    f->pool = pool;
    return f;
}

void VQ_SVACDEC_frame_put(SvacFrame **slot) {
    if (!slot) return;
    SvacFrame *f = *slot;
    *slot = nullptr;
    if (!f || f->ref_count < 1) return;
    if (--f->ref_count > 0) return;
    SvacFramePool *pool = f->pool;
    if (pool->width != static_cast<uint32_t>(f->width) || pool->height != static_cast<uint32_t>(f->height) ||
        pool->format != static_cast<uint32_t>(f->format)) {
        VQ_SVACDEC_svac_free(f);
        return;
    }
    f->next = nullptr;
    if (pool->free_tail)
        pool->free_tail->next = f;
    else
        pool->free_head = f;
    pool->free_tail = f;
}

void VQ_SVACDEC_frame_ref(SvacFrame **dst, SvacFrame *frame) {
    *dst = frame;
    if (frame) frame->ref_count++;
}

void VQ_SVACDEC_frame_move_ref(SvacFrame **dst, SvacFrame **src) {
    *dst = *src;
    *src = nullptr;
}
