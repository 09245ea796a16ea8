// Edge emulation: a copy of a reference area in which every sample outside
// the plane is replaced by the nearest sample on the plane's edge, so the
// interpolation kernels can read a full neighbourhood anywhere.
#include <algorithm>
#include <cstring>

#include "dsp/mc.h"

template <typename Pixel>
void emulated_edge_mc_tpl(uint8_t *buf, const uint8_t *src, ptrdiff_t buf_stride, ptrdiff_t src_stride,
                          int block_w, int block_h, int src_x, int src_y, int w, int h) {
    if (!w || !h) return;
    // An area wholly outside is first moved back until it overlaps the plane
    // in one row and one column; the replicated result is the same. The moves
    // are in 64 bits: positions from the caller may be far out.
    int64_t x = src_x, y = src_y, move_x = 0, move_y = 0;
    if (y >= h) {
        move_y = h - 1 - y;
        y = h - 1;
    } else if (y <= -block_h) {
        move_y = 1 - int64_t(block_h) - y;
        y = 1 - int64_t(block_h);
    }
    if (x >= w) {
        move_x = w - 1 - x;
        x = w - 1;
    } else if (x <= -block_w) {
        move_x = 1 - int64_t(block_w) - x;
        x = 1 - int64_t(block_w);
    }
    const int64_t start_y = std::max<int64_t>(0, -y), end_y = std::min<int64_t>(block_h, h - y);
    const int64_t start_x = std::max<int64_t>(0, -x), end_x = std::min<int64_t>(block_w, w - x);
    if (start_y >= end_y || !block_h) {
        svac_report_check("start_y < end_y && block_h", __FILE__, __LINE__);
        return;
    }
    if (start_x >= end_x || !block_w) {
        svac_report_check("start_x < end_x && block_w", __FILE__, __LINE__);
        return;
    }
    constexpr ptrdiff_t ps = sizeof(Pixel);
    // First sample inside the plane that the area covers.
    const uint8_t *inside = src + (move_y + start_y) * src_stride + (move_x + start_x) * ps;
    const size_t copy_bytes = size_t(end_x - start_x) * ps;
    for (int64_t r = 0; r < block_h; r++) {
        const int64_t plane_row = std::clamp(r, start_y, end_y - 1) - start_y;
        Pixel *row = reinterpret_cast<Pixel *>(buf + r * buf_stride);
        std::memcpy(row + start_x, inside + plane_row * src_stride, copy_bytes);
        std::fill(row, row + start_x, row[start_x]);
        std::fill(row + end_x, row + block_w, row[end_x - 1]);
    }
}

template void emulated_edge_mc_tpl<uint8_t>(uint8_t *, const uint8_t *, ptrdiff_t, ptrdiff_t, int, int, int,
                                            int, int, int);
template void emulated_edge_mc_tpl<uint16_t>(uint8_t *, const uint8_t *, ptrdiff_t, ptrdiff_t, int, int, int,
                                             int, int, int);
