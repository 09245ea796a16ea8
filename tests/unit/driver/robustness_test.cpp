// Damaged input through the host API: every truncation of a stream holding
// every kind of unit, and extreme parameter sets, must give results inside
// the caller's bytes, no crash and (under the sanitizers) no invalid access
// or leak. Random damage is the fuzz targets' part.
#include <gtest/gtest.h>

#include "demo_stream.h"
#include "host_decoder.h"
#include "mem/mem.h"

namespace {

using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

// Every kind of unit: parameter sets with optional parts and regions,
// extensions, a security set, keyframes that decode, slices of both layers
// and unused types, some with header extension bytes.
Bytes mixed_stream() {
    Bytes s = svactest::demo_stream();
    svactest::SpsSyntax sps;
    sps.sps_id = 3;
    sps.mb_width_minus1 = sps.mb_height_minus1 = 0;
    sps.vui = true;
    sps.hrd = true;
    sps.hrd_entries = {{1, 2, true}, {3, 4, false}};
    svactest::add_nal(s, svacenc::NAL_SPS, svactest::write_sps(sps));
    svactest::PpsSyntax pps;
    pps.fixed_qp = false;  // the flat keyframe carries a QP delta
    svactest::add_nal(s, svacenc::NAL_PPS, svactest::write_pps(pps));
    svactest::add_raw_nal(s, svactest::nal_header(9), {0x81, 0x22, 0x00, 0x00, 0x03, 0x01, 0x80});
    svactest::add_raw_nal(s, svactest::nal_header(1), {0x83, 0x11, 0x46, 0x80});
    svactest::add_raw_nal(s, svactest::nal_header(4, false, true), {0x00, 0x84, 0x37, 0x80});
    svactest::add_raw_nal(s, svactest::nal_header(3), {0xA5, 0x5A, 0x80});
    svactest::add_raw_nal(s, svactest::nal_header(2, true), {0x84, 0x02, 0x90});
    svactest::add_raw_nal(s, svactest::nal_header(12), {0x00, 0x00, 0x00});
    svactest::add_flat_keyframe(s, 7);
    return s;
}

// One call over all the bytes, then the unit-by-unit walk of svacdec and the
// drain; true when every result stays inside the caller's bytes. The library
// reports damaged data on standard output: kept quiet.
bool decode_both_ways(const Bytes &in, int *pictures = nullptr) {
    testing::internal::CaptureStdout();
    HostDecoder once;
    bool ok = once.decode(in) <= static_cast<int32_t>(in.size()) && (once.out.got_picture & ~1) == 0;
    HostDecoder d;
    int errors, pics;
    d.feed_all(in, &errors, pictures ? pictures : &pics);
    ok = ok && d.results_in_bounds;
    for (int layer = 0; layer < 2; layer++) {
        SvacDecOutput out{};
        for (int i = 0; i < 3; i++) VQ_SVAC_Get_LastFrame(d.handle(), layer, &out);
    }
    testing::internal::GetCapturedStdout();
    return ok;
}

TEST(Damaged, EveryTruncation) {
    const Bytes s = mixed_stream();
    int pictures = 0;
    EXPECT_TRUE(decode_both_ways(s, &pictures));
    EXPECT_EQ(pictures, 3 + 1);  // the demo's keyframes and the last flat one
    for (size_t n = 0; n < s.size(); n++)
        EXPECT_TRUE(decode_both_ways(Bytes(s.begin(), s.begin() + n))) << "truncated to " << n;
}

TEST(Damaged, OversizedAndOverlongParameterSets) {
    // Widths and heights at the edge of what a code carries, with every
    // chroma format and bit depth, each followed by a keyframe that selects it.
    // Pictures over 8192 lines or columns are refused before any of their
    // buffers is requested: no request above 1 MB is made.
    const uint64_t refused = svac_mem_refused();
    svac_mem_fail(-1, 1 << 20);
    for (uint32_t w : {0u, 511u, 65534u, 65535u}) {
        for (uint32_t chroma : {0u, 1u, 2u, 3u}) {
            for (uint32_t depth : {0u, 1u, 2u, 300u}) {
                Bytes s;
                svactest::SpsSyntax sps;
                sps.mb_width_minus1 = w;
                sps.mb_height_minus1 = w == 0 ? 0 : 600;
                sps.chroma_format_idc = chroma;
                sps.bit_depth_luma_minus8 = sps.bit_depth_chroma_minus8 = depth;
                svactest::add_nal(s, svacenc::NAL_SPS, svactest::write_sps(sps));
                svactest::PpsSyntax pps;
                pps.ten_bit = depth != 0;
                svactest::add_nal(s, svacenc::NAL_PPS, svactest::write_pps(pps));
                svactest::add_flat_keyframe(s, 0);
                EXPECT_TRUE(decode_both_ways(s)) << w << " " << chroma << " " << depth;
            }
        }
    }
    svac_mem_fail(-1, SVAC_MEM_MAX);
    EXPECT_EQ(svac_mem_refused(), refused);
}

}  // namespace
