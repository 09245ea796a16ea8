// A read-only view of one decoded or reconstructed picture, and the canonical
// byte order every output of the tools uses for it.
//
// Canonical bytes of a picture: the Y plane, then Cb, then Cr (no chroma for
// 4:0:0), row by row, `width` samples per luma row and `height` luma rows
// (chroma planes halved horizontally for 4:2:0 and 4:2:2, vertically for
// 4:2:0); 8-bit samples as single bytes, 10-bit samples as 16-bit
// little-endian words. A raw .yuv file is these bytes picture after picture,
// a Y4M frame carries them after its FRAME line, and the per-picture MD5 is
// taken over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "svacdec.h"

namespace svactool {

struct PictureView {
    const uint8_t *plane[3] = {nullptr, nullptr, nullptr};
    int32_t stride[3] = {0, 0, 0};  // bytes between rows
    int32_t width = 0;              // luma samples
    int32_t height = 0;             // luma rows
    int32_t chroma_format_idc = 1;  // 0 = 4:0:0, 1 = 4:2:0, 2 = 4:2:2
    int32_t bit_depth = 8;          // 8, or 10 with 16-bit samples in host order
    int32_t layer = 0;
};

// The view of a picture handed out by VQ_SVAC_Dec_Decode or VQ_SVAC_Get_LastFrame.
PictureView picture_view(const SvacDecOutput &out);

// True when the geometry and format can be written (positive size, known
// chroma format, bit depth 8 or 10, planes present).
bool picture_valid(const PictureView &pic);

int plane_count(const PictureView &pic);
int bytes_per_sample(const PictureView &pic);
// Samples per row and rows of plane i.
int32_t plane_width(const PictureView &pic, int i);
int32_t plane_height(const PictureView &pic, int i);
// Canonical bytes of the whole picture.
size_t picture_size(const PictureView &pic);

// Calls `sink` once per row, in canonical order, with that row's canonical
// bytes. Returns false as soon as `sink` does.
bool for_each_row(const PictureView &pic, const std::function<bool(const uint8_t *bytes, size_t size)> &sink);

// Y4M colour-space tag ("420jpeg", "422p10", "mono", ...).
const char *y4m_colorspace(const PictureView &pic);

}  // namespace svactool
