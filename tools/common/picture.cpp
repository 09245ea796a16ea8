#include "picture.h"

#include <bit>
#include <vector>

namespace svactool {

PictureView picture_view(const SvacDecOutput &out) {
    PictureView v;
    for (int i = 0; i < 3; i++) {
        v.plane[i] = out.plane[i];
        v.stride[i] = out.stride[i];
    }
    v.width = out.width;
    v.height = out.height;
    v.chroma_format_idc = out.chroma_format_idc;
    v.bit_depth = out.bit_depth;
    v.layer = out.layer;
    return v;
}

int plane_count(const PictureView &pic) { return pic.chroma_format_idc == 0 ? 1 : 3; }

int bytes_per_sample(const PictureView &pic) { return pic.bit_depth > 8 ? 2 : 1; }

int32_t plane_width(const PictureView &pic, int i) { return i == 0 ? pic.width : (pic.width + 1) / 2; }

int32_t plane_height(const PictureView &pic, int i) {
    return (i == 0 || pic.chroma_format_idc == 2) ? pic.height : (pic.height + 1) / 2;
}

bool picture_valid(const PictureView &pic) {
    if (pic.width <= 0 || pic.height <= 0) return false;
    if (pic.chroma_format_idc < 0 || pic.chroma_format_idc > 2) return false;
    if (pic.bit_depth != 8 && pic.bit_depth != 10) return false;
    for (int i = 0; i < plane_count(pic); i++) {
        if (!pic.plane[i]) return false;
        if (pic.stride[i] < plane_width(pic, i) * bytes_per_sample(pic)) return false;
    }
    return true;
}

size_t picture_size(const PictureView &pic) {
    size_t n = 0;
    for (int i = 0; i < plane_count(pic); i++)
        n += static_cast<size_t>(plane_width(pic, i)) * plane_height(pic, i) * bytes_per_sample(pic);
    return n;
}

bool for_each_row(const PictureView &pic,
                  const std::function<bool(const uint8_t *bytes, size_t size)> &sink) {
    const int bps = bytes_per_sample(pic);
    // 10-bit samples are host-order words; only a big-endian host must swap.
    const bool swap = bps == 2 && std::endian::native == std::endian::big;
    std::vector<uint8_t> row;
    for (int i = 0; i < plane_count(pic); i++) {
        const size_t n = static_cast<size_t>(plane_width(pic, i)) * bps;
        for (int32_t y = 0; y < plane_height(pic, i); y++) {
            const uint8_t *src = pic.plane[i] + static_cast<ptrdiff_t>(y) * pic.stride[i];
            if (swap) {
                row.assign(src, src + n);
                for (size_t k = 0; k + 1 < n; k += 2) std::swap(row[k], row[k + 1]);
                src = row.data();
            }
            if (!sink(src, n)) return false;
        }
    }
    return true;
}

const char *y4m_colorspace(const PictureView &pic) {
    const bool ten = pic.bit_depth > 8;
    switch (pic.chroma_format_idc) {
        case 0:
            return ten ? "mono10" : "mono";
        case 2:
            return ten ? "422p10 XYSCSS=422P10" : "422";
        default:
            return ten ? "420p10 XYSCSS=420P10" : "420jpeg";
    }
}

}  // namespace svactool
