// Damaged slices: CABAC slices of an intra stream and B slices of both
// entropy modes each give their code, nothing is read outside the input
// (every unit is decoded from an exact-size copy), and the next picture
// decodes exactly. B pictures whose references are missing or of another
// format are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "encoder.h"
#include "host_decoder.h"
#include "picture_md5.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Coded {
    Bytes stream;
    std::vector<std::string> md5;
    std::vector<size_t> slice_begin, slice_end;  // one slice per picture, coding order
    std::vector<std::pair<size_t, size_t>> units;
};

Coded encode(uint64_t seed, bool cabac = true, const char *gop = "I", int frames = 3, int chroma = 1,
             bool lf_disable = false) {
    svacenc::EncoderOptions opt;
    opt.seed = seed;
    opt.width = 48;
    opt.height = 32;
    opt.cabac = cabac;
    opt.slices = 1;
    opt.gop = gop;
    opt.chroma_format_idc = chroma;
    opt.lf_disable = lf_disable;
    svacenc::Encoder enc;
    svacenc::encoder_init(enc, opt);
    Coded c;
    std::vector<svacenc::Frame> out;
    for (int i = 0; i < frames; i++) svacenc::encode_picture(enc, nullptr, c.stream, out);
    svacenc::encode_finish(enc, c.stream, out);
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
        c.units.emplace_back(ch.start_code, ch.end);
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

// Decodes unit by unit; `code` is the result of the unit at `watched`.
Outcome decode_units(const Bytes &s, size_t watched) {
    Outcome o;
    svactest::HostDecoder d;
    testing::internal::CaptureStdout();
    for (size_t pos = 0; pos < s.size();) {
        const svactool::NalChunk ch = svactool::next_nal_chunk(s.data(), s.size(), pos);
        if (!ch.found) break;
        const int32_t r = d.decode(Bytes(s.begin() + ch.begin, s.begin() + ch.end));
        if (ch.start_code == watched) o.code = r;
        if (d.out.got_picture) o.pictures.push_back(svactool::picture_md5_hex(d.out));
        o.in_bounds &= r <= static_cast<int32_t>(ch.end - ch.begin);
        pos = svactool::advance_after_call(ch, r);
    }
    for (const uint8_t *last = d.out.got_picture ? d.out.plane[0] : nullptr;;) {
        SvacDecOutput out{};
        if (VQ_SVAC_Get_LastFrame(d.handle(), 0, &out) != 0 || !out.got_picture || out.plane[0] == last)
            break;
        o.pictures.push_back(svactool::picture_md5_hex(out));
        last = out.plane[0];
    }
    testing::internal::GetCapturedStdout();
    return o;
}

// The stream with slice k replaced by `slice`, unit by unit.
Outcome decode_with(const Coded &c, const Bytes &slice, size_t k = 1) {
    Bytes s(c.stream.begin(), c.stream.begin() + c.slice_begin[k]);
    s.insert(s.end(), slice.begin(), slice.end());
    s.insert(s.end(), c.stream.begin() + c.slice_end[k], c.stream.end());
    return decode_units(s, c.slice_begin[k]);
}

// Damage starts past the slice header: a damaged header may change values
// that later slices keep (deblocking offsets), which is no concern here.
constexpr size_t kData = 12;

TEST(CabacDamage, CutAndFlippedSlicesEndAndTheNextPictureDecodes) {
    const Coded c = encode(77);
    ASSERT_EQ(c.slice_begin.size(), 3u);
    EXPECT_EQ(decode_with(c, Bytes(c.stream.begin() + c.slice_begin[1], c.stream.begin() + c.slice_end[1]))
                  .pictures,
              c.md5);
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
        for (int k = 0; k < 3; k++)
            b[kData + rng() % (b.size() - kData)] ^= static_cast<uint8_t>(1 + rng() % 255);
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

// Cut and flipped first B slices of I0 P2 B1 P4 B3 in both entropy modes:
// whatever B1 gives, B3 and the drained P4 come out exactly.
TEST(BDamage, CutAndFlippedBSlicesLeaveTheNextPicturesExact) {
    for (bool cabac : {false, true}) {
        const Coded c = encode(31, cabac, "IBP", 5);
        ASSERT_EQ(c.slice_begin.size(), 5u);
        const size_t k = 2;
        const Bytes slice(c.stream.begin() + c.slice_begin[k], c.stream.begin() + c.slice_end[k]);
        ASSERT_GT(slice.size(), kData + 16);
        ASSERT_EQ(decode_with(c, slice, k).pictures, c.md5);
        std::map<int32_t, int> codes;
        std::mt19937 rng(cabac ? 7 : 8);
        for (int round = 0; round < 160; round++) {
            Bytes b = slice;
            if (round % 2)
                b.resize(kData + rng() % (slice.size() - kData));
            else
                for (int j = 0; j < 3; j++)
                    b[kData + rng() % (b.size() - kData)] ^= static_cast<uint8_t>(1 + rng() % 255);
            const Outcome o = decode_with(c, b, k);
            codes[o.code]++;
            EXPECT_TRUE(o.in_bounds);
            ASSERT_GE(o.pictures.size(), 4u);
            EXPECT_EQ(o.pictures.end()[-2], c.md5.end()[-2]) << cabac << " round " << round;
            EXPECT_EQ(o.pictures.back(), c.md5.back()) << cabac << " round " << round;
        }
        EXPECT_GT(codes.size(), 1u) << cabac;
    }
}

// The units of c up to slice `last`, without the slices in `drop`.
Bytes pick(const Coded &c, size_t last, std::initializer_list<size_t> drop) {
    Bytes s;
    for (const auto &[begin, end] : c.units) {
        const auto k = std::find(c.slice_begin.begin(), c.slice_begin.end(), begin) - c.slice_begin.begin();
        if (static_cast<size_t>(k) < c.slice_begin.size() && std::count(drop.begin(), drop.end(), k))
            continue;
        s.insert(s.end(), c.stream.begin() + static_cast<long>(begin),
                 c.stream.begin() + static_cast<long>(end));
        if (static_cast<size_t>(k) == last) break;
    }
    return s;
}

// A B picture without its forward reference, and one whose references have
// another format (the sequence set switched to 4:2:2 at the same size), are
// refused with -2; a stream decoded after either comes out exactly.
TEST(BDamage, BPicturesWithoutUsableReferencesAreRefused) {
    const Coded a = encode(5, false, "IBP", 3, 1, true), b = encode(6, false, "IBP", 3, 2, true);
    // `lead`, then units ending with the B slice B1 of `from`, then all of `then`.
    auto check = [](const Bytes &lead, const Coded &from, std::initializer_list<size_t> drop,
                    const Coded &then, std::vector<std::string> want) {
        Bytes s = lead;
        const Bytes bad = pick(from, 2, drop);
        s.insert(s.end(), bad.begin(), bad.end());
        const size_t watched = s.size() - (from.slice_end[2] - from.slice_begin[2]);
        s.insert(s.end(), then.stream.begin(), then.stream.end());
        const Outcome o = decode_units(s, watched);
        EXPECT_EQ(o.code, -2);
        EXPECT_TRUE(o.in_bounds);
        want.insert(want.end(), then.md5.begin(), then.md5.end());
        EXPECT_EQ(o.pictures, want);
    };
    check({}, a, {1}, a, {a.md5[0]});                           // I0 B1 without P2
    check(pick(a, 1, {}), b, {0, 1}, b, {a.md5[0], a.md5[1]});  // 4:2:0 I0 P2, 4:2:2 B1
}

}  // namespace
