// Sequence and picture parameter sets sent through the host API: stored
// fields, identifier limits, refused changes and the exact messages.
#include <gtest/gtest.h>

#include "host_decoder.h"
#include "syntax_writer.h"

namespace {

using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

Bytes unit(int type, const svacenc::BitWriter &bw) {
    Bytes s;
    svactest::add_nal(s, type, bw);
    return s;
}

// Decodes one unit; returns the result and the text printed.
std::pair<int32_t, std::string> send(HostDecoder &d, const Bytes &in) {
    testing::internal::CaptureStdout();
    const int32_t r = d.decode(in);
    return {r, testing::internal::GetCapturedStdout()};
}

std::pair<int32_t, std::string> send_sps(HostDecoder &d, const svactest::SpsSyntax &s) {
    return send(d, unit(svacenc::NAL_SPS, svactest::write_sps(s)));
}

std::pair<int32_t, std::string> send_pps(HostDecoder &d, const svactest::PpsSyntax &p) {
    return send(d, unit(svacenc::NAL_PPS, svactest::write_pps(p)));
}

TEST(SequenceParams, AllFieldsWithTimingAndHrd) {
    svactest::SpsSyntax s;
    s.header_byte_0 = 0xC3;
    s.header_byte_1 = 0x5A;
    s.sps_id = 17;
    s.chroma_format_idc = 2;
    s.bit_depth_luma_minus8 = s.bit_depth_chroma_minus8 = 2;
    s.mb_width_minus1 = 119;
    s.mb_height_minus1 = 67;
    s.frame_only = false;
    s.roi = true;
    s.svc = true;
    s.vui = true;
    s.timing = true;
    s.timing_units = 0xFEDCBA98;
    s.timing_scale = 0x00000001;
    s.timing_fixed = true;
    s.hrd = true;
    s.hrd_entries = {{5, 600, true}, {0, 0, false}, {70000, 3, true}};  // one long code
    s.vui_ue_value = 1234;
    HostDecoder d;
    auto [r, msg] = send_sps(d, s);
    EXPECT_EQ(r, static_cast<int32_t>(unit(svacenc::NAL_SPS, svactest::write_sps(s)).size()));
    // 70000 needs 16 leading zeros: reported, and parsing goes on.
    EXPECT_EQ(msg, "log >= 0 failed at ../../../../lib/bitstream.h:773.\n");
    const SvacSeqParams &p = d.state()->sps[17];
    EXPECT_EQ(p.valid, 1);
    EXPECT_EQ(p.header_byte_0, 0xC3);
    EXPECT_EQ(p.header_byte_1, 0x5A);
    EXPECT_EQ(p.chroma_format_idc, 2);
    EXPECT_EQ(p.bit_depth_luma_minus8, 2);
    EXPECT_EQ(p.bit_depth_chroma_minus8, 2);
    EXPECT_EQ(p.mb_width, 120);
    EXPECT_EQ(p.mb_height, 68);
    EXPECT_EQ(p.frame_only_flag, 0);
    EXPECT_EQ(p.roi_flag, 1);
    EXPECT_EQ(p.svc_flag, 1);
    EXPECT_EQ(p.vui_flag, 1);
    EXPECT_EQ(p.timing_flag, 1);
    EXPECT_EQ(p.timing_units, 0xFEDCBA98u);
    EXPECT_EQ(p.timing_scale, 1u);
    EXPECT_EQ(p.timing_fixed_flag, 1);
    EXPECT_EQ(p.hrd_flag, 1);
    EXPECT_EQ(p.vui_ue_value, 1234);
    EXPECT_EQ(d.state()->last_sps_id, 17);
}

TEST(SequenceParams, HrdWithoutTimingAndShortSet) {
    svactest::SpsSyntax s;
    s.vui = true;
    s.hrd = true;
    s.hrd_entries = {{1, 2, false}};
    s.vui_ue_value = 77;
    HostDecoder d;
    EXPECT_EQ(send_sps(d, s).second, "");
    EXPECT_EQ(d.state()->sps[0].vui_ue_value, 77);
    EXPECT_EQ(d.state()->sps[0].timing_flag, 0);

    svactest::SpsSyntax plain;  // no optional part at all
    plain.sps_id = 1;
    plain.chroma_format_idc = 0;
    EXPECT_GT(send_sps(d, plain).first, 0);
    EXPECT_EQ(d.state()->sps[1].chroma_format_idc, 0);
    EXPECT_EQ(d.state()->sps[1].vui_flag, 0);
}

TEST(SequenceParams, IdentifierLimits) {
    HostDecoder d;
    svactest::SpsSyntax s;
    s.sps_id = 31;
    auto ok = send_sps(d, s);
    EXPECT_GT(ok.first, 0);
    EXPECT_EQ(ok.second, "");
    EXPECT_EQ(d.state()->sps[31].valid, 1);

    s.sps_id = 32;
    auto bad = send_sps(d, s);
    EXPECT_EQ(bad.first, -5);
    EXPECT_EQ(bad.second, "svac decoder error: sps, sps_id(32)\n");
    EXPECT_EQ(d.state()->last_sps_id, 31);

    s.sps_id = 65535;  // a code too long to read
    bad = send_sps(d, s);
    EXPECT_EQ(bad.first, -5);
    EXPECT_EQ(bad.second,
              "log >= 0 failed at ../../../../lib/bitstream.h:773.\n"
              "svac decoder error: sps, sps_id(-3)\n");
}

TEST(SequenceParams, GeometryAndFlagsMayNotChange) {
    HostDecoder d;
    svactest::SpsSyntax s;  // 11 x 9 macroblocks
    ASSERT_GT(send_sps(d, s).first, 0);
    s.sps_id = 4;
    s.chroma_format_idc = 2;  // not part of the comparison
    auto same = send_sps(d, s);
    EXPECT_GT(same.first, 0);
    EXPECT_EQ(d.state()->last_sps_id, 4);

    struct Change {
        void (*apply)(svactest::SpsSyntax &);
        const char *msg;
    } changes[] = {
        {[](svactest::SpsSyntax &x) { x.mb_width_minus1 = 11; },
         "SVAC parameters change, must reinit. (0 0 11 9) -> (0 0 12 9)\n"},
        {[](svactest::SpsSyntax &x) { x.mb_height_minus1 = 0; },
         "SVAC parameters change, must reinit. (0 0 11 9) -> (0 0 11 1)\n"},
        {[](svactest::SpsSyntax &x) { x.roi = true; },
         "SVAC parameters change, must reinit. (0 0 11 9) -> (1 0 11 9)\n"},
        {[](svactest::SpsSyntax &x) { x.svc = true; },
         "SVAC parameters change, must reinit. (0 0 11 9) -> (0 1 11 9)\n"},
    };
    for (const Change &c : changes) {
        svactest::SpsSyntax n = s;
        n.sps_id = 9;
        c.apply(n);
        auto r = send_sps(d, n);
        EXPECT_EQ(r.first, -5);
        EXPECT_EQ(r.second, c.msg);
        EXPECT_EQ(d.state()->sps[9].valid, 0);  // nothing stored
        EXPECT_EQ(d.state()->last_sps_id, 4);
    }
}

TEST(SequenceParams, RefusedButStored) {
    struct Case {
        uint32_t luma, chroma, w_minus1;
        int32_t result;
        int32_t stored_width;
        const char *msg;
    } cases[] = {
        {0, 2, 10, -5, 11, ""},  // bit depths 8 and 10
        {2, 0, 10, -5, 11, ""},
        {2, 2, 10, 0, 11, ""},
        {0, 0, 65534, 0, 65535, ""},  // the widest width a code can carry
        // A width code too long to read gives -3 + 1 = -2, far above the
        // limit when taken unsigned.
        {0, 0, 65535, -5, -2, "log >= 0 failed at ../../../../lib/bitstream.h:773.\n"},
    };
    for (const Case &c : cases) {
        HostDecoder d;
        svactest::SpsSyntax s;
        s.sps_id = 3;
        s.bit_depth_luma_minus8 = c.luma;
        s.bit_depth_chroma_minus8 = c.chroma;
        s.mb_width_minus1 = c.w_minus1;
        auto r = send_sps(d, s);
        if (c.result)
            EXPECT_EQ(r.first, c.result);
        else
            EXPECT_GT(r.first, 0);
        EXPECT_EQ(r.second, c.msg);
        EXPECT_EQ(d.state()->sps[3].valid, 1);
        EXPECT_EQ(d.state()->sps[3].mb_width, c.stored_width);
        EXPECT_EQ(d.state()->last_sps_id, 3);
    }
}

class PictureParams : public testing::Test {
protected:
    // A sequence set with the given flags as set 0.
    void sequence(bool roi, bool svc, bool ten_bit) {
        svactest::SpsSyntax s;
        s.roi = roi;
        s.svc = svc;
        s.bit_depth_luma_minus8 = s.bit_depth_chroma_minus8 = ten_bit ? 2 : 0;
        ASSERT_GT(send_sps(d, s).first, 0);
    }
    HostDecoder d;
};

TEST_F(PictureParams, PlainSet) {
    sequence(false, false, false);
    svactest::PpsSyntax p;
    p.pps_id = 255;
    p.cabac = true;
    p.pic_qp = 63;
    p.fixed_qp = false;
    p.aux = true;
    p.lf_disable = true;
    auto r = send_pps(d, p);
    EXPECT_GT(r.first, 0);
    EXPECT_EQ(r.second, "");
    const SvacPicParams &q = d.state()->pps[255];
    EXPECT_EQ(q.valid, 1);
    EXPECT_EQ(q.sps_id, 0);
    EXPECT_EQ(q.entropy_coding_flag, 1);
    EXPECT_EQ(q.pic_qp, 63);
    EXPECT_EQ(q.num_roi, 0);
    EXPECT_EQ(q.fixed_qp_flag, 0);
    EXPECT_EQ(q.aux_flag, 1);
    EXPECT_EQ(q.lf_disable_flag, 1);
}

TEST_F(PictureParams, IdentifierLimit) {
    sequence(false, false, false);
    svactest::PpsSyntax p;
    p.pps_id = 256;
    auto r = send_pps(d, p);
    EXPECT_EQ(r.first, -2);
    EXPECT_EQ(r.second, "svac decoder error: pps,pps_id(256)\n");
    p.pps_id = 70000;
    r = send_pps(d, p);
    EXPECT_EQ(r.first, -2);
    EXPECT_EQ(r.second,
              "log >= 0 failed at ../../../../lib/bitstream.h:773.\n"
              "svac decoder error: pps,pps_id(-3)\n");
}

TEST_F(PictureParams, TenBitQuantisersAreSevenBits) {
    sequence(true, false, true);
    svactest::PpsSyntax p;
    p.roi = true;
    p.ten_bit = true;
    p.pic_qp = 100;
    p.num_roi = 1;
    p.roi_qp = 127;
    p.rects = {{0, 12}};
    p.fixed_qp = true;
    p.aux = false;
    p.lf_disable = true;
    EXPECT_GT(send_pps(d, p).first, 0);
    const SvacPicParams &q = d.state()->pps[0];
    EXPECT_EQ(q.pic_qp, 100);
    EXPECT_EQ(q.roi_qp, 127);
    EXPECT_EQ(q.roi_first_mb[0], 0);
    EXPECT_EQ(q.roi_last_mb[0], 12);
    EXPECT_EQ(q.fixed_qp_flag, 1);
    EXPECT_EQ(q.aux_flag, 0);
    EXPECT_EQ(q.lf_disable_flag, 1);
}

TEST_F(PictureParams, ZeroRegionsReadNoRegionSyntax) {
    sequence(true, false, false);
    svactest::PpsSyntax p;
    p.roi = true;
    p.num_roi = 0;
    p.pic_qp = 41;
    p.fixed_qp = false;
    p.aux = true;
    p.lf_disable = false;
    EXPECT_GT(send_pps(d, p).first, 0);
    const SvacPicParams &q = d.state()->pps[0];
    EXPECT_EQ(q.num_roi, 0);
    EXPECT_EQ(q.roi_skip_flag, 0);
    EXPECT_EQ(q.roi_qp, 41);
    EXPECT_EQ(q.fixed_qp_flag, 0);
    EXPECT_EQ(q.aux_flag, 1);
    EXPECT_EQ(q.lf_disable_flag, 0);
}

TEST_F(PictureParams, RegionsWithScalability) {
    sequence(true, true, false);
    svactest::PpsSyntax p;
    p.pps_id = 7;
    p.roi = true;
    p.svc = true;
    p.num_roi = 3;
    p.roi_skip = false;
    p.roi_el = true;  // present: no skipping and scalability on
    p.roi_qp = 20;
    p.rects = {{0, 13}, {25, 49}, {60, 98}};
    p.fixed_qp = true;
    p.lf_disable = true;
    EXPECT_GT(send_pps(d, p).first, 0);
    const SvacPicParams &q = d.state()->pps[7];
    EXPECT_EQ(q.num_roi, 3);
    EXPECT_EQ(q.roi_skip_flag, 0);
    EXPECT_EQ(q.roi_el_flag, 1);
    EXPECT_EQ(q.roi_qp, 20);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(q.roi_first_mb[i], static_cast<int32_t>(p.rects[i].first_mb));
        EXPECT_EQ(q.roi_last_mb[i], static_cast<int32_t>(p.rects[i].last_mb));
    }
    EXPECT_NE(q.roi_first_mb_el, nullptr);
    EXPECT_NE(q.roi_last_mb_el, nullptr);
    EXPECT_EQ(q.fixed_qp_flag, 1);
    EXPECT_EQ(q.lf_disable_flag, 1);
    EXPECT_EQ(d.state()->layers[0].mb.roi_remaining, 3);
    EXPECT_EQ(d.state()->layers[1].mb.roi_remaining, 3);

