// Damaged slices: the specified codes and messages, the damaged picture is
// dropped and the next picture decodes exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "encoder.h"
#include "stream_builder.h"
#include "svacdec.h"

namespace {

using svacenc::BitWriter;

std::vector<uint8_t> parameter_sets(int bit_depth_minus8 = 0) {
    std::vector<uint8_t> s;
    BitWriter sps;
    sps.put(0, 16);
    sps.put_ue(0);
    sps.put(1, 2);  // 4:2:0
    sps.put_ue(bit_depth_minus8);
    sps.put_ue(bit_depth_minus8);
    sps.put_ue(0);  // one macroblock
    sps.put_ue(0);
    sps.put(0b1000, 4);  // frames only, no regions, no scalability, no optional part
    svactest::add_nal(s, 7, sps);
    BitWriter pps;
    pps.put_ue(0);
    pps.put_ue(0);
    pps.put1(false);
    pps.put(30, bit_depth_minus8 ? 7 : 6);  // 10-bit sets carry a 7-bit quantiser
    pps.put(0, 3);
    svactest::add_nal(s, 8, pps);
    return s;
}

BitWriter i_slice(int frame_num) {
    BitWriter bw;
    bw.put_ue(0);
    bw.put(frame_num, 8);
    bw.put_ue(0);
    bw.put_ue(0);
    bw.put_ue(2);
    bw.put1(false);
    bw.put_se(0);
    bw.put1(false);
    return bw;
}

struct Result {
    int32_t code;
    std::string printed;
};

Result decode(void *dec, std::vector<uint8_t> &s, SvacDecOutput *out) {
    SvacDecInput in{s.data(), static_cast<int32_t>(s.size()), 0};
    SvacDecExtInfo ext{};
    testing::internal::CaptureStdout();
    const int32_t r = VQ_SVAC_Dec_Decode(dec, &in, out, &ext);
    return {r, testing::internal::GetCapturedStdout()};
}

// The corner macroblock of the hand-built tests: constant prediction and
// empty blocks, so the picture is mid grey.
void flat_mb(BitWriter &bw) {
    bw.put_ue(1);
    bw.put(0b1111, 4);
    bw.put_ue(0);
    bw.put_se(0);
    for (int i = 0; i < 6; i++) {
        bw.put_ue(14);
        bw.put(2, 2);
    }
}

void expect_flat_picture_after(void *dec, int frame_num) {
    std::vector<uint8_t> s;
    BitWriter bw = i_slice(frame_num);
    flat_mb(bw);
    svactest::add_nal(s, 2, bw);
    SvacDecOutput out{};
    decode(dec, s, &out);
    ASSERT_EQ(out.got_picture, 1);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) ASSERT_EQ(out.plane[0][y * out.stride[0] + x], 128);
}

TEST(BadSlices, SpecifiedCodesAndMessagesThenRecovery) {
    struct Case {
        const char *name;
        void (*mb)(BitWriter &);
        int32_t code;
        const char *message;
    };
    const Case cases[] = {
        {"chroma mode 7",
         [](BitWriter &bw) {
             bw.put_ue(1);
             bw.put(0b1111, 4);
             bw.put_ue(7);
         },
         -2, "illegal intra_chroma_pred_mode(7)\n"},
        {"cbp code 64",
         [](BitWriter &bw) {
             bw.put_ue(0);
             bw.put(0xFFFF, 16);  // 16 predicted modes
             bw.put_ue(0);
             bw.put_ue(64);
         },
         -2, "illegal intra cbp code64\n"},
        {"escape run 65",
         [](BitWriter &bw) {
             bw.put_ue(1);
             bw.put(0b1111, 4);
             bw.put_ue(0);
             bw.put_se(0);
             // code 59 + 2 * 64 = 187 with order 2: run 65
             bw.put_ue(187 >> 2);
             bw.put(187 & 3, 2);
         },
         -8, "run 65 is too large\n"},
        {"intra type from a failed code",
         [](BitWriter &bw) { bw.put(0, 24); bw.put(1, 8); },
         -3, "log >= 0 failed at ../../../../lib/bitstream.h:773.\n"},
    };
    VQ_SVAC_Dec_Init(0);
    int frame_num = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        void *dec = VQ_SVAC_Dec_Open();
        std::vector<uint8_t> s = parameter_sets();
        BitWriter bw = i_slice(frame_num++);
        c.mb(bw);
        svactest::add_nal(s, 2, bw);
        SvacDecOutput out{};
        const Result r = decode(dec, s, &out);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.printed, c.message);
        EXPECT_EQ(out.got_picture, 0);
        expect_flat_picture_after(dec, frame_num++);
        VQ_SVAC_Dec_Close(dec);
    }
}

