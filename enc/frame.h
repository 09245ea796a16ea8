// Picture buffers of the generator: three planes of 8-bit samples or 16-bit
// words, with strides in bytes, as the kernels address them.
#pragma once

#include <cstdint>
#include <vector>

namespace svacenc {

struct Plane {
    std::vector<uint8_t> data;
    int width = 0;   // samples
    int height = 0;  // rows
    int stride = 0;  // bytes
};

struct Frame {
    int width = 0;  // luma samples, a multiple of 16
    int height = 0;
    int chroma_format_idc = 1;
    int bit_depth = 8;
    int display = -1;      // display index of the picture it holds (reconstructions)
    int layer = 0;         // 0 base, 1 enhancement (scalable streams)
    bool drained = false;  // handed out by the end-of-stream drain
    Plane planes[3];

    int plane_count() const { return chroma_format_idc == 0 ? 1 : 3; }
    int bytes_per_sample() const { return bit_depth > 8 ? 2 : 1; }
    int chroma_mb_height() const { return chroma_format_idc == 2 ? 16 : 8; }
    uint8_t *at(int p, int x, int y) {
        return planes[p].data.data() + y * planes[p].stride + x * bytes_per_sample();
    }
    const uint8_t *at(int p, int x, int y) const {
        return planes[p].data.data() + y * planes[p].stride + x * bytes_per_sample();
    }
    int sample(int p, int x, int y) const {
        const uint8_t *s = at(p, x, y);
        return bit_depth > 8 ? *reinterpret_cast<const uint16_t *>(s) : *s;
    }
    void set_sample(int p, int x, int y, int v) {
        uint8_t *s = at(p, x, y);
        if (bit_depth > 8)
            *reinterpret_cast<uint16_t *>(s) = static_cast<uint16_t>(v);
        else
            *s = static_cast<uint8_t>(v);
    }
};

// Allocates a frame (samples set to mid-grey) with 32-byte aligned rows.
Frame make_frame(int width, int height, int chroma_format_idc, int bit_depth);

// Copies the samples of one macroblock (all planes) from `src` to `dst`.
void copy_macroblock(const Frame &src, Frame &dst, int mb_x, int mb_y);

}  // namespace svacenc