    // Skipping on: the enhancement flag is absent and copies the skip flag.
    p.roi_skip = true;
    p.num_roi = 1;
    p.rects = {{5, 5}};
    p.fixed_qp = false;
    EXPECT_GT(send_pps(d, p).first, 0);
    EXPECT_EQ(q.roi_skip_flag, 1);
    EXPECT_EQ(q.roi_el_flag, 1);
    EXPECT_EQ(q.roi_first_mb[0], 5);
    EXPECT_EQ(q.fixed_qp_flag, 0);
    EXPECT_EQ(d.state()->layers[1].mb.roi_remaining, 1);
}

TEST_F(PictureParams, RegionCountBeyondThePictureIsRefused) {
    sequence(true, false, false);  // 11 x 9 macroblocks: at most 49 regions
    svactest::PpsSyntax p;
    p.roi = true;
    p.num_roi = 49;
    p.rects.assign(49, {1, 2});
    EXPECT_GT(send_pps(d, p).first, 0);
    p.num_roi = 50;
    p.rects.assign(50, {1, 2});
    EXPECT_LT(send_pps(d, p).first, 0);
    p.num_roi = 65534;
    p.rects.clear();
    EXPECT_LT(send_pps(d, p).first, 0);
}

TEST_F(PictureParams, ClearsSliceCountersAndEnhancementSize) {
    sequence(false, false, false);
    SvacDecoder *dec = d.state();
    dec->slice_count = 5;
    dec->left_slice_num = 3;
    dec->el_width = 352;
    dec->el_height = 288;
    EXPECT_GT(send_pps(d, {}).first, 0);
    EXPECT_EQ(dec->slice_count, 0);
    EXPECT_EQ(dec->left_slice_num, 0);
    EXPECT_EQ(dec->el_width, 0);
    EXPECT_EQ(dec->el_height, 0);
}

TEST_F(PictureParams, BeforeItsSequenceSetReadsAnEmptyEntry) {
    // Set 0 is not stored yet: 8-bit, no regions, whatever the set will say.
    svactest::PpsSyntax p;
    p.pic_qp = 33;
    p.lf_disable = true;
    EXPECT_GT(send_pps(d, p).first, 0);
    EXPECT_EQ(d.state()->pps[0].pic_qp, 33);
    EXPECT_EQ(d.state()->pps[0].lf_disable_flag, 1);

    p.pps_id = 2;
    p.sps_id = 40;  // outside the table
    p.pic_qp = 12;
    EXPECT_GT(send_pps(d, p).first, 0);
    EXPECT_EQ(d.state()->pps[2].sps_id, 40);
    EXPECT_EQ(d.state()->pps[2].pic_qp, 12);
}

}  // namespace
