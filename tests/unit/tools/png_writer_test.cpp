// PNG snapshots read back by a small independent reader: signature, chunk
// CRCs (bitwise CRC-32), zlib header, stored blocks, Adler-32 and pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "png_writer.h"

namespace {

using svactool::PictureView;

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

uint32_t crc_bitwise(const uint8_t *d, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        c ^= d[i];
        for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

struct Decoded {
    uint32_t width = 0, height = 0;
    int colour = -1;
    std::vector<uint8_t> pixels;  // filter bytes removed
};

// Accepts exactly what the writer is meant to produce; fails the test otherwise.
Decoded read_png(const std::vector<uint8_t> &png) {
    Decoded d;
    const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(std::memcmp(png.data(), sig, 8), 0);
    std::vector<uint8_t> z;
    size_t pos = 8;
    std::vector<std::string> order;
    while (pos + 12 <= png.size()) {
        const uint32_t len = be32(&png[pos]);
        const std::string type(png.begin() + pos + 4, png.begin() + pos + 8);
        EXPECT_LE(pos + 12 + len, png.size());
        EXPECT_EQ(be32(&png[pos + 8 + len]), crc_bitwise(&png[pos + 4], len + 4)) << type;
        const uint8_t *data = &png[pos + 8];
        if (type == "IHDR") {
            d.width = be32(data);
            d.height = be32(data + 4);
            EXPECT_EQ(data[8], 8);  // bit depth
            d.colour = data[9];
            EXPECT_EQ(data[10] | data[11] | data[12], 0);
        } else if (type == "IDAT") {
            z.insert(z.end(), data, data + len);
        }
        order.push_back(type);
        pos += 12 + len;
    }
    EXPECT_EQ(pos, png.size());
    EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

    // zlib: header check bits, then stored blocks.
    EXPECT_EQ((z[0] & 15), 8);
    EXPECT_EQ(((z[0] << 8) | z[1]) % 31, 0);
    std::vector<uint8_t> raw;
    size_t p = 2;
    for (bool last = false; !last;) {
        last = z[p] & 1;
        EXPECT_EQ(z[p] >> 1, 0);  // stored
        const unsigned n = z[p + 1] | z[p + 2] << 8, nn = z[p + 3] | z[p + 4] << 8;
        EXPECT_EQ(n ^ 0xFFFF, nn);
        raw.insert(raw.end(), z.begin() + p + 5, z.begin() + p + 5 + n);
        p += 5 + n;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(be32(&z[p]), (b << 16) | a);
    EXPECT_EQ(p + 4, z.size());

    const size_t row = d.width * (d.colour == 2 ? 3 : 1);
    EXPECT_EQ(raw.size(), (row + 1) * d.height);
    for (uint32_t y = 0; y < d.height; y++) {
        EXPECT_EQ(raw[y * (row + 1)], 0);
        d.pixels.insert(d.pixels.end(), raw.begin() + y * (row + 1) + 1, raw.begin() + (y + 1) * (row + 1));
    }
    return d;
}

// BT.601 limited range, straight from the matrix.
void expect_rgb(const uint8_t *px, int Y, int U, int V) {
    const double r = 1.164 * (Y - 16) + 1.596 * (V - 128);
    const double g = 1.164 * (Y - 16) - 0.391 * (U - 128) - 0.813 * (V - 128);
    const double b = 1.164 * (Y - 16) + 2.018 * (U - 128);
    const double want[3] = {r, g, b};
    for (int i = 0; i < 3; i++) {
        const double w = std::min(255.0, std::max(0.0, std::round(want[i])));
        EXPECT_NEAR(px[i], w, 1.0) << "Y " << Y << " U " << U << " V " << V << " channel " << i;
    }
}

TEST(Png, GreyPictureKeepsLuma) {
    std::vector<uint8_t> y(20 * 3);
    for (int i = 0; i < 60; i++) y[i] = static_cast<uint8_t>(i * 4);
    PictureView v;
    v.plane[0] = y.data();
    v.stride[0] = 20;
    v.width = 17;
    v.height = 3;
    v.chroma_format_idc = 0;
    bool grey;
    const auto px = svactool::picture_to_rgb(v, &grey);
    ASSERT_TRUE(grey);
    const Decoded d = read_png(svactool::encode_png(px.data(), 17, 3, true));
    EXPECT_EQ(d.width, 17u);
    EXPECT_EQ(d.height, 3u);
    EXPECT_EQ(d.colour, 0);
    for (int r = 0; r < 3; r++)
        for (int x = 0; x < 17; x++) EXPECT_EQ(d.pixels[r * 17 + x], y[r * 20 + x]);
}

TEST(Png, ColourConversionOfEveryFormat) {
    // Reference colours of the limited-range matrix: white, black, red,
    // green, blue and a mid grey, one per column pair.
    const int yuv[6][3] = {{235, 128, 128}, {16, 128, 128}, {81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {126, 128, 128}};
    for (int chroma : {1, 2}) {
        for (int depth : {8, 10}) {
            const int w = 12, h = 4, bps = depth / 8 + (depth > 8);
            const int ch = chroma == 1 ? h / 2 : h;
            std::vector<uint8_t> planes[3];
            PictureView v;
            for (int i = 0; i < 3; i++) {
                const int pw = i ? w / 2 : w, ph = i ? ch : h;
                planes[i].assign(pw * bps * ph, 0);
                for (int y = 0; y < ph; y++)
                    for (int x = 0; x < pw; x++) {
                        const int colour = (i ? x : x / 2) % 6;
                        const int s = yuv[colour][i] << (depth - 8);
                        if (bps == 1)
                            planes[i][y * pw + x] = static_cast<uint8_t>(s);
                        else
                            reinterpret_cast<uint16_t *>(planes[i].data())[y * pw + x] = static_cast<uint16_t>(s);
                    }
                v.plane[i] = planes[i].data();
                v.stride[i] = pw * bps;
            }
            v.width = w;
            v.height = h;
            v.chroma_format_idc = chroma;
            v.bit_depth = depth;
            const std::string path = testing::TempDir() + "png_test.png";
            std::string err;
            ASSERT_TRUE(svactool::write_png(path, v, &err)) << err;
            std::FILE *f = std::fopen(path.c_str(), "rb");
            std::vector<uint8_t> file(1 << 16);
            file.resize(std::fread(file.data(), 1, file.size(), f));
            std::fclose(f);
            std::remove(path.c_str());
            const Decoded d = read_png(file);
            ASSERT_EQ(d.colour, 2);
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    const int c = (x / 2) % 6;
                    expect_rgb(&d.pixels[(y * w + x) * 3], yuv[c][0], yuv[c][1], yuv[c][2]);
                }
        }
    }
}

TEST(Png, LargeImagesSpanSeveralStoredBlocks) {
    const int w = 200, h = 150;  // 90150 bytes of rows: two blocks
    std::vector<uint8_t> px(w * h * 3);
    for (size_t i = 0; i < px.size(); i++) px[i] = static_cast<uint8_t>(i * 7 + i / 300);
    const Decoded d = read_png(svactool::encode_png(px.data(), w, h, false));
    EXPECT_EQ(d.pixels, px);
}

TEST(Png, ChecksumsMatchPublishedValues) {
    const uint8_t text[] = "123456789";
    EXPECT_EQ(svactool::png_crc32(text, 9), 0xCBF43926u);
    const uint8_t wiki[] = "Wikipedia";
    EXPECT_EQ(svactool::adler32(wiki, 9), 0x11E60398u);
}

}  // namespace
