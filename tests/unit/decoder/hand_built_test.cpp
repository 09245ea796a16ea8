// Hand-built pictures whose output follows from the syntax alone, damaged
// slices with their codes and messages, and recovery: after a damaged
// picture the next one decodes exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "demo_stream.h"
#include "encoder.h"
#include "host_decoder.h"

namespace {

using svacenc::BitWriter;
using svactest::flat_layer_slice;
using svactest::HandBuilt;
using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

constexpr int kI = svacenc::SLICE_I, kP = svacenc::SLICE_P, kB = svacenc::SLICE_B;

Bytes unit(int type, const BitWriter &bw) {
    Bytes s;
    svactest::add_nal(s, type, bw);
    return s;
}

// A keyframe of `mbs` flat macroblocks.
Bytes flat_keyframe(const HandBuilt &h, int frame_num, int mbs, int first_mb = 0) {
    BitWriter bw = h.slice(frame_num, kI, first_mb);
    for (int i = 0; i < mbs; i++) svactest::flat_mb(bw, h.sps.chroma_format_idc > 0);
    return unit(svacenc::NAL_SLICE_KEY, bw);
}

// Every sample of every plane of the output is v.
bool all_samples(const SvacDecOutput &out, int v = 128) {
    const int planes = out.chroma_format_idc ? 3 : 1;
    for (int p = 0; p < planes; p++) {
        const int w = p ? out.width / 2 : out.width,
                  h = p && out.chroma_format_idc == 1 ? out.height / 2 : out.height;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (out.plane[p][y * out.stride[p] + x] != v) return false;
    }
    return true;
}

// Two slices with the same frame_num make one picture; the second slice's
// macroblock has no left neighbour, so it predicts the constant too. After
// a completed picture, a slice that starts the next one elsewhere than at
// its first macroblock is refused, and so is a slice quantiser out of range.
TEST(HandBuilt, SlicesOfAPicture) {
    HostDecoder d;
    const HandBuilt h(2, 1);
    Bytes s = h.parameter_sets();
    for (int first : {0, 1}) {
        const Bytes k = flat_keyframe(h, 0, 1, first);
        s.insert(s.end(), k.begin(), k.end());
    }
    d.decode(s);
    ASSERT_EQ(d.out.got_picture, 1);
    EXPECT_TRUE(all_samples(d.out));
    EXPECT_EQ(d.decode(flat_keyframe(h, 1, 1, 1)), -2);
    // Slice quantisers outside 0..55 are refused (the picture set says 30).
    for (int delta : {26, -31}) {
        BitWriter bw = h.slice(2, kI, 0, delta);
        svactest::flat_mb(bw);
        EXPECT_EQ(d.decode(unit(svacenc::NAL_SLICE_KEY, bw)), -2) << delta;
    }
    EXPECT_EQ(d.decode(flat_keyframe(h, 3, 2)), static_cast<int32_t>(flat_keyframe(h, 3, 2).size()));
    EXPECT_EQ(d.out.got_picture, 1);
    // A continuing slice must start inside the picture.
    d.decode(flat_keyframe(h, 4, 1));
    EXPECT_EQ(d.decode(flat_keyframe(h, 4, 1, 2)), -2);
}

// A slice starting inside a region takes the region's quantiser, one
// outside takes the picture's (2 x 1 macroblocks, the region is the first).
TEST(HandBuilt, SliceQuantiserInsideAndOutsideARegion) {
    svactest::SpsSyntax sps;
    sps.mb_width_minus1 = 1;
    sps.mb_height_minus1 = 0;
    sps.roi = true;
    svactest::PpsSyntax pps;
    pps.roi = true;
    pps.num_roi = 1;
    pps.rects = {{0, 0}};
    pps.pic_qp = 30;
    pps.roi_qp = 20;
    pps.fixed_qp = false;
    Bytes s;
    svactest::add_nal(s, svacenc::NAL_SPS, svactest::write_sps(sps));
    svactest::add_nal(s, svacenc::NAL_PPS, svactest::write_pps(pps));
    HostDecoder d;
    d.decode(s);
    for (int first : {0, 1}) {
        BitWriter bw = HandBuilt(2, 1).slice(0, kI, first, 3);
        svactest::flat_mb(bw);
        d.decode(unit(svacenc::NAL_SLICE_KEY, bw));
        EXPECT_EQ(d.state()->qp, first ? 33 : 23);
    }
    ASSERT_EQ(d.out.got_picture, 1);
    EXPECT_TRUE(all_samples(d.out));
}

// Left-column 4x4 blocks that predict horizontally have no left samples at
// the picture edge: each is reported and predicted vertically instead.
TEST(HandBuilt, HorizontalModesAtTheLeftEdgeAreReported) {
    HostDecoder d;
    const HandBuilt h(1, 2, 0);
    Bytes s = h.parameter_sets();
    BitWriter slice = h.slice(0);
    static constexpr int kScan[16] = {6, 7, 11, 12, 8, 9, 13, 14, 16, 17, 21, 22, 18, 19, 23, 24};
    for (int m = 0; m < 2; m++) {
        slice.put_ue(0);  // I_4X4
        int cache[25];
        std::fill(cache, cache + 25, -1);
        if (m == 1) std::fill(cache + 1, cache + 5, 1);  // the macroblock above: all horizontal
        for (int p : kScan) {
            const int lo = std::min(cache[p - 1], cache[p - 5]);
            const int pred = lo == -1 ? 2 : lo;
            slice.put1(pred == 1);
            if (pred != 1) slice.put(pred > 1 ? 1 : 0, 2);  // mode 1
            cache[p] = 1;
        }
        slice.put_ue(4);  // cbp 0: nothing more
    }
    svactest::add_nal(s, svacenc::NAL_SLICE_KEY, slice);
    std::string printed;
    d.decode(s, &printed);
    ASSERT_EQ(d.out.got_picture, 1);
    // Upper macroblock: four left-column blocks, then its top-left block (now
    // vertical) at the top edge; lower macroblock: four left-column blocks.
    std::string expected;
    for (int i = 0; i < 9; i++) expected += "Illegal intra prediction mode\n";
    EXPECT_EQ(printed, expected);
}

TEST(BadSlices, CodesAndMessagesThenRecovery) {
    const struct {
        const char *name;
        void (*mb)(BitWriter &);
        int type;
        int32_t code;
        const char *message;
    } cases[] = {
        {"chroma mode 7",
         [](BitWriter &bw) {
             bw.put_ue(1);
             bw.put(0b1111, 4);
             bw.put_ue(7);
         },
         kI, -2, "illegal intra_chroma_pred_mode(7)\n"},
        {"cbp code 64",
         [](BitWriter &bw) {
             bw.put_ue(0);
             bw.put(0xFFFF, 16);  // 16 predicted modes
             bw.put_ue(0);
             bw.put_ue(64);
         },
         kI, -2, "illegal intra cbp code64\n"},
        {"escape run 65",
         [](BitWriter &bw) {
             bw.put_ue(1);
             bw.put(0b1111, 4);
             bw.put_ue(0);
             bw.put_se(0);
             bw.put_ue(187 >> 2);  // code 59 + 2 * 64 = 187 with order 2: run 65
             bw.put(187 & 3, 2);
         },
         kI, -8, "run 65 is too large\n"},
        {"intra type from a failed code",
         [](BitWriter &bw) {
             bw.put(0, 24);
             bw.put(1, 8);
         },
         kI, -3, "log >= 0 failed at ../../../../lib/bitstream.h:773.\n"},
        // Reference index 1 while only one reference picture exists.
        {"missing reference",
         [](BitWriter &bw) {
             bw.put_ue(0);  // no skipped macroblock
             bw.put_ue(0);  // P_16X16
             bw.put1(true);
             bw.put_se(0);
             bw.put_se(0);
         },
         kP, -2, ""},
        // No skipped macroblock, then a failed type code: internal type 4.
        {"B type from a failed code",
         [](BitWriter &bw) {
             bw.put1(true);
             bw.put(0, 24);
             bw.put(1, 8);
         },
         kB, -2, "log >= 0 failed at ../../../../lib/bitstream.h:773.\nInvalid mb_type 4 in B frame\n"},
    };
    const HandBuilt h(1, 1);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        HostDecoder d;
        Bytes s = h.parameter_sets();
        const Bytes k = flat_keyframe(h, 0, 1);
        s.insert(s.end(), k.begin(), k.end());
        d.decode(s);
        ASSERT_EQ(d.out.got_picture, 1);
        BitWriter bw = h.slice(1, c.type);
        c.mb(bw);
        std::string printed;
        EXPECT_EQ(d.decode(unit(c.type == kI ? svacenc::NAL_SLICE_KEY : svacenc::NAL_SLICE, bw), &printed),
                  c.code);
        EXPECT_EQ(printed, c.message);
        EXPECT_EQ(d.out.got_picture, 0);
        d.decode(flat_keyframe(h, 2, 1));
        ASSERT_EQ(d.out.got_picture, 1);
        EXPECT_TRUE(all_samples(d.out));
    }
}

