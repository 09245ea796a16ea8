// Host functions: version text, keys, and flushing the references at the end
// of a stream.
#include <gtest/gtest.h>

#include <regex>

#include "host_decoder.h"

namespace {

using svactest::HostDecoder;

TEST(HostApi, VersionText) {
    const char *v = VQ_SVAC_Dec_GetVersion();
    ASSERT_NE(v, nullptr);
    EXPECT_LT(std::strlen(v), 64u);
    // major.minor.revision (build date and time as the compiler spells them)
    EXPECT_TRUE(
        std::regex_match(v, std::regex(R"(0\.1\.33860M \([A-Z][a-z]{2} [ 123]\d \d{4} \d\d:\d\d:\d\d\))")))
        << v;
}

TEST(HostApi, SetKeyKeepsAtMost64Bytes) {
    HostDecoder d;
    EXPECT_EQ(d.state()->sec.key_len, 16u);  // the built-in key until the host sets one
    uint8_t key[100];
    for (int i = 0; i < 100; i++) key[i] = static_cast<uint8_t>(i + 1);
    EXPECT_EQ(VQ_SVAC_Set_Key(d.handle(), key + 50, 5), 0);
    EXPECT_EQ(d.state()->sec.key_len, 5u);
    EXPECT_EQ(VQ_SVAC_Set_Key(d.handle(), key, 0xFFFFFFFFu), 0);  // unsigned comparison
    EXPECT_EQ(d.state()->sec.key_len, 64u);
    EXPECT_EQ(std::memcmp(d.state()->sec.key, key, 64), 0);
}

TEST(HostApi, LastFrameRefusesOtherLayers) {
    HostDecoder d;
    for (int32_t layer : {-1, 2, 1}) {
        SvacDecOutput out{};
        out.got_picture = 1;
        EXPECT_EQ(VQ_SVAC_Get_LastFrame(d.handle(), layer, &out), layer == 1 ? 0 : -2);
        EXPECT_EQ(out.got_picture, 0);  // nothing decoded
    }
}

class LastFrame : public testing::Test {
  protected:
    void SetUp() override {
        dec_ = d.state();
        dec_->sps[0].chroma_format_idc = 1;
        dec_->sps[0].bit_depth_luma_minus8 = 0;
        dec_->cur_sps = &dec_->sps[0];
    }
    // Two references of the given size in `layer`, numbered n0 (newest) and n1.
    void refs(int layer, int w, int h, int n0, int n1, int last_output) {
        SvacLayerState &l = dec_->layers[layer];
        l.ref_frame[0] = VQ_SVACDEC_frame_get(&l.pool, w, h, SVAC_FMT_420);
        l.ref_frame[1] = VQ_SVACDEC_frame_get(&l.pool, w, h, SVAC_FMT_420);
        l.ref_pic_num[0] = n0;
        l.ref_pic_num[1] = n1;
        l.last_output_num = last_output;
    }
    SvacDecOutput flush(int layer) {
        SvacDecOutput out{};
        EXPECT_EQ(VQ_SVAC_Get_LastFrame(d.handle(), layer, &out), 0);
        return out;
    }

    HostDecoder d;
    SvacDecoder *dec_ = nullptr;
};

TEST_F(LastFrame, HandsOutReferencesInPictureNumberOrder) {
    refs(1, 64, 48, 8, 6, 4);
    SvacLayerState &l = dec_->layers[1];
    SvacDecOutput a = flush(1);
    ASSERT_EQ(a.got_picture, 1);
    EXPECT_EQ(a.plane[0], l.ref_frame[1]->plane[0]);  // number 6 follows 4
    EXPECT_EQ(a.layer, 1);
    EXPECT_EQ(a.height, 48);
    EXPECT_EQ(l.last_output_num, 6);
    EXPECT_EQ(flush(1).plane[0], l.ref_frame[0]->plane[0]);
    EXPECT_EQ(flush(1).got_picture, 0);       // 10 is nobody's number
    EXPECT_EQ(l.ref_frame[0]->ref_count, 1);  // no reference taken
}

// Numbers wrap at 512; the newest, numbered 0, comes back every time.
TEST_F(LastFrame, NumbersWrapAt512) {
    refs(0, 32, 32, 0, 510, 508);
    EXPECT_EQ(flush(0).plane[0], dec_->layers[0].ref_frame[1]->plane[0]);
    for (int i = 0; i < 2; i++) EXPECT_EQ(flush(0).plane[0], dec_->layers[0].ref_frame[0]->plane[0]);
}

TEST_F(LastFrame, DisplayHeights) {
    struct Case {
        int w, h, svc, shown;
    } cases[] = {
        {1920, 1088, 0, 1080}, {1280, 736, 0, 720},   {1280, 736, 1, 736},
        {640, 368, 0, 368},    {1920, 1072, 0, 1072},
    };
    for (const Case &c : cases) {
        HostDecoder fresh;
        SvacDecoder *dec = fresh.state();
        dec->sps[0].svc_flag = c.svc;
        dec->cur_sps = &dec->sps[0];
        SvacLayerState &l = dec->layers[0];
        l.ref_frame[0] = VQ_SVACDEC_frame_get(&l.pool, c.w, c.h, SVAC_FMT_420);
        l.ref_pic_num[0] = 0;
        SvacDecOutput out{};
        VQ_SVAC_Get_LastFrame(fresh.handle(), 0, &out);
        ASSERT_EQ(out.got_picture, 1);
        EXPECT_EQ(out.width, c.w);
        EXPECT_EQ(out.height, c.shown) << c.w << "x" << c.h << " svc " << c.svc;
    }
}

}  // namespace
