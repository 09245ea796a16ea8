#include "png_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace svactool {

namespace {

constexpr std::array<uint32_t, 256> make_crc_table() {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
    }
    return t;
}

constexpr auto kCrcTable = make_crc_table();

void put_be32(std::vector<uint8_t> &out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void put_chunk(std::vector<uint8_t> &out, const char type[4], const std::vector<uint8_t> &data) {
    put_be32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_be32(out, png_crc32(out.data() + start, out.size() - start));
}

uint8_t clip8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Sample x of row y of plane i, scaled to 8 bits.
int sample8(const PictureView &pic, int i, int32_t x, int32_t y) {
    const uint8_t *row = pic.plane[i] + static_cast<ptrdiff_t>(y) * pic.stride[i];
    if (pic.bit_depth == 8) return row[x];
    uint16_t v;
    std::memcpy(&v, row + 2 * x, 2);
    return v >> 2;
}

}  // namespace

uint32_t png_crc32(const uint8_t *data, size_t size, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < size; i++) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(const uint8_t *data, size_t size, uint32_t adler) {
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    for (size_t i = 0; i < size; i++) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

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

std::vector<uint8_t> encode_png(const uint8_t *pixels, int32_t width, int32_t height, bool grey) {
    const size_t row_bytes = static_cast<size_t>(width) * (grey ? 1 : 3);
    // Filter type 0 (none) before every row.
    std::vector<uint8_t> raw;
    raw.reserve((row_bytes + 1) * height);
    for (int32_t y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels + y * row_bytes, pixels + (y + 1) * row_bytes);
    }

    // zlib header (deflate, 32K window, no preset dictionary, check bits
    // making 0x7801 a multiple of 31), stored blocks of at most 65535 bytes.
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    put_be32(z, adler32(raw.data(), raw.size()));

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    put_be32(ihdr, static_cast<uint32_t>(width));
    put_be32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(grey ? 0 : 2), 0, 0, 0});
    put_chunk(png, "IHDR", ihdr);
    put_chunk(png, "IDAT", z);
    put_chunk(png, "IEND", {});
    return png;
}

bool write_png(const std::string &path, const PictureView &pic, std::string *error) {
    if (!picture_valid(pic)) {
        *error = "invalid picture geometry";
        return false;
    }
    bool grey;
    const std::vector<uint8_t> px = picture_to_rgb(pic, &grey);
    const std::vector<uint8_t> png = encode_png(px.data(), pic.width, pic.height, grey);
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    if (std::fclose(f) != 0 || !ok) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace svactool
