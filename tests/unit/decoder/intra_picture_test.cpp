// Hand-built I pictures whose output follows from the syntax alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stream_builder.h"
#include "svacdec.h"

namespace {

using svacenc::BitWriter;

struct Geometry {
    int mb_w, mb_h, chroma;
};

std::vector<uint8_t> parameter_sets(const Geometry &g, int qp) {
    std::vector<uint8_t> s;
    BitWriter sps;
    sps.put(0, 8);
    sps.put(0, 8);
    sps.put_ue(0);           // sps_id
    sps.put(g.chroma, 2);
    sps.put_ue(0);           // 8-bit luma
    sps.put_ue(0);           // 8-bit chroma
    sps.put_ue(g.mb_w - 1);
    sps.put_ue(g.mb_h - 1);
    sps.put1(true);          // frames only
    sps.put1(false);         // no regions
    sps.put1(false);         // no scalability
    sps.put1(false);         // no optional part
    svactest::add_nal(s, 7, sps);
    BitWriter pps;
    pps.put_ue(0);
    pps.put_ue(0);
    pps.put1(false);         // VLC
    pps.put(qp, 6);
    pps.put1(false);         // qp may change per slice
    pps.put1(false);
    pps.put1(false);         // deblocking on
    svactest::add_nal(s, 8, pps);
    return s;
}

void slice_header(BitWriter &bw, int frame_num, bool key = true, int slice_type = 2, int first_mb = 0) {
    bw.put_ue(0);            // pps_id
    bw.put(frame_num, 8);
    if (key) bw.put_ue(0);   // keyframe id
    bw.put_ue(first_mb);
    bw.put_ue(slice_type);
    if (slice_type == 0) bw.put1(true);  // single reference
    bw.put1(false);          // macroblocks may change qp
    bw.put_se(0);            // qp delta
    bw.put1(false);          // no filter override
}

// An 8x8-transform macroblock whose blocks predict from nothing (the DC mode
// turns into the constant mode at the picture corner) and whose four luma
// blocks carry only the end-of-block code.
void flat_macroblock(BitWriter &bw, bool chroma) {
    bw.put_ue(1);                          // I_8X8 with cbp code 0: every block coded
    for (int i = 0; i < 4; i++) bw.put1(true);  // predicted mode
    if (chroma) bw.put_ue(0);              // chroma DC, becomes constant at the corner
    bw.put_se(0);                          // qp delta
    const int blocks = chroma ? 6 : 4;
    for (int i = 0; i < blocks; i++) {
        // EOB: code 58 with order 2 (intra) / order 2 (chroma sub-table 0).
        bw.put_ue(58 >> 2);
        bw.put(58 & 3, 2);
    }
}

TEST(IntraPicture, CornerMacroblockPredictsMidGreyEverywhere) {
    for (int chroma : {0, 1}) {
        SCOPED_TRACE(chroma);
        VQ_SVAC_Dec_Init(0);
        std::vector<uint8_t> s = parameter_sets({1, 1, chroma}, 30);
        BitWriter slice;
        slice_header(slice, 0);
        flat_macroblock(slice, chroma == 1);
        svactest::add_nal(s, 2, slice);

        void *dec = VQ_SVAC_Dec_Open();
        SvacDecInput in{s.data(), static_cast<int32_t>(s.size()), 0};
        SvacDecOutput out{};
        SvacDecExtInfo ext{};
        const int32_t r = VQ_SVAC_Dec_Decode(dec, &in, &out, &ext);
        EXPECT_EQ(r, static_cast<int32_t>(s.size()));
        ASSERT_EQ(out.got_picture, 1);
        EXPECT_EQ(out.width, 16);
        EXPECT_EQ(out.height, 16);
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++) ASSERT_EQ(out.plane[0][y * out.stride[0] + x], 128) << x << "," << y;
        for (int p = 1; p < 1 + 2 * chroma; p++) {
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 8; x++) ASSERT_EQ(out.plane[p][y * out.stride[p] + x], 128);
        }
        VQ_SVAC_Dec_Close(dec);
    }
}