// A reference index naming a reference picture that does not exist yet:
// the slice is abandoned with -2 and the next picture decodes exactly.
TEST(BadSlices, KeyframeSliceEndingBeforeItsFirstMacroblockCompletesNothing) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets();
    BitWriter first = i_slice(0);
    flat_mb(first);
    svactest::add_nal(s, 2, first);
    SvacDecOutput out{};
    decode(dec, s, &out);
    std::vector<uint8_t> empty;
    svactest::add_nal(empty, 2, i_slice(1));
    decode(dec, empty, &out);
    EXPECT_EQ(out.got_picture, 0);
    expect_flat_picture_after(dec, 2);
    VQ_SVAC_Dec_Close(dec);
}

// A 10-bit keyframe whose first block predicts vertically from the missing
// row above decodes after an 8-bit picture of the same size exactly as in a
// fresh instance: the line buffers start afresh with the format.
TEST(BadSlices, BitDepthSwitchStartsWithFreshLineBuffers) {
    VQ_SVAC_Dec_Init(0);
    std::vector<uint8_t> ten = parameter_sets(2);
    BitWriter bw = i_slice(1);
    bw.put_ue(1);
    bw.put(0b000111, 6);  // block 0: mode 0, the others predicted
    bw.put_ue(0);
    bw.put_se(0);
    for (int i = 0; i < 6; i++) bw.put(0b000111110, 9);  // end of block
    svactest::add_nal(ten, 2, bw);
    std::vector<uint16_t> luma[2];
    for (int switched = 0; switched < 2; switched++) {
        void *dec = VQ_SVAC_Dec_Open();
        SvacDecOutput out{};
        if (switched) {
            std::vector<uint8_t> eight = parameter_sets();
            decode(dec, eight, &out);
            expect_flat_picture_after(dec, 0);
        }
        decode(dec, ten, &out);
        ASSERT_EQ(out.got_picture, 1);
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++)
                luma[switched].push_back(reinterpret_cast<const uint16_t *>(out.plane[0] + y * out.stride[0])[x]);
        VQ_SVAC_Dec_Close(dec);
    }
    EXPECT_EQ(luma[0], luma[1]);
    EXPECT_LT(*std::max_element(luma[1].begin(), luma[1].end()), 1024);
}

TEST(BadSlices, MissingReferencePictureThenRecovery) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets();
    BitWriter first = i_slice(0);
    flat_mb(first);
    svactest::add_nal(s, 2, first);
    SvacDecOutput out{};
    decode(dec, s, &out);
    ASSERT_EQ(out.got_picture, 1);

    std::vector<uint8_t> p;
    BitWriter bw;
    bw.put_ue(0);
    bw.put(1, 8);
    bw.put_ue(0);
    bw.put_ue(0);     // P slice
    bw.put1(false);   // reference indices present
    bw.put1(false);
    bw.put_se(0);
    bw.put1(false);
    bw.put_ue(0);     // no skipped macroblock
    bw.put_ue(0);     // P_16X16
    bw.put1(true);    // reference index 1: only one reference exists
    bw.put_se(0);
    bw.put_se(0);
    svactest::add_nal(p, 1, bw);
    const Result r = decode(dec, p, &out);
    EXPECT_EQ(r.code, -2);
    EXPECT_EQ(out.got_picture, 0);
    expect_flat_picture_after(dec, 2);
    VQ_SVAC_Dec_Close(dec);
}

// Generated pictures: a damaged middle picture is dropped, the pictures
// around it decode to exactly the generator's reconstruction, and random
// damage anywhere never takes the decoder outside the caller's bytes.
struct Generated {
    std::vector<uint8_t> stream;
    std::vector<size_t> picture_start;  // offset of each picture's NAL units
    std::vector<svacenc::Frame> recon;
};

Generated generate(uint64_t seed, int pictures, int chroma_format_idc = 1, int bit_depth = 8) {
    svacenc::EncoderOptions opt;
    opt.seed = seed;
    opt.width = 48;
    opt.height = 32;
    opt.chroma_format_idc = chroma_format_idc;
    opt.bit_depth = bit_depth;
    svacenc::Encoder enc;
    svacenc::encoder_init(enc, opt);
    Generated g;
    for (int i = 0; i < pictures; i++) {
        g.picture_start.push_back(g.stream.size());
        svacenc::encode_picture(enc, nullptr, g.stream, g.recon);
    }
    return g;
}

// Every plane, over the geometry the record reports.
bool same_picture(const SvacDecOutput &out, const svacenc::Frame &f) {
    if (out.chroma_format_idc != f.chroma_format_idc || out.bit_depth != f.bit_depth) return false;
    for (int p = 0; p < f.plane_count(); p++)
        for (int y = 0; y < f.planes[p].height; y++)
            if (std::memcmp(out.plane[p] + y * out.stride[p], f.at(p, 0, y),
                            f.planes[p].width * f.bytes_per_sample()))
                return false;
    return true;
}