// A keyframe slice ending before its first macroblock completes nothing, and
// the next picture decodes.
TEST(BadSlices, KeyframeSliceWithoutMacroblocks) {
    HostDecoder d;
    const HandBuilt h(1, 1);
    Bytes s = h.parameter_sets();
    const Bytes k = flat_keyframe(h, 0, 1);
    s.insert(s.end(), k.begin(), k.end());
    d.decode(s);
    d.decode(unit(svacenc::NAL_SLICE_KEY, h.slice(1)));
    EXPECT_EQ(d.out.got_picture, 0);
    d.decode(flat_keyframe(h, 2, 1));
    ASSERT_EQ(d.out.got_picture, 1);
    EXPECT_TRUE(all_samples(d.out));
}

// A 10-bit keyframe whose first block predicts vertically from the missing
// row above decodes after an 8-bit picture of the same size exactly as in a
// fresh instance: the line buffers start afresh with the format.
TEST(BadSlices, BitDepthSwitchStartsWithFreshLineBuffers) {
    HandBuilt ten(1, 1);
    ten.sps.bit_depth = 10;
    Bytes s10 = ten.parameter_sets();
    BitWriter bw = ten.slice(1);
    bw.put_ue(1);
    bw.put(0b000111, 6);  // block 0: mode 0, the others predicted
    bw.put_ue(0);
    bw.put_se(0);
    for (int i = 0; i < 6; i++) bw.put(0b000111110, 9);  // end of block
    svactest::add_nal(s10, svacenc::NAL_SLICE_KEY, bw);
    std::vector<uint16_t> luma[2];
    for (int switched = 0; switched < 2; switched++) {
        HostDecoder d;
        if (switched) {
            const HandBuilt eight(1, 1);
            Bytes s8 = eight.parameter_sets();
            const Bytes k = flat_keyframe(eight, 0, 1);
            s8.insert(s8.end(), k.begin(), k.end());
            d.decode(s8);
            ASSERT_EQ(d.out.got_picture, 1);
        }
        d.decode(s10);
        ASSERT_EQ(d.out.got_picture, 1);
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++)
                luma[switched].push_back(
                    reinterpret_cast<const uint16_t *>(d.out.plane[0] + y * d.out.stride[0])[x]);
    }
    EXPECT_EQ(luma[0], luma[1]);
    EXPECT_LT(*std::max_element(luma[1].begin(), luma[1].end()), 1024);
}

