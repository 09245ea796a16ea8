// The stream driver through the host API: short inputs, errors ending the
// call, layers and keyframes. Emulation prevention, the stop bit, header
// extension bytes and skipped unit types are exercised by every round trip.
#include <gtest/gtest.h>

#include "host_decoder.h"
#include "syntax_writer.h"

namespace {

using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

TEST(StreamDriver, ShortInputsHandleNothing) {
    HostDecoder d;
    for (const Bytes &in : {Bytes{}, Bytes{0}, Bytes{0, 0}, Bytes{0, 0, 1}, Bytes{1, 2, 3}}) {
        EXPECT_EQ(d.decode(in), 0) << in.size();
        EXPECT_EQ(d.out.got_picture, 0);
        EXPECT_EQ(d.ext.flags, 0u);
    }
}

TEST(StreamDriver, NegativeResultEndsTheCall) {
    svactest::SpsSyntax bad;
    bad.sps_id = 32;
    Bytes in;
    svactest::add_nal(in, svacenc::NAL_SPS, svactest::write_sps(bad));
    svacenc::BitWriter bw;
    svactest::put_time_ext(bw, {});
    svactest::end_extensions(bw);
    svactest::add_nal(in, svacenc::NAL_EXT, bw);
    HostDecoder d;
    std::string printed;
    EXPECT_EQ(d.decode(in, &printed), -5);
    EXPECT_EQ(d.ext.flags, 0u);  // the time extension after it was not examined
}

// Slices before a layer's first keyframe are skipped without a word.
TEST(StreamDriver, SlicesBeforeAKeyframeAreSkippedSilently) {
    HostDecoder d;
    Bytes in;
    svactest::add_raw_nal(in, svactest::nal_header(svacenc::NAL_SLICE_ENH), {0x56, 0x80});
    svactest::add_raw_nal(in, svactest::nal_header(svacenc::NAL_SLICE), {0x12, 0x34, 0x80});
    std::string printed;
    EXPECT_EQ(d.decode(in, &printed), static_cast<int32_t>(in.size()));
    EXPECT_EQ(printed, "");
    EXPECT_EQ(d.out.got_picture, 0);
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
