// Extension data units and the time-stamp record handed to the host.
#include <gtest/gtest.h>

#include "host_decoder.h"
#include "syntax_writer.h"

namespace {

using svactest::HostDecoder;
using svactest::TimeExt;
using Bytes = std::vector<uint8_t>;

Bytes ext_unit(const svacenc::BitWriter &bw) {
    Bytes s;
    svactest::add_nal(s, svacenc::NAL_EXT, bw);
    return s;
}

// With a date; without one the extra byte follows the flag at once. Other
// records before the time are skipped by their lengths.
TEST(Extension, TimeStampsAfterOtherRecords) {
    const TimeExt times[] = {{23, 59, 58, 16383, true, 2127, 12, 31, 0xAB}, {1, 2, 3, 4, false, 2000, 0, 0, 0x96}};
    for (const TimeExt &t : times) {
        for (bool others : {false, true}) {
            svacenc::BitWriter bw;
            if (others) {
                svactest::put_roi_ext(bw, 15);
                svactest::put_opaque_ext(bw, {{}, {4, 4, 4, 4, 4}, std::vector<uint8_t>(255, 0x04)});
                svactest::put_alert_ext(bw, 63);
                svactest::put_roi_ext(bw, 0);
            }
            svactest::put_time_ext(bw, t);
            svactest::end_extensions(bw);
            HostDecoder d;
            const Bytes in = ext_unit(bw);
            EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size()));
            const SvacDecExtInfo &e = d.ext;
            EXPECT_EQ(e.flags, 2u);
            EXPECT_EQ(e.hour, t.hour);
            EXPECT_EQ(e.minute, t.minute);
            EXPECT_EQ(e.second, t.second);
            EXPECT_EQ(e.time_fraction, t.fraction);
            EXPECT_EQ(e.time_extra, t.extra);
            if (t.date) {
                EXPECT_EQ(e.year, t.year);
                EXPECT_EQ(e.month, t.month);
                EXPECT_EQ(e.day, t.day);
            }
        }
    }
}

// The end marker and unknown identifiers stop the unit; counts that claim
// more than the unit holds and a time record cut in the middle are not read
// beyond the payload and give no time. The next call clears the flags.
TEST(Extension, StopsAndCutRecordsGiveNoTime) {
    std::vector<svacenc::BitWriter> cases;
    for (uint32_t id : {0x80u, 0u, 5u, 0x7Fu, 0xFFu}) {
        cases.emplace_back();
        cases.back().put(id, 8);
        svactest::put_time_ext(cases.back(), {});
    }
    const uint32_t cut[][6] = {
        {1, 0, 15, 0, 0x12345678, 32},  // one region of fifteen
        {2, 0, 3, 0, 200, 8},           // 200 bytes announced, none follow
        {3, 0, 63, 0, 0, 0},
    };
    for (const auto &c : cut) {
        cases.emplace_back();
        cases.back().put(c[0], 8);
        cases.back().put(c[1], 32);
        cases.back().put(c[2], c[0] == 3 ? 6 : 4);
        cases.back().put(c[3], c[0] == 3 ? 2 : 4);
        if (c[5]) cases.back().put(c[4], static_cast<int>(c[5]));
    }
    cases.emplace_back();
    cases.back().put(4, 8);
    cases.back().put(0, 32);
    cases.back().put(5, 5);  // the hour, then nothing
    for (size_t i = 0; i < cases.size(); i++) {
        HostDecoder d;
        const Bytes in = ext_unit(cases[i]);
        EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size())) << i;
        EXPECT_EQ(d.ext.flags, 0u) << i;
    }
    svacenc::BitWriter bw;
    svactest::put_time_ext(bw, {});
    svactest::end_extensions(bw);
    HostDecoder d;
    d.decode(ext_unit(bw));
    EXPECT_EQ(d.ext.flags, 2u);
    d.decode({});
    EXPECT_EQ(d.ext.flags, 0u);
}

}  // namespace
