// Snapshots as PNG files, without any image library: the zlib stream uses
// stored (uncompressed) deflate blocks, so only CRC-32 and Adler-32 are needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"

namespace svactool {

// Colour conversion used for snapshots: BT.601 limited range, chroma
// repeated to full resolution, 10-bit samples scaled to 8 bits (>> 2).
// 4:0:0 pictures become 8-bit grey PNGs, the others 8-bit RGB.
// Returns the pixels row by row: 1 byte per pixel for grey, 3 for RGB.
std::vector<uint8_t> picture_to_rgb(const PictureView &pic, bool *grey);

// The whole PNG file in memory.
std::vector<uint8_t> encode_png(const uint8_t *pixels, int32_t width, int32_t height, bool grey);

bool write_png(const std::string &path, const PictureView &pic, std::string *error);

uint32_t png_crc32(const uint8_t *data, size_t size, uint32_t crc = 0);
uint32_t adler32(const uint8_t *data, size_t size, uint32_t adler = 1);

}  // namespace svactool