// A P picture made of one skip run copies its reference; with two pictures
// in one input the first call stops at the second picture's start code.
TEST(InterPicture, SkipRunCopiesTheReference) {
    VQ_SVAC_Dec_Init(0);
    std::vector<uint8_t> s = parameter_sets({2, 1, 1}, 30);
    BitWriter islice;
    slice_header(islice, 0);
    flat_macroblock(islice, true);
    flat_macroblock(islice, true);
    svactest::add_nal(s, 2, islice);
    const size_t second = s.size();
    BitWriter pslice;
    slice_header(pslice, 1, false, 0);
    pslice.put_ue(2);  // both macroblocks skipped
    svactest::add_nal(s, 1, pslice);

    void *dec = VQ_SVAC_Dec_Open();
    SvacDecInput in{s.data(), static_cast<int32_t>(s.size()), 0};
    SvacDecOutput out{};
    SvacDecExtInfo ext{};
    ASSERT_EQ(VQ_SVAC_Dec_Decode(dec, &in, &out, &ext), static_cast<int32_t>(second));
    ASSERT_EQ(out.got_picture, 1);
    in.data += second;
    in.length -= static_cast<int32_t>(second);
    ASSERT_EQ(VQ_SVAC_Dec_Decode(dec, &in, &out, &ext), in.length);
    ASSERT_EQ(out.got_picture, 1);
    EXPECT_EQ(out.width, 32);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 32; x++) ASSERT_EQ(out.plane[0][y * out.stride[0] + x], 128);
    VQ_SVAC_Dec_Close(dec);
}

struct Decoded {
    int32_t result;
    SvacDecOutput out;
};

Decoded decode_once(void *dec, std::vector<uint8_t> &s) {
    SvacDecInput in{s.data(), static_cast<int32_t>(s.size()), 0};
    Decoded d{};
    SvacDecExtInfo ext{};
    d.result = VQ_SVAC_Dec_Decode(dec, &in, &d.out, &ext);
    return d;
}

// A 10 x 8 picture in one P slice with skip run 80: every macroblock is
// skipped and the picture completes without an mb_type being read.
TEST(InterPicture, SkipRunOfAWholePicture) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets({10, 8, 1}, 30);
    BitWriter islice;
    slice_header(islice, 0);
    for (int i = 0; i < 80; i++) flat_macroblock(islice, true);
    svactest::add_nal(s, 2, islice);
    Decoded d = decode_once(dec, s);
    ASSERT_EQ(d.out.got_picture, 1);

    std::vector<uint8_t> p;
    BitWriter pslice;
    slice_header(pslice, 1, false, 0);
    pslice.put_ue(80);
    svactest::add_nal(p, 1, pslice);
    d = decode_once(dec, p);
    ASSERT_EQ(d.out.got_picture, 1);
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 160; x++) ASSERT_EQ(d.out.plane[0][y * d.out.stride[0] + x], 128);
    VQ_SVAC_Dec_Close(dec);
}

// After a completed picture, a slice that starts the next one must start at
// its first macroblock.
TEST(SliceHeader, NewPictureNotAtTheFirstMacroblockIsRefused) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets({2, 1, 1}, 30);
    BitWriter first;
    slice_header(first, 0);
    flat_macroblock(first, true);
    flat_macroblock(first, true);
    svactest::add_nal(s, 2, first);
    ASSERT_EQ(decode_once(dec, s).out.got_picture, 1);
    std::vector<uint8_t> bad;
    BitWriter slice;
    slice_header(slice, 1, true, 2, 1);
    flat_macroblock(slice, true);
    svactest::add_nal(bad, 2, slice);
    EXPECT_EQ(decode_once(dec, bad).result, -2);
    VQ_SVAC_Dec_Close(dec);
}

