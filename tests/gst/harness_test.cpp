// svacparse ! svacdec driven through GstHarness on streams gst_tests.sh made
// with svacenc: every picture equals svacenc's MD5 list (digests by GLib, the
// samples read back from the negotiated format), whatever the input pieces;
// program stream time stamps come through; a damaged pack and a missing key
// give warnings, not a stopped pipeline.
#include <gst/check/gstharness.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string data_dir() {
    const char *d = std::getenv("SVAC_GST_DATA");
    return d ? d : ".";
}

std::vector<uint8_t> slurp(const std::string &name) {
    std::ifstream f(data_dir() + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::vector<std::string> md5_list(const std::string &name) {
    std::ifstream f(data_dir() + "/" + name);
    std::vector<std::string> v;
    for (std::string line; std::getline(f, line);) v.push_back(line.substr(0, 32));
    return v;
}

struct Output {
    std::vector<std::string> md5;
    std::vector<GstClockTime> pts;
    std::string format;
    int warnings = 0;
};

// The picture's samples row by row (10-bit as 16-bit little-endian words,
// GRAY10_LE32 unpacked), as the MD5 lists take them.
std::string picture_md5(GstBuffer *buf, const GstVideoInfo &info) {
    GstVideoFrame vf;
    if (!gst_video_frame_map(&vf, &info, buf, GST_MAP_READ)) return "unmappable";
    GChecksum *sum = g_checksum_new(G_CHECKSUM_MD5);
    const bool packed = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_GRAY10_LE32;
    for (guint i = 0; i < GST_VIDEO_FRAME_N_PLANES(&vf); i++) {
        const int w = GST_VIDEO_FRAME_COMP_WIDTH(&vf, i), h = GST_VIDEO_FRAME_COMP_HEIGHT(&vf, i);
        const int bytes = packed ? 2 : GST_VIDEO_FRAME_COMP_PSTRIDE(&vf, i);
        for (int y = 0; y < h; y++) {
            const uint8_t *row = static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&vf, i)) +
                                 y * GST_VIDEO_FRAME_PLANE_STRIDE(&vf, i);
            std::vector<uint8_t> r(row, row + w * bytes);
            for (int x = 0; packed && x < w; x++) {
                const uint32_t word = row[x / 3 * 4] | row[x / 3 * 4 + 1] << 8 | row[x / 3 * 4 + 2] << 16 |
                                      uint32_t(row[x / 3 * 4 + 3]) << 24;
                const uint32_t s = word >> (10 * (x % 3)) & 0x3FF;
                r[2 * x] = uint8_t(s);
                r[2 * x + 1] = uint8_t(s >> 8);
            }
            g_checksum_update(sum, r.data(), r.size());
        }
    }
    gst_video_frame_unmap(&vf);
    std::string hex = g_checksum_get_string(sum);
    g_checksum_free(sum);
    return hex;
}

Output run(const std::string &pipeline, const std::vector<uint8_t> &input, size_t piece) {
    GstHarness *h = gst_harness_new_parse(pipeline.c_str());
    GstBus *bus = gst_bus_new();
    gst_element_set_bus(h->element, bus);
    gst_harness_set_src_caps_str(h, "application/octet-stream");
    for (size_t pos = 0; pos < input.size(); pos += piece) {
        const size_t n = std::min(piece, input.size() - pos);
        EXPECT_EQ(gst_harness_push(h, gst_buffer_new_memdup(input.data() + pos, n)), GST_FLOW_OK);
    }
    EXPECT_TRUE(gst_harness_push_event(h, gst_event_new_eos()));
    Output out;
    GstCaps *caps = gst_pad_get_current_caps(h->sinkpad);
    GstVideoInfo info;
    if (caps && gst_video_info_from_caps(&info, caps)) {
        out.format = gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info));
        while (GstBuffer *buf = gst_harness_try_pull(h)) {
            out.md5.push_back(picture_md5(buf, info));
            out.pts.push_back(GST_BUFFER_PTS(buf));
            gst_buffer_unref(buf);
        }
    }
    if (caps) gst_caps_unref(caps);
    while (GstMessage *m = gst_bus_pop_filtered(bus, GST_MESSAGE_WARNING)) {
        out.warnings++;
        gst_message_unref(m);
    }
    gst_element_set_bus(h->element, nullptr);
    gst_object_unref(bus);
    gst_harness_teardown(h);
    return out;
}

TEST(GstSvac, EveryFormatInAnyPiecesMatchesTheEncoder) {
    const char *formats[][2] = {{"420_8", "I420"},       {"420_10", "I420_10LE"}, {"422_8", "Y42B"},
                                {"422_10", "I422_10LE"}, {"400_8", "GRAY8"},      {"400_10", "GRAY10_LE32"}};
    for (auto [name, format] : formats) {
        const std::vector<uint8_t> stream = slurp(std::string("f") + name + ".svac");
        const std::vector<std::string> want = md5_list(std::string("f") + name + ".md5");
        ASSERT_EQ(want.size(), 3u) << name;
        for (size_t piece : {size_t(1) << 20, size_t(333)}) {
            const Output out = run("svacparse ! svacdec", stream, piece);
            EXPECT_EQ(out.format, format);
            EXPECT_EQ(out.md5, want) << name << " in pieces of " << piece;
            EXPECT_EQ(out.warnings, 0);
        }
    }
}

TEST(GstSvac, ProgramStreamTimeStampsAndADamagedPack) {
    std::vector<uint8_t> ps = slurp("intra.ps");
    const std::vector<std::string> want = md5_list("intra.md5");
    ASSERT_EQ(want.size(), 6u);
    Output out = run("svacparse ! svacdec", ps, 1000);
    EXPECT_EQ(out.md5, want);
    for (size_t k = 0; k < out.pts.size(); k++) EXPECT_EQ(out.pts[k], (k + 1) * GST_SECOND / 25);
    // Break the clock of the fourth pack (picture 3): that picture is lost
    // with a warning, the others come through with their own time stamps.
    size_t pack = 0;
    for (int seen = 0; pack + 4 < ps.size(); pack++)
        if (ps[pack] == 0 && ps[pack + 1] == 0 && ps[pack + 2] == 1 && ps[pack + 3] == 0xBA && ++seen == 4)
            break;
    ps[pack + 6] &= ~4;
    out = run("svacparse ! svacdec", ps, 1000);
    EXPECT_EQ(out.md5, (std::vector<std::string>{want[0], want[1], want[2], want[4], want[5]}));
    EXPECT_EQ(out.pts, (std::vector<GstClockTime>{GST_SECOND / 25, 2 * GST_SECOND / 25, 3 * GST_SECOND / 25,
                                                  5 * GST_SECOND / 25, 6 * GST_SECOND / 25}));
    EXPECT_GE(out.warnings, 1);
}

TEST(GstSvac, ProtectedStreamWithAndWithoutTheKey) {
    const std::vector<uint8_t> stream = slurp("aes.svac");
    const Output with = run("svacparse ! svacdec key=00112233445566778899aabbccddeeff", stream, 4096);
    EXPECT_EQ(with.md5.size(), 3u);
    EXPECT_EQ(with.md5, md5_list("aes.md5"));
    const Output without = run("svacparse ! svacdec", stream, 4096);
    EXPECT_TRUE(without.md5.empty());
    EXPECT_GE(without.warnings, 1);
}

}  // namespace

int main(int argc, char **argv) {
    gst_init(&argc, &argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
