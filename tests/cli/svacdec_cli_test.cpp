// svacdec as a user runs it: options, messages, exit status, and the outputs
// of a small stream of flat intra pictures whose samples follow from the
// syntax alone (every sample 128).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "demo_stream.h"
#include "security/crypto.h"
#include "svacdec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Result {
    int status;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs from other build trees share the directory: each tree has its names.
std::string tmp(const std::string &name) {
    return testing::TempDir() + "svacdec_cli_" +
           std::to_string(std::hash<std::string>{}(SVACDEC_BIN) % 100000) + "_" + name;
}

void spit(const std::string &path, const Bytes &b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

void spit(const std::string &path, const std::string &s) { spit(path, Bytes(s.begin(), s.end())); }

Result run(const std::string &args, const std::string &stdin_path = "/dev/null") {
    const std::string out = tmp("stdout"), err = tmp("stderr");
    const std::string cmd =
        std::string(SVACDEC_BIN) + " " + args + " <" + stdin_path + " >" + out + " 2>" + err;
    const int st = std::system(cmd.c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, slurp(out), slurp(err)};
}

// 16x16 4:2:0 at 128: the canonical bytes of one such picture and its MD5.
const std::string kFlat = svactest::flat_picture_bytes();

std::string md5_hex(const std::string &bytes) {
    SvacHashCtx *h = VQ_SVACDEC_hash_open(0);
    if (!h) return "";
    uint8_t d[16];
    VQ_SVACDEC_hash_init(h, nullptr);
    VQ_SVACDEC_hash_update(h, reinterpret_cast<const uint8_t *>(bytes.data()),
                           static_cast<int32_t>(bytes.size()));
    VQ_SVACDEC_hash_final(h, d);
    VQ_SVACDEC_hash_close(h);
    char hex[33];
    for (int i = 0; i < 16; i++) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    return hex;
}

TEST(SvacdecCli, HelpAndVersion) {
    Result r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: svacdec [options] INPUT", 0), 0u) << r.out;
    r = run("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("svacdec 0.1.33860M (", 0), 0u) << r.out;
}

TEST(SvacdecCli, BadArgumentsExitWithTwo) {
    const std::string in = tmp("demo.svac");
    spit(in, svactest::time_stamp_stream());
    const struct {
        std::string args, msg;
    } cases[] = {
        {"", "svacdec: no input (see --help)\n"},
        {"--frobnicate " + in, "svacdec: unknown option --frobnicate (see --help)\n"},
        {in + " " + in, "svacdec: more than one input: " + in + " and " + in + "\n"},
        {in + " -o", "svacdec: option -o needs a value\n"},
        {in + " --layer-mask 4", "svacdec: --layer-mask takes 0 to 3, not 4\n"},
        {in + " --key abc", "svacdec: --key takes an even number of hex digits, not abc\n"},
        {in + " --key zz", "svacdec: --key takes an even number of hex digits, not zz\n"},
        {in + " --cpu-flags -1", "svacdec: --cpu-flags takes a 32-bit number, not -1\n"},
        {in + " --cpu-flags 0x100000000", "svacdec: --cpu-flags takes a 32-bit number, not 0x100000000\n"},
        {in + " --limit ten", "svacdec: --limit takes a count, not ten\n"},
        {in + " --muxer avi -o x.yuv", "svacdec: unknown muxer avi (null, yuv, y4m, md5)\n"},
        {in + " -o -", "svacdec: -o - needs --muxer NAME\n"},
        {in + " -o out.txt",
         "svacdec: cannot tell the output format of out.txt (use .yuv, .y4m, .md5, /dev/null or --muxer "
         "NAME)\n"},
    };
    for (const auto &c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err, c.msg) << c.args;
    }
}

TEST(SvacdecCli, StreamWithoutPicturesShowsItsTimeStamps) {
    const std::string in = tmp("demo.svac");
    spit(in, svactest::time_stamp_stream());
    for (const std::string &args : {in, std::string("-")}) {
        const Result r = run(args + " --cpu-flags 0", in);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("svacdec: 0 pictures (layer 0: 0, layer 1: 0), 0 decoding errors, "),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("svacdec: 3 time stamps, first 2024-05-17 08:30:15 fraction 0 extra 0, last "),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(run(in + " --quiet").err, "");
}

TEST(SvacdecCli, DecodingErrorsAreCountedNotFatal) {
    Bytes s;
    svactest::SpsSyntax bad;
    bad.sps_id = 32;
    svactest::add_nal(s, svacenc::NAL_SPS, svactest::write_sps(bad));
    const Bytes good = svactest::time_stamp_stream();
    s.insert(s.end(), good.begin(), good.end());
    const std::string in = tmp("bad.svac");
    spit(in, s);
    Result r = run(in);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "svac decoder error: sps, sps_id(32)\n");  // the library's own message
    EXPECT_NE(r.err.find("1 decoding errors (1 x -5)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3 time stamps"), std::string::npos) << r.err;  // the rest was decoded
    // With pictures on standard output the library's messages go to stderr.
    r = run(in + " -o - --muxer md5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("svac decoder error: sps, sps_id(32)\n"), std::string::npos) << r.err;
}

class Pictures : public testing::Test {
  protected:
    void SetUp() override {
        VQ_SVAC_Dec_Init(0);
        flat_md5_ = md5_hex(kFlat);
        if (flat_md5_.empty()) GTEST_SKIP() << "the library's MD5 is not available";
        in_ = tmp("flat.svac");
        spit(in_, svactest::demo_stream());
    }
    std::string in_, flat_md5_;
};

TEST_F(Pictures, Md5Y4mAndYuvOutputs) {
    Result r = run(in_ + " -o " + tmp("o.md5"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(tmp("o.md5")), flat_md5_ + "\n" + flat_md5_ + "\n" + flat_md5_ + "\n");
    EXPECT_NE(r.err.find("svacdec: 3 pictures (layer 0: 3, layer 1: 0), 0 decoding errors"),
              std::string::npos)
        << r.err;

    r = run(in_ + " -o " + tmp("o.y4m"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(tmp("o.y4m")), "YUV4MPEG2 W16 H16 F25:1 Ip A1:1 C420jpeg\n" + ("FRAME\n" + kFlat) +
                                       ("FRAME\n" + kFlat) + ("FRAME\n" + kFlat));

    r = run(in_ + " -o " + tmp("o.yuv") + " --limit 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(tmp("o.yuv")), kFlat + kFlat);

    r = run("- -o - --muxer yuv --quiet", in_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kFlat + kFlat + kFlat);
    EXPECT_EQ(r.err, "");

    r = run(in_ + " -o /dev/null");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Pictures, Verify) {
    spit(tmp("good.md5"), flat_md5_ + "\n" + flat_md5_ + "\n" + flat_md5_ + "\n");
    Result r = run(in_ + " --verify " + tmp("good.md5"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("svacdec: verify: all 3 pictures match"), std::string::npos) << r.err;

    const std::string wrong = "0123456789abcdef0123456789abcdef";
    spit(tmp("bad.md5"), flat_md5_ + "\n" + wrong + "\n" + flat_md5_ + "\n");
    r = run(in_ + " --verify " + tmp("bad.md5"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("svacdec: verify: picture 1 (layer 0) has MD5 " + flat_md5_ + ", expected " + wrong +
                         "\n"),
              std::string::npos)
        << r.err;

    spit(tmp("short.md5"), flat_md5_ + "\n");
    r = run(in_ + " --verify " + tmp("short.md5"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("picture 1 (layer 0) is beyond the 1 pictures of"), std::string::npos) << r.err;
    r = run(in_ + " --limit 1 --verify " + tmp("short.md5"));  // only the first is compared
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Pictures, PngOfTheFirstPicture) {
    const std::string dir = tmp("png");
    const Result r = run(in_ + " --png " + dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string png = slurp(dir + "/layer0.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(slurp(dir + "/layer1.png"), "");  // no enhancement layer
}

}  // namespace
