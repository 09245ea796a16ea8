// Damaged CABAC slices of an intra stream: each gives its code, nothing is
// read outside the input (every unit is decoded from an exact-size copy),
// and the next picture decodes exactly.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <random>

#include "encoder.h"
#include "host_decoder.h"
#include "picture_md5.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Coded {
    Bytes stream;
    std::vector<std::string> md5;
    std::vector<size_t> slice_begin, slice_end;  // one slice per picture
};

Coded encode_intra(uint64_t seed) {
    svacenc::EncoderOptions opt;
    opt.seed = seed;
    opt.width = 48;
    opt.height = 32;
    opt.cabac = true;
    opt.slices = 1;
    svacenc::Encoder enc;
    svacenc::encoder_init(enc, opt);
    Coded c;
    std::vector<svacenc::Frame> out;
    for (int i = 0; i < 3; i++) svacenc::encode_picture(enc, nullptr, c.stream, out);
    for (const svacenc::Frame &f : out) {
        svactool::PictureView v;
        for (int p = 0; p < f.plane_count(); p++) {
            v.plane[p] = f.planes[p].data.data();
            v.stride[p] = f.planes[p].stride;
        }
        v.width = f.width;
        v.height = f.height;
        v.chroma_format_idc = f.chroma_format_idc;
        v.bit_depth = f.bit_depth;
        c.md5.push_back(svactool::picture_md5_hex(v));
    }
    for (size_t pos = 0; pos < c.stream.size();) {
        const svactool::NalChunk ch = svactool::next_nal_chunk(c.stream.data(), c.stream.size(), pos);
        if (!ch.found) break;
        const int type = (c.stream[ch.start_code + 3] >> 2) & 15;
        if (type >= 1 && type <= 4) {
            c.slice_begin.push_back(ch.start_code);
            c.slice_end.push_back(ch.end);
        }
        pos = ch.end;
    }
    return c;
}

struct Outcome {
    int32_t code = 0;  // the damaged unit's result
    std::vector<std::string> pictures;
    bool in_bounds = true;
};

// The stream with the second picture's slice replaced by `slice`, unit by unit.
Outcome decode_with(const Coded &c, const Bytes &slice) {
    Bytes s(c.stream.begin(), c.stream.begin() + c.slice_begin[1]);
    s.insert(s.end(), slice.begin(), slice.end());
    s.insert(s.end(), c.stream.begin() + c.slice_end[1], c.stream.end());
    Outcome o;
    svactest::HostDecoder d;
    testing::internal::CaptureStdout();
    for (size_t pos = 0; pos < s.size();) {
        const svactool::NalChunk ch = svactool::next_nal_chunk(s.data(), s.size(), pos);
        if (!ch.found) break;
        const int32_t r = d.decode(Bytes(s.begin() + ch.begin, s.begin() + ch.end));
        if (ch.begin == c.slice_begin[1]) o.code = r;
        if (d.out.got_picture) o.pictures.push_back(svactool::picture_md5_hex(d.out));
        o.in_bounds &= r <= static_cast<int32_t>(ch.end - ch.begin);
        pos = svactool::advance_after_call(ch, r);
    }
    testing::internal::GetCapturedStdout();
    return o;
}

// Damage starts past the slice header: a damaged header may change values
// that later slices keep (deblocking offsets), which is no concern here.
constexpr size_t kData = 12;

TEST(CabacDamage, CutAndFlippedSlicesEndAndTheNextPictureDecodes) {
    const Coded c = encode_intra(77);
    ASSERT_EQ(c.slice_begin.size(), 3u);
    EXPECT_EQ(decode_with(c, Bytes(c.stream.begin() + c.slice_begin[1], c.stream.begin() + c.slice_end[1])).pictures, c.md5);
    const Bytes slice(c.stream.begin() + c.slice_begin[1], c.stream.begin() + c.slice_end[1]);
    std::map<int32_t, int> codes;
    for (size_t n = kData; n < slice.size(); n += 2) {
        const Outcome o = decode_with(c, Bytes(slice.begin(), slice.begin() + n));
        codes[o.code]++;
        EXPECT_TRUE(o.in_bounds);
        ASSERT_GE(o.pictures.size(), 2u);
        EXPECT_EQ(o.pictures.front(), c.md5[0]);
        EXPECT_EQ(o.pictures.back(), c.md5[2]) << "cut to " << n;
    }
    std::mt19937 rng(5);
    for (int round = 0; round < 200; round++) {
        Bytes b = slice;
        for (int k = 0; k < 3; k++) b[kData + rng() % (b.size() - kData)] ^= static_cast<uint8_t>(1 + rng() % 255);
        const Outcome o = decode_with(c, b);
        codes[o.code]++;
        EXPECT_TRUE(o.in_bounds);
        ASSERT_GE(o.pictures.size(), 2u);
        EXPECT_EQ(o.pictures.back(), c.md5[2]) << "round " << round;
    }
    // Cut data reads on as zero bytes: such slices end at the terminating
    // bin, or with -8 once they read far beyond it; damaged types give -2.
    EXPECT_GT(codes[-8], 0);
    EXPECT_GT(codes[-2], 0);
}

}  // namespace
