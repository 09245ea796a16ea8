// PNG snapshots read back with libpng: grey pictures keep their luma, colour
// pictures of every format convert by the BT.601 limited-range matrix.
#include "png_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using svactool::PictureView;

// The pixels of a PNG file and its format (grey or RGB).
std::vector<uint8_t> read_png(const std::string &path, uint32_t *format, uint32_t *width) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> px;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return px;
    *format = image.format;
    *width = image.width;
    px.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) px.clear();
    std::remove(path.c_str());
    return px;
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
    const std::string path = testing::TempDir() + "png_grey.png";
    std::string err;
    ASSERT_TRUE(svactool::write_png(path, v, &err)) << err;
    uint32_t format = 0, width = 0;
    const std::vector<uint8_t> px = read_png(path, &format, &width);
    ASSERT_EQ(px.size(), 17u * 3);
    EXPECT_EQ(format, uint32_t(PNG_FORMAT_GRAY));
    EXPECT_EQ(width, 17u);
    for (int r = 0; r < 3; r++)
        for (int x = 0; x < 17; x++) EXPECT_EQ(px[r * 17 + x], y[r * 20 + x]);
}

TEST(Png, ColourConversionOfEveryFormat) {
    // Reference colours of the limited-range matrix: white, black, red,
    // green, blue and a mid grey, one per column pair.
    const int yuv[6][3] = {{235, 128, 128}, {16, 128, 128}, {81, 90, 240},
                           {145, 54, 34},   {41, 240, 110}, {126, 128, 128}};
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
                            reinterpret_cast<uint16_t *>(planes[i].data())[y * pw + x] =
                                static_cast<uint16_t>(s);
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
            uint32_t format = 0, width = 0;
            const std::vector<uint8_t> px = read_png(path, &format, &width);
            ASSERT_EQ(px.size(), size_t(w * h * 3));
            ASSERT_EQ(format, uint32_t(PNG_FORMAT_RGB));
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    const int c = (x / 2) % 6;
                    expect_rgb(&px[(y * w + x) * 3], yuv[c][0], yuv[c][1], yuv[c][2]);
                }
        }
    }
}

}  // namespace
