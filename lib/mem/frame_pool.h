// Reference-counted picture buffers and the per-layer pool that recycles them.
#pragma once

#include <cstdint>

#include "common.h"

// Format codes: chroma format + 1, plus 100 for 10-bit samples.
enum SvacFrameFormat : int32_t {
    SVAC_FMT_400 = 1,
    SVAC_FMT_420 = 2,
    SVAC_FMT_422 = 3,
    SVAC_FMT_400_10 = 101,
    SVAC_FMT_420_10 = 102,
    SVAC_FMT_422_10 = 103,
};

struct SvacFramePool;

struct SvacFrame {
    uint8_t *plane[3];
    int32_t stride[3];
    int32_t plane_count;
    int32_t width;
    int32_t height;
    int32_t format;
    int32_t ref_count;
    SvacFramePool *pool;
    SvacFrame *next;
};

struct SvacFramePool {
    uint32_t width;
    uint32_t height;
    uint32_t format;
    SvacFrame *free_head;
    SvacFrame *free_tail;
};

// Plane layout of one format: strides, start offsets and storage sizes in bytes.
struct SvacFrameGeometry {
    int32_t plane_count;
    int64_t stride[3];
    int64_t offset[3];
    int64_t block_size[3];
};

// False for format codes outside the table.
bool svac_frame_geometry(int32_t width, int32_t height, int32_t format, SvacFrameGeometry *g);

SVAC_EXTERN_C void VQ_SVACDEC_frame_pool_init(SvacFramePool *pool, uint32_t width, uint32_t height,
                                              uint32_t format);
SVAC_EXTERN_C void VQ_SVACDEC_frame_pool_uninit(SvacFramePool *pool);
SVAC_EXTERN_C SvacFrame *VQ_SVACDEC_frame_get(SvacFramePool *pool, int32_t width, int32_t height,
                                              int32_t format);
SVAC_EXTERN_C void VQ_SVACDEC_frame_put(SvacFrame **slot);
SVAC_EXTERN_C void VQ_SVACDEC_frame_ref(SvacFrame **dst, SvacFrame *frame);
SVAC_EXTERN_C void VQ_SVACDEC_frame_move_ref(SvacFrame **dst, SvacFrame **src);
