#include "frame.h"

#include <cstring>

namespace svacenc {

Frame make_frame(int width, int height, int chroma_format_idc, int bit_depth) {
    Frame f;
    f.width = width;
    f.height = height;
    f.chroma_format_idc = chroma_format_idc;
    f.bit_depth = bit_depth;
    for (int p = 0; p < f.plane_count(); p++) {
        Plane &pl = f.planes[p];
        pl.width = p == 0 ? width : width / 2;
        pl.height = p == 0 || chroma_format_idc == 2 ? height : height / 2;
        pl.stride = (pl.width * f.bytes_per_sample() + 31) & ~31;
        pl.data.assign(static_cast<size_t>(pl.stride) * pl.height, 0);
        const int mid = 1 << (bit_depth - 1);
        for (int y = 0; y < pl.height; y++)
            for (int x = 0; x < pl.width; x++) f.set_sample(p, x, y, mid);
    }
    return f;
}

void copy_macroblock(const Frame &src, Frame &dst, int mb_x, int mb_y) {
    const int bps = src.bytes_per_sample();
    for (int p = 0; p < src.plane_count(); p++) {
        const int w = p == 0 ? 16 : 8;
        const int h = p == 0 ? 16 : src.chroma_mb_height();
        for (int y = 0; y < h; y++)
            std::memcpy(dst.at(p, mb_x * w, mb_y * h + y), src.at(p, mb_x * w, mb_y * h + y),
                        static_cast<size_t>(w * bps));
    }
}

}  // namespace svacenc
