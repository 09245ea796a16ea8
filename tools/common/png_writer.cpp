#include "png_writer.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace svactool {

namespace {

uint8_t clip8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Sample x of row y of plane i, scaled to 8 bits.
int sample8(const PictureView &pic, int i, int32_t x, int32_t y) {
    const uint8_t *row = pic.plane[i] + static_cast<ptrdiff_t>(y) * pic.stride[i];
    if (pic.bit_depth == 8) return row[x];
    uint16_t v;
    std::memcpy(&v, row + 2 * x, 2);
    return v >> 2;
}

// Pixels row by row: 1 byte per pixel for grey, 3 for RGB.
std::vector<uint8_t> picture_to_rgb(const PictureView &pic, bool *grey) {
    *grey = pic.chroma_format_idc == 0;
    const size_t w = static_cast<size_t>(pic.width), h = static_cast<size_t>(pic.height);
    std::vector<uint8_t> px(w * h * (*grey ? 1 : 3));
    uint8_t *p = px.data();
    for (int32_t y = 0; y < pic.height; y++) {
        const int32_t cy = pic.chroma_format_idc == 1 ? y / 2 : y;
        for (int32_t x = 0; x < pic.width; x++) {
            const int luma = sample8(pic, 0, x, y);
            if (*grey) {
                *p++ = static_cast<uint8_t>(luma);
                continue;
            }
            // Fixed point (x 256) of the usual BT.601 limited-range matrix.
            const int c = 298 * (luma - 16);
            const int d = sample8(pic, 1, x / 2, cy) - 128;
            const int e = sample8(pic, 2, x / 2, cy) - 128;
            *p++ = clip8((c + 409 * e + 128) >> 8);
            *p++ = clip8((c - 100 * d - 208 * e + 128) >> 8);
            *p++ = clip8((c + 516 * d + 128) >> 8);
        }
    }
    return px;
}

}  // namespace

bool write_png(const std::string &path, const PictureView &pic, std::string *error) {
    if (!picture_valid(pic)) {
        *error = "invalid picture geometry";
        return false;
    }
    bool grey;
    const std::vector<uint8_t> px = picture_to_rgb(pic, &grey);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<uint32_t>(pic.width);
    image.height = static_cast<uint32_t>(pic.height);
    image.format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, px.data(), 0, nullptr)) {
        *error = "cannot write " + path + ": " + image.message;
        return false;
    }
    return true;
}

}  // namespace svactool
