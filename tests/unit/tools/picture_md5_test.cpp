// Per-picture MD5: RFC 1321 vectors laid out as pictures, the canonical byte
// order of every format, and the list reader.
#include "picture_md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "security/crypto.h"

namespace {

using svactool::PictureView;

bool md5_available() {
    SvacHashCtx *h = VQ_SVACDEC_hash_open(0);
    VQ_SVACDEC_hash_close(h);
    return h != nullptr;
}

#define REQUIRE_MD5() \
    if (!md5_available()) GTEST_SKIP() << "the library's MD5 is not available"

// A plane of `w` x `h` samples of `bps` bytes with rows `stride` bytes apart,
// filled from `bytes` row by row; the padding holds junk that must be ignored.
struct Plane {
    std::vector<uint8_t> mem;
    Plane(const std::string &bytes, int w, int h, int bps, int stride) : mem(stride * h, 0xEE) {
        for (int y = 0; y < h; y++) std::memcpy(&mem[y * stride], bytes.data() + y * w * bps, w * bps);
    }
};

// A picture over up to three planes with their strides.
PictureView view(std::vector<Plane *> planes, std::vector<int> strides, int w, int h, int chroma_format_idc,
                 int bit_depth = 8) {
    PictureView v;
    for (size_t i = 0; i < planes.size(); i++) {
        v.plane[i] = planes[i]->mem.data();
        v.stride[i] = strides[i];
    }
    v.width = w;
    v.height = h;
    v.chroma_format_idc = chroma_format_idc;
    v.bit_depth = bit_depth;
    return v;
}

TEST(PictureMd5, Rfc1321VectorsAsPictures) {
    REQUIRE_MD5();
    // "abc" as a 3x1 grey picture.
    Plane abc("abc", 3, 1, 1, 32);
    EXPECT_EQ(svactool::picture_md5_hex(view({&abc}, {32}, 3, 1, 0)), "900150983cd24fb0d6963f7d28e17f72");

    // The alphabet as two rows of 13.
    Plane alpha("abcdefghijklmnopqrstuvwxyz", 13, 2, 1, 16);
    EXPECT_EQ(svactool::picture_md5_hex(view({&alpha}, {16}, 13, 2, 0)), "c3fcd3d76192e4007dfb496cca67e13b");

    // "1234567890" x 8 as an 8x5 4:2:2 picture: 40 luma bytes, 20 + 20 chroma.
    std::string digits;
    for (int i = 0; i < 8; i++) digits += "1234567890";
    Plane y(digits.substr(0, 40), 8, 5, 1, 24), cb(digits.substr(40, 20), 4, 5, 1, 8),
        cr(digits.substr(60, 20), 4, 5, 1, 40);
    EXPECT_EQ(svactool::picture_md5_hex(view({&y, &cb, &cr}, {24, 8, 40}, 8, 5, 2)),
              "57edf4a22be3c955ac49da2e2107b67a");

    // The same 80 bytes as a 10-bit 4:2:2 picture of 4x5: each little-endian
    // word holds two of the characters.
    std::vector<uint16_t> words(40);
    for (int i = 0; i < 40; i++) words[i] = static_cast<uint16_t>(digits[2 * i] | (digits[2 * i + 1] << 8));
    std::string w(reinterpret_cast<const char *>(words.data()), 80);
    Plane y10(w.substr(0, 40), 4, 5, 2, 16), cb10(w.substr(40, 20), 2, 5, 2, 8),
        cr10(w.substr(60, 20), 2, 5, 2, 4);
    EXPECT_EQ(svactool::picture_md5_hex(view({&y10, &cb10, &cr10}, {16, 8, 4}, 4, 5, 2, 10)),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(PictureMd5, FourTwoZeroTakesHalfTheChromaRows) {
    REQUIRE_MD5();
    // 16x4 picture: Y 64 bytes, then 8x2 Cb and 8x2 Cr, equal to a 96x1 grey
    // picture holding the same bytes in that order.
    std::string all;
    for (int i = 0; i < 96; i++) all.push_back(static_cast<char>(i * 37 + 5));
    Plane y(all.substr(0, 64), 16, 4, 1, 64), cb(all.substr(64, 16), 8, 2, 1, 32),
        cr(all.substr(80, 16), 8, 2, 1, 32);
    PictureView p = view({&y, &cb, &cr}, {64, 32, 32}, 16, 4, 1);
    Plane flat(all, 96, 1, 1, 96);
    PictureView f = view({&flat}, {96}, 96, 1, 0);
    EXPECT_EQ(svactool::picture_size(p), 96u);
    const std::string a = svactool::picture_md5_hex(p);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(a, svactool::picture_md5_hex(f));
    // Grey pictures ignore the chroma planes entirely.
    p.chroma_format_idc = 0;
    p.plane[1] = p.plane[2] = nullptr;
    Plane yonly(all.substr(0, 64), 64, 1, 1, 64);
    EXPECT_EQ(svactool::picture_md5_hex(p), svactool::picture_md5_hex(view({&yonly}, {64}, 64, 1, 0)));
}

TEST(Md5List, WriterAndReaderAgree) {
    REQUIRE_MD5();
    const std::string path = testing::TempDir() + "md5list_test.md5";
    uint8_t a[4] = {'a', 'b', 'c', 0};
    PictureView v;
    v.plane[0] = a;
    v.stride[0] = 4;
    v.width = 3;
    v.height = 1;
    v.chroma_format_idc = 0;
    svactool::Md5ListWriter w;
    std::string err;
    ASSERT_TRUE(w.open(path, &err)) << err;
    ASSERT_TRUE(w.add(v, &err)) << err;
    v.width = 1;
    ASSERT_TRUE(w.add(v, &err)) << err;
    EXPECT_EQ(w.count(), 2);
    ASSERT_TRUE(w.close(&err));
    std::vector<std::string> list;
    ASSERT_TRUE(svactool::read_md5_list(path, &list, &err)) << err;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(list[1], "0cc175b9c0f1b6a831c399e269772661");  // "a"
    std::remove(path.c_str());
}

TEST(Md5List, ParserAcceptsCommentsCaseAndMd5sumOutput) {
    std::vector<std::string> list;
    std::string err;
    const std::string text =
        "# made by hand\n"
        "\n"
        "900150983CD24FB0D6963F7D28E17F72\n"
        "  0cc175b9c0f1b6a831c399e269772661  picture1.yuv\r\n"
        "d41d8cd98f00b204e9800998ecf8427e";
    ASSERT_TRUE(svactool::parse_md5_list(text, "t.md5", &list, &err)) << err;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(list[1], "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(list[2], "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
