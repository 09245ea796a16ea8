// The stream driver through the host API: short and cut inputs, consumed
// counts, skipped NAL unit types, layers and keyframes. Emulation prevention
// and the stop bit are exercised by every round trip.
#include <gtest/gtest.h>

#include "host_decoder.h"
#include "syntax_writer.h"

namespace {

using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

// A time extension NAL unit whose hour identifies it.
Bytes time_unit(uint32_t hour) {
    svacenc::BitWriter bw;
    svactest::TimeExt t;
    t.hour = hour;
    svactest::put_time_ext(bw, t);
    svactest::end_extensions(bw);
    Bytes s;
    svactest::add_nal(s, svacenc::NAL_EXT, bw);
    return s;
}

Bytes sps_unit(const svactest::SpsSyntax &sps) {
    Bytes s;
    svactest::add_nal(s, svacenc::NAL_SPS, svactest::write_sps(sps));
    return s;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes s;
    for (const Bytes &p : parts) s.insert(s.end(), p.begin(), p.end());
    return s;
}

TEST(StreamDriver, ShortInputsHandleNothing) {
    HostDecoder d;
    for (const Bytes &in : {Bytes{}, Bytes{0}, Bytes{0, 0}, Bytes{0, 0, 1}, Bytes{1, 2, 3}}) {
        EXPECT_EQ(d.decode(in), 0) << in.size();
        EXPECT_EQ(d.out.got_picture, 0);
        EXPECT_EQ(d.ext.flags, 0u);
    }
}

TEST(StreamDriver, HeaderExtensionByteIsSkipped) {
    svacenc::BitWriter bw;
    svactest::TimeExt t;
    t.minute = 42;
    svactest::put_time_ext(bw, t);
    svactest::end_extensions(bw);
    bw.put_trailing_bits();
    Bytes in;
    svacenc::NalHeader h;
    h.type = svacenc::NAL_EXT;
    h.ext = true;
    h.ext_byte = 0x04;  // would read as a time extension identifier if not skipped
    svacenc::append_nal(in, h, bw.bytes());
    HostDecoder d;
    EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size()));
    EXPECT_EQ(d.ext.flags, 2u);
    EXPECT_EQ(d.ext.minute, 42u);
}

TEST(StreamDriver, UnusedNalTypesAreSkipped) {
    const svacenc::BitWriter sps = svactest::write_sps({});
    for (int type : {0, 6, 10, 11, 12, 13, 14, 15}) {
        Bytes in;
        svactest::add_nal(in, type, sps);  // an SPS payload under another type
        in = cat({in, time_unit(3)});
        HostDecoder d;
        EXPECT_EQ(d.decode(in), static_cast<int32_t>(in.size())) << type;
        EXPECT_EQ(d.state()->sps[0].valid, 0) << type;
        EXPECT_EQ(d.ext.hour, 3u) << type;
    }
}

TEST(StreamDriver, NegativeResultEndsTheCall) {
    svactest::SpsSyntax bad;
    bad.sps_id = 32;
    const Bytes in = cat({sps_unit(bad), time_unit(4)});
    HostDecoder d;
    testing::internal::CaptureStdout();
    EXPECT_EQ(d.decode(in), -5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "svac decoder error: sps, sps_id(32)\n");
    EXPECT_EQ(d.ext.flags, 0u);  // the time extension after it was not examined
    EXPECT_EQ(d.out.got_picture, 0);
}

TEST(StreamDriver, SlicesBeforeAKeyframeAreSkippedSilently) {
    HostDecoder d;
    Bytes slice_base, slice_enh;
    svactest::add_raw_nal(slice_base, svactest::nal_header(svacenc::NAL_SLICE), {0x12, 0x34, 0x80});
    svactest::add_raw_nal(slice_enh, svactest::nal_header(svacenc::NAL_SLICE_ENH), {0x56, 0x80});

    testing::internal::CaptureStdout();
    EXPECT_EQ(d.decode(slice_enh), static_cast<int32_t>(slice_enh.size()));
    EXPECT_EQ(d.state()->layer, 1);
    EXPECT_EQ(d.decode(time_unit(1)), static_cast<int32_t>(time_unit(1).size()));
    EXPECT_EQ(d.state()->layer, 1);  // other types leave the layer alone
    EXPECT_EQ(d.decode(slice_base), static_cast<int32_t>(slice_base.size()));
    EXPECT_EQ(d.state()->layer, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(d.out.got_picture, 0);
    EXPECT_EQ(d.state()->layers[0].keyframe_seen, 0);
    EXPECT_EQ(d.state()->layers[1].keyframe_seen, 0);
}

TEST(StreamDriver, FirstKeyframeSliceDropsTheReferences) {
    for (int type : {2, 4}) {
        HostDecoder d;
        const int layer = type == svacenc::NAL_SLICE_KEY ? 0 : 1;
        SvacLayerState &l = d.state()->layers[layer];
        l.ref_frame[0] = VQ_SVACDEC_frame_get(&l.pool, 64, 32, SVAC_FMT_420);
        l.ref_frame[1] = VQ_SVACDEC_frame_get(&l.pool, 64, 32, SVAC_FMT_420);
        Bytes in;
        svactest::add_raw_nal(in, svactest::nal_header(type), {0xFF, 0x80});
        testing::internal::CaptureStdout();
        d.decode(in);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(l.keyframe_seen, 1);
        EXPECT_EQ(l.ref_frame[0], nullptr);
        EXPECT_EQ(l.ref_frame[1], nullptr);
        EXPECT_EQ(d.state()->layers[1 - layer].keyframe_seen, 0);
    }
}

}  // namespace
