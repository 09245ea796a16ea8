// Muxers: choice by file name, the exact bytes of yuv and y4m files, one
// geometry per raw file; the NAL splitter that feeds the decoder.
#include "muxer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "file_io.h"
#include "nal_split.h"

namespace {

using svactool::PictureView;

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A picture whose sample at (x, y) of plane i is base + 16 * i + x + 8 * y,
// with 0xEE in the padding of every row.
struct TestPicture {
    std::vector<uint8_t> mem[3];
    PictureView view;
    std::string canonical;  // the bytes a raw file must hold

    TestPicture(int w, int h, int chroma, int depth, int base = 0) {
        view.width = w;
        view.height = h;
        view.chroma_format_idc = chroma;
        view.bit_depth = depth;
        const int bps = depth > 8 ? 2 : 1;
        for (int i = 0; i < (chroma ? 3 : 1); i++) {
            const int pw = i ? w / 2 : w, ph = (i && chroma == 1) ? h / 2 : h;
            const int stride = pw * bps + 24;
            mem[i].assign(stride * ph, 0xEE);
            for (int y = 0; y < ph; y++)
                for (int x = 0; x < pw; x++) {
                    const int v = (base + 16 * i + x + 8 * y) & (depth > 8 ? 1023 : 255);
                    uint8_t *p = &mem[i][y * stride + x * bps];
                    p[0] = static_cast<uint8_t>(v);
                    canonical.push_back(static_cast<char>(v & 255));
                    if (bps == 2) {
                        p[1] = static_cast<uint8_t>(v >> 8);  // little-endian host
                        canonical.push_back(static_cast<char>(v >> 8));
                    }
                }
            view.plane[i] = mem[i].data();
            view.stride[i] = stride;
        }
    }
};

TEST(Muxer, ChosenByFileName) {
    EXPECT_EQ(svactool::muxer_for_path("a/b.yuv"), "yuv");
    EXPECT_EQ(svactool::muxer_for_path("x.y4m"), "y4m");
    EXPECT_EQ(svactool::muxer_for_path("x.md5"), "md5");
    EXPECT_EQ(svactool::muxer_for_path("/dev/null"), "null");
    EXPECT_EQ(svactool::muxer_for_path("x.yuv.txt"), "");
    EXPECT_EQ(svactool::muxer_for_path("-"), "");
    // The messages for the other choices are checked through svacdec.
    std::string err;
    svactool::MuxerOptions o;
    EXPECT_EQ(svactool::open_muxer("/nonexistent/dir/o.yuv", "", o, &err), nullptr);
    EXPECT_EQ(err, "cannot create /nonexistent/dir/o.yuv: No such file or directory");
}

// Raw files hold the canonical bytes; y4m adds its header and frame lines.
TEST(Muxer, RawAndY4mFilesOfEveryFormat) {
    struct {
        int chroma, depth;
        const char *tag;
    } cases[] = {{1, 8, "420jpeg"},
                 {2, 8, "422"},
                 {0, 8, "mono"},
                 {1, 10, "420p10 XYSCSS=420P10"},
                 {2, 10, "422p10 XYSCSS=422P10"},
                 {0, 10, "mono10"}};
    for (const auto &c : cases)
        for (bool y4m : {false, true}) {
            const std::string path = testing::TempDir() + (y4m ? "muxer_test.y4m" : "muxer_test.yuv");
            std::string err;
            svactool::MuxerOptions o;
            o.fps_num = 30000;
            o.fps_den = 1001;
            auto m = svactool::open_muxer(path, "", o, &err);
            ASSERT_NE(m, nullptr) << err;
            TestPicture a(48, 32, c.chroma, c.depth, 1), b(48, 32, c.chroma, c.depth, 200);
            ASSERT_TRUE(m->write(a.view));
            ASSERT_TRUE(m->write(b.view));
            ASSERT_TRUE(m->finish());
            const std::string header = std::string("YUV4MPEG2 W48 H32 F30000:1001 Ip A1:1 C") + c.tag + "\n";
            EXPECT_EQ(slurp(path), y4m ? header + "FRAME\n" + a.canonical + "FRAME\n" + b.canonical
                                       : a.canonical + b.canonical)
                << path << " " << c.tag;
            std::remove(path.c_str());
        }
}

TEST(NalSplit, StartCodesAndChunks) {
    const std::vector<uint8_t> s = {9, 0, 0, 1, 0x1C, 5, 0, 0, 0, 1, 0x14, 0, 0, 1};
    EXPECT_EQ(svactool::find_start_code(s.data(), s.size(), 0), 1u);
    EXPECT_EQ(svactool::find_start_code(s.data(), s.size(), 2), 7u);
    EXPECT_EQ(svactool::find_start_code(s.data(), s.size(), 8), 11u);
    EXPECT_EQ(svactool::find_start_code(s.data(), s.size(), 12), s.size());
    EXPECT_EQ(svactool::find_start_code(s.data(), 2, 0), 2u);

    svactool::NalChunk c = svactool::next_nal_chunk(s.data(), s.size(), 0);
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.begin, 0u);
    EXPECT_EQ(c.start_code, 1u);
    EXPECT_EQ(c.end, 7u);
    c = svactool::next_nal_chunk(s.data(), s.size(), 7);
    EXPECT_EQ(c.end, 11u);
    c = svactool::next_nal_chunk(s.data(), s.size(), 11);
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.end, s.size());
    c = svactool::next_nal_chunk(s.data(), s.size(), 12);
    EXPECT_FALSE(c.found);
}

TEST(NalSplit, EveryCallMovesPastItsStartCode) {
    svactool::NalChunk c{10, 12, 40, true};
    EXPECT_EQ(svactool::advance_after_call(c, -2), 40u);  // the failing unit is skipped
    EXPECT_EQ(svactool::advance_after_call(c, 0), 40u);   // nothing consumed
    EXPECT_EQ(svactool::advance_after_call(c, 2), 40u);   // not past the start code
    EXPECT_EQ(svactool::advance_after_call(c, 3), 13u);   // trailing bytes are fed again
    EXPECT_EQ(svactool::advance_after_call(c, 30), 40u);
    EXPECT_EQ(svactool::advance_after_call(c, 31), 40u);  // never beyond the chunk
    EXPECT_EQ(svactool::advance_after_call(c, 0x7FFFFFFF), 40u);
}

}  // namespace
