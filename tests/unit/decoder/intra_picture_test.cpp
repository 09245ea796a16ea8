// Hand-built I pictures whose output follows from the syntax alone.
#include <gtest/gtest.h>

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

void slice_header(BitWriter &bw, int frame_num, bool key = true, int slice_type = 2) {
    bw.put_ue(0);            // pps_id
    bw.put(frame_num, 8);
    if (key) bw.put_ue(0);   // keyframe id
    bw.put_ue(0);            // first_mb
    bw.put_ue(slice_type);
    if (slice_type == 0) bw.put1(true);  // single reference
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

}  // namespace