// Base 1 x 2 macroblocks, enhancement 2 x 4, a region below the picture
// (no macroblock lies in it). An enhancement picture between two slices of
// its base picture predicts from it, and the base picture still completes;
// an enhancement picture whose number no base picture has reports every
// inter-layer macroblock and keeps the fresh frame's zeros; a layer mask
// refuses the other layer's slices. A finished base B picture has left the
// base layer's slots, so the enhancement B picture after it finds nothing.
TEST(ScalableStream, InterleavedSlicesMissingBasePicturesAndMasks) {
    HostDecoder d;
    d.decode(svactest::scalable_parameter_sets(1, 2, {{5, 9}}));
    std::string printed, eight;
    d.decode(flat_layer_slice(false, 5, 1));
    EXPECT_EQ(d.out.got_picture, 0);
    d.decode(flat_layer_slice(true, 5, 8), &printed);
    EXPECT_EQ(d.out.layer, 1);
    EXPECT_EQ(printed, "");
    d.decode(flat_layer_slice(false, 5, 1, 1));
    EXPECT_EQ(d.out.layer, 0);
    EXPECT_TRUE(all_samples(d.out, 128));

    d.decode(flat_layer_slice(true, 1, 8), &printed);
    EXPECT_EQ(d.out.layer, 1);
    EXPECT_TRUE(all_samples(d.out, 0));
    for (int i = 0; i < 8; i++) eight += "can not find base layer picture\n";
    EXPECT_EQ(printed, eight);
    EXPECT_EQ(d.decode(flat_layer_slice(true, 2, 8), 1), -2);
    EXPECT_EQ(d.decode(flat_layer_slice(false, 3, 2), 2), -2);

    for (bool enhancement : {false, true}) d.decode(flat_layer_slice(enhancement, 7, 2 + 6 * enhancement));
    d.decode(flat_layer_slice(false, 6, 2, 0, true));
    EXPECT_EQ(d.out.layer, 0);
    d.decode(flat_layer_slice(true, 6, 8, 0, true), &printed);
    EXPECT_EQ(d.out.layer, 1);
    EXPECT_EQ(printed, eight);
}