// Feeds the whole buffer honouring the consumed counts; after an error
// decoding resumes past the next start code. Returns the pictures handed out.
std::vector<SvacDecOutput> decode_all(void *dec, const std::vector<uint8_t> &s) {
    std::vector<SvacDecOutput> pictures;
    size_t pos = 0;
    testing::internal::CaptureStdout();
    while (pos + 3 < s.size()) {
        // Each call gets an exact-size copy so a read past the end is caught.
        std::vector<uint8_t> chunk(s.begin() + static_cast<long>(pos), s.end());
        SvacDecInput in{chunk.data(), static_cast<int32_t>(chunk.size()), 0};
        SvacDecOutput out{};
        SvacDecExtInfo ext{};
        const int32_t r = VQ_SVAC_Dec_Decode(dec, &in, &out, &ext);
        if (out.got_picture) {
            // The planes stay valid only until the next call: keep copies.
            static std::deque<std::vector<uint8_t>> kept;
            for (int p = 0; p < 3 && out.plane[p]; p++) {
                const int rows = p == 0 || out.chroma_format_idc == 2 ? out.height : out.height / 2;
                kept.emplace_back(out.plane[p], out.plane[p] + static_cast<size_t>(rows) * out.stride[p]);
                out.plane[p] = kept.back().data();
            }
            pictures.push_back(out);
        }
        if (r > 0) {
            pos += static_cast<size_t>(r);
            continue;
        }
        if (r == 0) break;
        size_t next = pos + 1;
        while (next + 3 <= s.size() && !(s[next] == 0 && s[next + 1] == 0 && s[next + 2] == 1)) next++;
        pos = next;
    }
    testing::internal::GetCapturedStdout();
    return pictures;
}

TEST(BadSlices, TruncatedPictureIsDroppedAndTheNextDecodesExactly) {
    VQ_SVAC_Dec_Init(0);
    for (uint64_t seed = 1; seed <= 6; seed++) {
        SCOPED_TRACE(seed);
        Generated g = generate(seed, 3);
        ASSERT_EQ(g.recon.size(), 3u);
        // Cut the middle picture's last NAL unit in half.
        size_t last_nal = g.picture_start[1];
        for (size_t i = g.picture_start[1]; i + 2 < g.picture_start[2]; i++)
            if (g.stream[i] == 0 && g.stream[i + 1] == 0 && g.stream[i + 2] == 1) last_nal = i;
        const size_t cut = last_nal + (g.picture_start[2] - last_nal) / 2;
        std::vector<uint8_t> damaged(g.stream.begin(), g.stream.begin() + static_cast<long>(cut));
        damaged.insert(damaged.end(), g.stream.begin() + static_cast<long>(g.picture_start[2]), g.stream.end());

        void *dec = VQ_SVAC_Dec_Open();
        std::vector<SvacDecOutput> pics = decode_all(dec, damaged);
        ASSERT_GE(pics.size(), 2u);
        EXPECT_TRUE(same_picture(pics.front(), g.recon[0]));
        EXPECT_TRUE(same_picture(pics.back(), g.recon[2]));
        VQ_SVAC_Dec_Close(dec);
    }
}

// Two streams of the same size joined: the 8-bit stream's second picture,
// drained again after the 10-bit 4:2:2 picture, keeps its own format, and
// the 8-bit line buffers do not leak into the 10-bit picture.
TEST(BadSlices, FormatSwitchOfTheSameSize) {
    VQ_SVAC_Dec_Init(0);
    const Generated a = generate(3, 2);
    const Generated b = generate(4, 1, 2, 10);
    std::vector<uint8_t> s = a.stream;
    s.insert(s.end(), b.stream.begin(), b.stream.end());
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<SvacDecOutput> pics = decode_all(dec, s);
    pics.emplace_back();
    VQ_SVAC_Get_LastFrame(dec, 0, &pics.back());
    ASSERT_EQ(pics.size(), 4u);
    const svacenc::Frame *expected[4] = {&a.recon[0], &a.recon[1], &b.recon[0], &a.recon[1]};
    for (size_t i = 0; i < 4; i++) EXPECT_TRUE(pics[i].got_picture && same_picture(pics[i], *expected[i])) << i;
    VQ_SVAC_Dec_Close(dec);
}

TEST(BadSlices, RandomDamageStaysInsideTheInput) {
    VQ_SVAC_Dec_Init(0);
    std::mt19937 rng(1234);
    for (uint64_t seed = 1; seed <= 8; seed++) {
        const Generated g = generate(seed, 2);
        for (int trial = 0; trial < 40; trial++) {
            std::vector<uint8_t> s = g.stream;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int f = 0; f < flips; f++) s[rng() % s.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            if (trial % 4 == 0) s.resize(rng() % s.size());
            void *dec = VQ_SVAC_Dec_Open();
            decode_all(dec, s);
            SvacDecOutput out{};
            for (int layer = 0; layer < 2; layer++) VQ_SVAC_Get_LastFrame(dec, layer, &out);
            VQ_SVAC_Dec_Close(dec);
        }
    }
}

}  // namespace
