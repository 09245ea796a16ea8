// Parameter sets through the host API: identifier limits, refused changes,
// sets that are stored but refused, region counts, and the exact messages.
// The fields themselves are guarded by the round trips.
#include <gtest/gtest.h>

#include "host_decoder.h"
#include "syntax_writer.h"

namespace {

using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

const char *kLongCode = "log >= 0 failed at ../../../../lib/bitstream.h:773.\n";

int32_t send(HostDecoder &d, int type, const svacenc::BitWriter &bw, std::string *printed) {
    Bytes s;
    svactest::add_nal(s, type, bw);
    return d.decode(s, printed);
}

int32_t send_sps(HostDecoder &d, const svactest::SpsSyntax &s, std::string *printed) {
    return send(d, svacenc::NAL_SPS, svactest::write_sps(s), printed);
}

int32_t send_pps(HostDecoder &d, const svactest::PpsSyntax &p, std::string *printed) {
    return send(d, svacenc::NAL_PPS, svactest::write_pps(p), printed);
}

TEST(ParameterSets, IdentifierLimits) {
    const struct {
        bool pps;
        uint32_t id;
        int32_t code;  // 0: accepted
        std::string msg;
    } cases[] = {
        {false, 31, 0, ""},
        {false, 32, -5, "svac decoder error: sps, sps_id(32)\n"},
        {false, 65535, -5,
         std::string(kLongCode) + "svac decoder error: sps, sps_id(-3)\n"},  // too long to read
        {true, 255, 0, ""},
        {true, 256, -2, "svac decoder error: pps,pps_id(256)\n"},
        {true, 70000, -2, std::string(kLongCode) + "svac decoder error: pps,pps_id(-3)\n"},
    };
    HostDecoder d;
    for (const auto &c : cases) {
        svactest::SpsSyntax s;
        svactest::PpsSyntax p;
        s.sps_id = p.pps_id = c.id;
        std::string printed;
        const int32_t r = c.pps ? send_pps(d, p, &printed) : send_sps(d, s, &printed);
        EXPECT_TRUE(c.code ? r == c.code : r > 0) << c.id << " gave " << r;
        EXPECT_EQ(printed, c.msg);
    }
    EXPECT_EQ(d.state()->sps[31].valid, 1);
    EXPECT_EQ(d.state()->last_sps_id, 31);
}

TEST(ParameterSets, GeometryAndFlagsMayNotChange) {
    HostDecoder d;
    std::string printed;
    svactest::SpsSyntax s;  // 11 x 9 macroblocks
    ASSERT_GT(send_sps(d, s, &printed), 0);
    s.sps_id = 4;
    s.chroma_format_idc = 2;  // not part of the comparison
    EXPECT_GT(send_sps(d, s, &printed), 0);
    const struct {
        void (*apply)(svactest::SpsSyntax &);
        const char *msg;
    } changes[] = {
        {[](svactest::SpsSyntax &x) { x.mb_width_minus1 = 11; }, "(0 0 11 9) -> (0 0 12 9)\n"},
        {[](svactest::SpsSyntax &x) { x.mb_height_minus1 = 0; }, "(0 0 11 9) -> (0 0 11 1)\n"},
        {[](svactest::SpsSyntax &x) { x.roi = true; }, "(0 0 11 9) -> (1 0 11 9)\n"},
        {[](svactest::SpsSyntax &x) { x.svc = true; }, "(0 0 11 9) -> (0 1 11 9)\n"},
    };
    for (const auto &c : changes) {
        svactest::SpsSyntax n = s;
        n.sps_id = 9;
        c.apply(n);
        EXPECT_EQ(send_sps(d, n, &printed), -5);
        EXPECT_EQ(printed, std::string("SVAC parameters change, must reinit. ") + c.msg);
        EXPECT_EQ(d.state()->sps[9].valid, 0);  // nothing stored
        EXPECT_EQ(d.state()->last_sps_id, 4);
    }
}

// Unusable bit depths and widths are stored (the slice header refuses them)
// but the set reports an error.
TEST(ParameterSets, RefusedButStored) {
    const struct {
        uint32_t luma, chroma, w_minus1;
        int32_t result;  // 0: accepted
        int32_t stored_width;
        std::string msg;
    } cases[] = {
        {0, 2, 10, -5, 11, ""},
        {2, 0, 10, -5, 11, ""},
        {2, 2, 10, 0, 11, ""},
        {0, 0, 65534, 0, 65535, ""},  // the widest width a code can carry
        // A width code too long to read gives -3 + 1 = -2, far above the
        // limit when taken unsigned.
        {0, 0, 65535, -5, -2, kLongCode},
    };
    for (const auto &c : cases) {
        HostDecoder d;
        svactest::SpsSyntax s;
        s.sps_id = 3;
        s.bit_depth_luma_minus8 = c.luma;
        s.bit_depth_chroma_minus8 = c.chroma;
        s.mb_width_minus1 = c.w_minus1;
        std::string printed;
        const int32_t r = send_sps(d, s, &printed);
        if (c.result)
            EXPECT_EQ(r, c.result);
        else
            EXPECT_GT(r, 0);
        EXPECT_EQ(printed, c.msg);
        EXPECT_EQ(d.state()->sps[3].mb_width, c.stored_width);
        EXPECT_EQ(d.state()->last_sps_id, 3);
    }
}

TEST(ParameterSets, RegionCountsAndMissingSequenceSets) {
    HostDecoder d;
    std::string printed;
    svactest::PpsSyntax p;  // before any sequence set: read as 8-bit without regions
    p.pic_qp = 33;
    p.sps_id = 40;  // outside the table: the same
    EXPECT_GT(send_pps(d, p, &printed), 0);
    EXPECT_EQ(d.state()->pps[0].pic_qp, 33);

    svactest::SpsSyntax s;  // 11 x 9 macroblocks: at most 49 regions
    s.roi = true;
    ASSERT_GT(send_sps(d, s, &printed), 0);
    p.sps_id = 0;
    p.roi = true;
    p.num_roi = 49;
    p.rects.assign(49, {1, 2});
    EXPECT_GT(send_pps(d, p, &printed), 0);
    EXPECT_EQ(d.state()->layers[0].mb.roi_remaining, 49);
    for (uint32_t n : {50u, 65534u}) {
        p.num_roi = n;
        p.rects.assign(n == 50 ? 50 : 0, {1, 2});
        EXPECT_LT(send_pps(d, p, &printed), 0) << n;
    }
}

}  // namespace
