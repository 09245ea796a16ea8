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
    const TimeExt times[] = {{23, 59, 58, 16383, true, 2127, 12, 31, 0xAB},
                             {1, 2, 3, 4, false, 2000, 0, 0, 0x96}};
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
    // Identifier, 32 skipped bits, then (value, width) pairs: the end marker
    // and unknown identifiers before a time record; one region of fifteen;
    // 200 opaque bytes announced, none following; 63 alerts, none following;
    // a time record cut after its hour.
    const std::vector<std::pair<uint32_t, int>> cases[] = {
        {{0x80, 8}},
        {{0, 8}},
        {{5, 8}},
        {{0x7F, 8}},
        {{0xFF, 8}},
        {{1, 8}, {0, 32}, {15, 4}, {0, 4}, {0x12345678, 32}},
        {{2, 8}, {0, 32}, {3, 4}, {0, 4}, {200, 8}},
        {{3, 8}, {0, 32}, {63, 6}, {0, 2}},
        {{4, 8}, {0, 32}, {5, 5}},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        svacenc::BitWriter bw;
        for (auto [v, n] : cases[i]) bw.put(v, n);
        if (i < 5) svactest::put_time_ext(bw, {});
        HostDecoder d;
        const Bytes in = ext_unit(bw);
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
