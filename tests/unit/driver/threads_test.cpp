// Instances decoding different streams on several threads at once, after one
// VQ_SVAC_Dec_Init, hand out the same pictures as alone (`make tsan` runs
// this under ThreadSanitizer).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "encoder.h"
#include "nal_split.h"
#include "picture_md5.h"
#include "svacdec.h"

namespace {

std::vector<std::string> decode_md5s(const std::vector<uint8_t> &s) {
    void *dec = VQ_SVAC_Dec_Open();
    std::vector<std::string> md5s;
    for (size_t pos = 0; pos < s.size();) {
        const svactool::NalChunk c = svactool::next_nal_chunk(s.data(), s.size(), pos);
        if (!c.found) break;
        std::vector<uint8_t> unit(s.begin() + static_cast<long>(c.begin),
                                  s.begin() + static_cast<long>(c.end));
        SvacDecInput in{unit.data(), static_cast<int32_t>(unit.size()), 0};
        SvacDecOutput out{};
        SvacDecExtInfo ext{};
        const int32_t r = VQ_SVAC_Dec_Decode(dec, &in, &out, &ext);
        if (out.got_picture) md5s.push_back(svactool::picture_md5_hex(out));
        pos = svactool::advance_after_call(c, r);
    }
    VQ_SVAC_Dec_Close(dec);
    return md5s;
}

TEST(Threads, InstancesOnSeveralThreadsDecodeAsAlone) {
    VQ_SVAC_Dec_Init(VQ_SVAC_Dec_GetCPUCaps());
    constexpr int kFormats[4][2] = {{1, 8}, {2, 10}, {0, 8}, {1, 10}};  // chroma format, depth
    std::vector<uint8_t> streams[4];
    std::vector<std::string> alone[4], threaded[4];
    for (int i = 0; i < 4; i++) {
        svacenc::EncoderOptions opt;
        opt.seed = 100 + i;
        opt.width = 64;
        opt.height = 48;
        opt.chroma_format_idc = kFormats[i][0];
        opt.bit_depth = kFormats[i][1];
        opt.gop = "IPP";
        svacenc::Encoder enc;
        svacenc::encoder_init(enc, opt);
        std::vector<svacenc::Frame> recon;
        for (int p = 0; p < 4; p++) svacenc::encode_picture(enc, nullptr, streams[i], recon);
        alone[i] = decode_md5s(streams[i]);
        ASSERT_EQ(alone[i].size(), 4u);
    }
    testing::internal::CaptureStdout();  // damaged side units may print
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; i++)
        threads.emplace_back([&, i] {
            for (int k = 0; k < 3; k++) threaded[i] = decode_md5s(streams[i]);
        });
    for (std::thread &t : threads) t.join();
    testing::internal::GetCapturedStdout();
    for (int i = 0; i < 4; i++) EXPECT_EQ(threaded[i], alone[i]) << i;
}

}  // namespace
