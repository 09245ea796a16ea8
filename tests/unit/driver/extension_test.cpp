// Extension data units and the time-stamp record handed to the host.
#include <gtest/gtest.h>

#include "host_decoder.h"
#include "syntax_writer.h"

namespace {

using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

Bytes ext_unit(const svacenc::BitWriter &bw) {
    Bytes s;
    svactest::add_nal(s, svacenc::NAL_EXT, bw);
    return s;
}

TEST(Extension, TimeWithDate) {
    svacenc::BitWriter bw;
    svactest::TimeExt t{23, 59, 58, 16383, true, 2127, 12, 31, 0xAB};
    svactest::put_time_ext(bw, t);
    svactest::end_extensions(bw);
    HostDecoder d;
    d.decode(ext_unit(bw));
    const SvacDecExtInfo &e = d.ext;
    EXPECT_EQ(e.flags, 2u);
    EXPECT_EQ(e.year, 2127u);
    EXPECT_EQ(e.month, 12u);
    EXPECT_EQ(e.day, 31u);
    EXPECT_EQ(e.hour, 23u);
    EXPECT_EQ(e.minute, 59u);
    EXPECT_EQ(e.second, 58u);
    EXPECT_EQ(e.time_fraction, 16383u);
    EXPECT_EQ(e.time_extra, 0xABu);
}

TEST(Extension, TimeWithoutDateHasExtraRightAfterTheFlag) {
    svacenc::BitWriter bw;
    svactest::TimeExt t{1, 2, 3, 4, false, 2000, 1, 1, 0x96};
    svactest::put_time_ext(bw, t);
    svactest::end_extensions(bw);
    HostDecoder d;
    d.decode(ext_unit(bw));
    EXPECT_EQ(d.ext.flags, 2u);
    EXPECT_EQ(d.ext.hour, 1u);
    EXPECT_EQ(d.ext.minute, 2u);
    EXPECT_EQ(d.ext.second, 3u);
    EXPECT_EQ(d.ext.time_fraction, 4u);
    EXPECT_EQ(d.ext.time_extra, 0x96u);
}

TEST(Extension, OtherRecordsAreSkippedByTheirLengths) {
    svacenc::BitWriter bw;
    svactest::put_roi_ext(bw, 15);
    svactest::put_opaque_ext(bw, {{}, {4, 4, 4, 4, 4}, std::vector<uint8_t>(255, 0x04)});
    svactest::put_alert_ext(bw, 63);
    svactest::put_roi_ext(bw, 0);
    svactest::TimeExt t;
    t.minute = 33;
    t.extra = 0x11;
    svactest::put_time_ext(bw, t);
    svactest::end_extensions(bw);
    HostDecoder d;
    const Bytes in = ext_unit(bw);
    EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size()));
    EXPECT_EQ(d.ext.flags, 2u);
    EXPECT_EQ(d.ext.minute, 33u);
    EXPECT_EQ(d.ext.time_extra, 0x11u);
}

TEST(Extension, EndMarkerAndUnknownIdentifiersStopTheUnit) {
    for (uint32_t id : {0x80u, 0u, 5u, 0x7Fu, 0xFFu}) {
        svacenc::BitWriter bw;
        bw.put(id, 8);
        svactest::TimeExt t;
        t.hour = 9;
        svactest::put_time_ext(bw, t);
        HostDecoder d;
        const Bytes in = ext_unit(bw);
        EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size())) << id;
        EXPECT_EQ(d.ext.flags, 0u) << id;
    }
}

TEST(Extension, FlagsAreClearedByTheNextCall) {
    svacenc::BitWriter bw;
    svactest::put_time_ext(bw, {});
    svactest::end_extensions(bw);
    HostDecoder d;
    d.decode(ext_unit(bw));
    EXPECT_EQ(d.ext.flags, 2u);
    d.decode({});
    EXPECT_EQ(d.ext.flags, 0u);
    Bytes sps;
    svactest::add_nal(sps, svacenc::NAL_SPS, svactest::write_sps({}));
    d.decode(ext_unit(bw));
    d.decode(sps);
    EXPECT_EQ(d.ext.flags, 0u);
}

TEST(Extension, RecordsCutShortByThePayloadEndAreNotReadBeyondIt) {
    // Counts that claim more data than the unit holds, and a time record
    // cut in the middle: nothing is read past the payload, no time is given.
    std::vector<svacenc::BitWriter> cases(4);
    cases[0].put(1, 8);
    cases[0].put(0, 32);
    cases[0].put(15, 4);
    cases[0].put(0, 4);
    cases[0].put(0x12345678, 32);  // one region of fifteen
    cases[1].put(2, 8);
    cases[1].put(0, 32);
    cases[1].put(3, 4);
    cases[1].put(0, 4);
    cases[1].put(200, 8);  // 200 bytes announced, none follow
    cases[2].put(3, 8);
    cases[2].put(0, 32);
    cases[2].put(63, 6);
    cases[2].put(0, 2);
    cases[3].put(4, 8);
    cases[3].put(0, 32);
    cases[3].put(5, 5);  // the hour, then nothing
    for (size_t i = 0; i < cases.size(); i++) {
        HostDecoder d;
        const Bytes in = ext_unit(cases[i]);
        EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size())) << i;
        EXPECT_EQ(d.ext.flags, 0u) << i;
    }
}

}  // namespace