// Format and bit depth, then every plane's samples row by row.
std::vector<uint8_t> samples(const SvacDecOutput &o) {
    std::vector<uint8_t> v = {static_cast<uint8_t>(o.chroma_format_idc), static_cast<uint8_t>(o.bit_depth)};
    const int bps = o.bit_depth > 8 ? 2 : 1;
    for (int p = 0; p < (o.chroma_format_idc ? 3 : 1); p++) {
        const int w = p ? o.width / 2 : o.width, h = p && o.chroma_format_idc == 1 ? o.height / 2 : o.height;
        for (int y = 0; y < h; y++)
            v.insert(v.end(), o.plane[p] + y * o.stride[p], o.plane[p] + y * o.stride[p] + w * bps);
    }
    return v;
}

std::vector<uint8_t> samples(const svacenc::Frame &f) {
    std::vector<uint8_t> v = {static_cast<uint8_t>(f.chroma_format_idc), static_cast<uint8_t>(f.bit_depth)};
    for (int p = 0; p < f.plane_count(); p++)
        for (int y = 0; y < f.planes[p].height; y++)
            v.insert(v.end(), f.at(p, 0, y), f.at(p, 0, y) + f.planes[p].width * f.bytes_per_sample());
    return v;
}

struct Generated {
    Bytes stream;
    std::vector<svacenc::Frame> recon;
};

Generated generate(uint64_t seed, int pictures, int chroma = 1, int depth = 8) {
    svacenc::EncoderOptions opt;
    opt.seed = seed;
    opt.width = 48;
    opt.height = 32;
    opt.chroma_format_idc = chroma;
    opt.bit_depth = depth;
    svacenc::Encoder enc;
    svacenc::encoder_init(enc, opt);
    Generated g;
    for (int i = 0; i < pictures; i++) svacenc::encode_picture(enc, nullptr, g.stream, g.recon);
    return g;
}

// Every picture handed out, as svacdec feeds the decoder: the rest of the
// input after each call, resuming past the next start code after an error.
std::vector<std::vector<uint8_t>> decode_all(HostDecoder &d, const Bytes &s) {
    std::vector<std::vector<uint8_t>> pics;
    size_t pos = 0;
    testing::internal::CaptureStdout();
    while (pos < s.size()) {
        const svactool::NalChunk c = svactool::next_nal_chunk(s.data(), s.size(), pos);
        if (!c.found) break;
        const int32_t r = d.decode(Bytes(s.begin() + static_cast<long>(c.begin), s.end()));
        if (d.out.got_picture) pics.push_back(samples(d.out));
        pos = r > 0 ? c.begin + static_cast<size_t>(r) : svactool::advance_after_call(c, r);
    }
    testing::internal::GetCapturedStdout();
    return pics;
}

// Two streams of the same size joined: the 8-bit stream's second picture,
// drained again after the 10-bit 4:2:2 picture, keeps its own format, and
// the 8-bit line buffers do not leak into the 10-bit picture.
TEST(BadSlices, FormatSwitchOfTheSameSize) {
    const Generated a = generate(3, 2), b = generate(4, 1, 2, 10);
    Bytes s = a.stream;
    s.insert(s.end(), b.stream.begin(), b.stream.end());
    HostDecoder d;
    auto pics = decode_all(d, s);
    SvacDecOutput last{};
    VQ_SVAC_Get_LastFrame(d.handle(), 0, &last);
    ASSERT_EQ(last.got_picture, 1);
    pics.push_back(samples(last));
    ASSERT_EQ(pics.size(), 4u);
    const svacenc::Frame *expected[4] = {&a.recon[0], &a.recon[1], &b.recon[0], &a.recon[1]};
    for (size_t i = 0; i < 4; i++) EXPECT_EQ(pics[i], samples(*expected[i])) << i;
}

}  // namespace