// Two slices with the same frame_num make one picture.
TEST(SliceHeader, SecondSliceContinuesThePicture) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets({2, 1, 1}, 30);
    for (int first : {0, 1}) {
        BitWriter slice;
        slice_header(slice, 0, true, 2, first);
        flat_macroblock(slice, true);
        svactest::add_nal(s, 2, slice);
    }
    Decoded d = decode_once(dec, s);
    ASSERT_EQ(d.out.got_picture, 1);
    EXPECT_EQ(d.out.width, 32);
    // The second slice's macroblock has no left neighbour: its DC becomes
    // the constant mode too, so the whole picture is mid grey.
    for (int x = 0; x < 32; x++) EXPECT_EQ(d.out.plane[0][x], 128);
    VQ_SVAC_Dec_Close(dec);
}

// Left-column 4x4 blocks that predict horizontally have no left samples at
// the picture edge: each is reported and predicted vertically instead.
TEST(IntraModes, HorizontalModesAtTheLeftEdgeAreReported) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets({1, 2, 0}, 30);
    BitWriter slice;
    slice_header(slice, 0);
    static constexpr int kScan[16] = {6, 7, 11, 12, 8, 9, 13, 14, 16, 17, 21, 22, 18, 19, 23, 24};
    for (int m = 0; m < 2; m++) {
        slice.put_ue(0);  // I_4X4
        int cache[25];
        for (int &c : cache) c = -1;
        if (m == 1)
            for (int i = 1; i <= 4; i++) cache[i] = 1;  // the macroblock above: all horizontal
        for (int p : kScan) {
            const int lo = std::min(cache[p - 1], cache[p - 5]);
            const int pred = lo == -1 ? 2 : lo;
            if (pred == 1) {
                slice.put1(true);
            } else {
                slice.put1(false);
                slice.put(pred > 1 ? 1 : 0, 2);  // mode 1
            }
            cache[p] = 1;
        }
        slice.put_ue(4);  // cbp 0: nothing more
    }
    svactest::add_nal(s, 2, slice);
    testing::internal::CaptureStdout();
    Decoded d = decode_once(dec, s);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(d.out.got_picture, 1);
    // Upper macroblock: four left-column blocks, then its top-left block
    // (now vertical) at the top edge; lower macroblock: four left-column blocks.
    std::string expected;
    for (int i = 0; i < 9; i++) expected += "Illegal intra prediction mode\n";
    EXPECT_EQ(printed, expected);
    VQ_SVAC_Dec_Close(dec);
}

}  // namespace

#include "decoder/decoder.h"

namespace {

// Picture distances: a P picture with frame_num 3 after a reference with
// frame_num 1 is 4 picture numbers away.
TEST(SliceHeader, PictureDistancesOfAPPicture) {
    VQ_SVAC_Dec_Init(0);
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<uint8_t> s = parameter_sets({1, 1, 1}, 30);
    BitWriter islice;
    slice_header(islice, 1);
    flat_macroblock(islice, true);
    svactest::add_nal(s, 2, islice);
    ASSERT_EQ(decode_once(dec, s).out.got_picture, 1);
    std::vector<uint8_t> p;
    BitWriter pslice;
    slice_header(pslice, 3, false, 0);
    pslice.put_ue(1);
    svactest::add_nal(p, 1, pslice);
    ASSERT_EQ(decode_once(dec, p).out.got_picture, 1);
    const auto *d = static_cast<const SvacDecoder *>(dec);
    EXPECT_EQ(d->ref_dist_tab[0], 4);
    EXPECT_EQ(d->ref_inv_dist_tab[0], 128);
    EXPECT_EQ(d->col_inv_dist_tab[0], 4096);
    // The second reference slot is still empty (number 0): 6 away, 512 / 6.
    EXPECT_EQ(d->ref_dist_tab[1], 6);
    EXPECT_EQ(d->ref_inv_dist_tab[1], 85);
    VQ_SVAC_Dec_Close(dec);
}

}  // namespace
