// svacdec: decodes an SVAC elementary stream, or the SVAC video of an MPEG
// program stream, to raw YUV, Y4M, a per-picture MD5 list, PNG snapshots or
// nothing, optionally verifying every picture against an MD5 list.
//
// Exit status: 0 decoded (decoding errors in the stream are counted and
// reported, not fatal); 1 --verify found a mismatch or a count difference;
// 2 bad arguments; 3 unreadable input or unwritable output; 4 the decoder
// could not be opened.
#include "svacdec.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "file_io.h"
#include "hex.h"
#include "layer_outputs.h"
#include "nal_split.h"
#include "picture_md5.h"
#include "png_writer.h"
#include "ps_demux.h"

namespace {

enum ExitCode { EXIT_OK = 0, EXIT_VERIFY = 1, EXIT_USAGE = 2, EXIT_IO = 3, EXIT_DECODER = 4 };

constexpr const char *kUsage =
    "usage: svacdec [options] INPUT        (INPUT - reads standard input)\n"
    "INPUT is an SVAC stream or an MPEG program stream (told by its pack header).\n"
    "  -o FILE            write the pictures: .yuv raw planes, .y4m, .md5 one MD5 per\n"
    "                     picture, /dev/null nothing; - standard output (needs --muxer);\n"
    "                     %d in FILE writes each layer to its own file (out%d.y4m)\n"
    "  --muxer NAME       null, yuv, y4m or md5, whatever the file name says\n"
    "  --png DIR          write the first picture of each layer as DIR/layerN.png\n"
    "  --verify MD5FILE   compare every picture with an MD5 list; exit status 1 on\n"
    "                     the first mismatch or when the counts differ\n"
    "  --layer-mask N     layers to decode: 1 base, 2 enhancement, 0 or 3 both\n"
    "  --key HEX          cipher key for protected streams (up to 64 bytes)\n"
    "  --cpu-flags N      CPU feature word for the kernels; 0 forces portable code\n"
    "  --limit N          stop after N pictures\n"
    "  --demux FILE       write the video stream of a program stream to FILE, no decoding\n"
    "  --quiet            no progress line and no summary\n"
    "  --help, --version\n"
    "Without %d, a yuv or y4m file holds one layer, the enhancement layer when it is\n"
    "decoded (--layer-mask 1 writes the base layer); MD5 lists hold every picture.\n"
    "Exit status: 0 decoded (stream errors are counted, not fatal), 1 verification\n"
    "failed, 2 bad arguments, 3 unreadable input or unwritable output, 4 no decoder.\n";

struct Options {
    std::string input;
    std::string output;
    std::string muxer;
    std::string png_dir;
    std::string verify;
    std::string demux;
    uint32_t layer_mask = 0;
    std::vector<uint8_t> key;
    bool has_key = false;
    uint32_t cpu_flags = 0;
    bool has_cpu_flags = false;
    long long limit = -1;
    bool quiet = false;
};

void error(const std::string &msg) { std::fprintf(stderr, "svacdec: %s\n", msg.c_str()); }

bool parse_uint(const std::string &s, unsigned long long max, unsigned long long *v) {
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
    char *end;
    errno = 0;
    *v = std::strtoull(s.c_str(), &end, 0);
    return !*end && errno == 0 && *v <= max;
}

// 0: go on; 1: done (help or version printed); -1: bad arguments (reported).
int parse_args(int argc, char **argv, Options *o) {
    bool have_input = false;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 1;
        }
        if (a == "--version") {
            std::printf("svacdec %s\n", VQ_SVAC_Dec_GetVersion());
            return 1;
        }
        if (a == "--quiet" || a == "-q") {
            o->quiet = true;
            continue;
        }
        if (a == "-" || a[0] != '-') {
            if (have_input) {
                error("more than one input: " + o->input + " and " + a);
                return -1;
            }
            o->input = a;
            have_input = true;
            continue;
        }
        std::string value;
        const size_t eq = a.find('=');
        if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        } else if (a == "-o" || a == "--muxer" || a == "--png" || a == "--verify" || a == "--demux" ||
                   a == "--layer-mask" || a == "--key" || a == "--cpu-flags" || a == "--limit") {
            if (i + 1 >= argc) {
                error("option " + a + " needs a value");
                return -1;
            }
            value = argv[++i];
        } else {
            error("unknown option " + a + " (see --help)");
            return -1;
        }
        unsigned long long v;
        if (a == "-o" || a == "--output") {
            o->output = value;
        } else if (a == "--muxer") {
            if (!svactool::known_muxer(value)) {
                error("unknown muxer " + value + " (null, yuv, y4m, md5)");
                return -1;
            }
            o->muxer = value;
        } else if (a == "--png") {
            o->png_dir = value;
        } else if (a == "--verify") {
            o->verify = value;
        } else if (a == "--demux") {
            o->demux = value;
        } else if (a == "--layer-mask") {
            if (!parse_uint(value, 3, &v)) {
                error("--layer-mask takes 0 to 3, not " + value);
                return -1;
            }
            o->layer_mask = static_cast<uint32_t>(v);
        } else if (a == "--key") {
            if (!svactool::parse_hex(value, &o->key)) {
                error("--key takes an even number of hex digits, not " + value);
                return -1;
            }
            o->has_key = true;
        } else if (a == "--cpu-flags") {
            if (!parse_uint(value, 0xFFFFFFFFull, &v)) {
                error("--cpu-flags takes a 32-bit number, not " + value);
                return -1;
            }
            o->cpu_flags = static_cast<uint32_t>(v);
            o->has_cpu_flags = true;
        } else if (a == "--limit") {
            if (!parse_uint(value, 1ull << 40, &v)) {
                error("--limit takes a count, not " + value);
                return -1;
            }
            o->limit = static_cast<long long>(v);
        } else {
            error("unknown option " + a + " (see --help)");
            return -1;
        }
    }
    if (!have_input) {
        error("no input (see --help)");
        return -1;
    }
    if (o->output == "-" && o->muxer.empty()) {
        error("-o - needs --muxer NAME");
        return -1;
    }
    return 0;
}

std::string format_time(const SvacDecExtInfo &t) {
    char b[96];
    if (t.year)
        std::snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u:%02u fraction %u extra %u", t.year, t.month,
                      t.day, t.hour, t.minute, t.second, t.time_fraction, t.time_extra);
    else
        std::snprintf(b, sizeof b, "%02u:%02u:%02u fraction %u extra %u", t.hour, t.minute, t.second,
                      t.time_fraction, t.time_extra);
    return b;
}

// Everything that happens to a picture once the decoder hands it out.
class Session {
  public:
    Session(const Options &o) : opt_(o), start_(std::chrono::steady_clock::now()) {
        progress_ = !o.quiet && isatty(STDERR_FILENO);
    }

    svactool::LayerOutputs outputs;
    std::vector<std::string> expected;
    bool verifying = false;
    int exit_code = EXIT_OK;

    bool done() const { return opt_.limit >= 0 && total_ >= opt_.limit; }

    // False on an output error (reported).
    bool picture(const SvacDecOutput &out) {
        const svactool::PictureView pic = svactool::picture_view(out);
        const int layer = out.layer == 1 ? 1 : 0;
        last_plane_[layer] = out.plane[0];
        count_[layer]++;
        if (verifying) check(pic);
        if (outputs.active() && !outputs.write(pic)) {
            error("cannot write " + opt_.output + ": " + outputs.error());
            exit_code = EXIT_IO;
            return false;
        }
        if (!opt_.png_dir.empty() && !png_done_[layer]) {
            png_done_[layer] = true;
            std::string err;
            const std::string path = opt_.png_dir + "/layer" + std::to_string(layer) + ".png";
            if (!svactool::write_png(path, pic, &err)) {
                error(err);
                exit_code = EXIT_IO;
                return false;
            }
        }
        total_++;
        show_progress(false);
        return true;
    }

    void decode_error(int32_t code) { errors_[code]++; }

    void time_stamp(const SvacDecExtInfo &ext) {
        if (!times_seen_++) first_time_ = ext;
        last_time_ = ext;
    }

    const uint8_t *last_plane(int layer) const { return last_plane_[layer]; }

    // Checks the counts once decoding is over; prints the summary.
    void finish(size_t bytes) {
        show_progress(true);
        if (verifying) {
            const long long want = opt_.limit >= 0 && opt_.limit < static_cast<long long>(expected.size())
                                       ? opt_.limit
                                       : static_cast<long long>(expected.size());
            if (!mismatch_ && total_ != want) {
                error("verify: " + std::to_string(total_) + " pictures decoded, " + opt_.verify + " lists " +
                      std::to_string(want));
                mismatch_ = true;
            }
            if (mismatch_) exit_code = exit_code ? exit_code : EXIT_VERIFY;
        }
        if (opt_.quiet) return;
        const double secs = seconds();
        int errors = 0;
        std::string detail;
        for (const auto &[code, n] : errors_) {
            errors += n;
            detail += (detail.empty() ? " (" : ", ") + std::to_string(n) + " x " + std::to_string(code);
        }
        if (!detail.empty()) detail += ")";
        std::fprintf(stderr,
                     "svacdec: %lld pictures (layer 0: %lld, layer 1: %lld), %d decoding errors%s, "
                     "%zu bytes in %.3f s (%.1f fps)\n",
                     total_, count_[0], count_[1], errors, detail.c_str(), bytes, secs,
                     secs > 0 ? static_cast<double>(total_) / secs : 0.0);
        if (times_seen_)
            std::fprintf(stderr, "svacdec: %d time stamps, first %s, last %s\n", times_seen_,
                         format_time(first_time_).c_str(), format_time(last_time_).c_str());
        if (outputs.skipped())
            std::fprintf(stderr, "svacdec: %d pictures of another layer or size left out of %s\n",
                         outputs.skipped(), opt_.output.c_str());
        if (verifying && !mismatch_)
            std::fprintf(stderr, "svacdec: verify: all %lld pictures match %s\n", total_,
                         opt_.verify.c_str());
    }

  private:
    void check(const svactool::PictureView &pic) {
        if (mismatch_) return;
        const std::string got = svactool::picture_md5_hex(pic);
        const size_t i = static_cast<size_t>(total_);
        if (i >= expected.size()) {
            error("verify: picture " + std::to_string(i) + " (layer " + std::to_string(pic.layer) +
                  ") is beyond the " + std::to_string(expected.size()) + " pictures of " + opt_.verify);
            mismatch_ = true;
        } else if (got != expected[i]) {
            error("verify: picture " + std::to_string(i) + " (layer " + std::to_string(pic.layer) +
                  ") has MD5 " + (got.empty() ? "(unavailable)" : got) + ", expected " + expected[i]);
            mismatch_ = true;
        }
    }

    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

    void show_progress(bool last) {
        if (!progress_) return;
        const double t = seconds();
        if (!last && t - shown_at_ < 0.25) return;
        shown_at_ = t;
        std::fprintf(stderr, "\rDecoded %lld pictures - %.1f fps%s", total_,
                     t > 0 ? static_cast<double>(total_) / t : 0.0, last ? "\n" : "");
        std::fflush(stderr);
    }

    const Options &opt_;
    std::chrono::steady_clock::time_point start_;
    bool progress_;
    double shown_at_ = 0;
    long long total_ = 0;
    long long count_[2] = {0, 0};
    const uint8_t *last_plane_[2] = {nullptr, nullptr};
    bool png_done_[2] = {false, false};
    bool mismatch_ = false;
    std::map<int32_t, int> errors_;
    int times_seen_ = 0;
    SvacDecExtInfo first_time_{}, last_time_{};
};

// Feeds the stream one NAL unit per call, then drains both layers.
bool decode_stream(void *dec, std::vector<uint8_t> &data, uint32_t layer_mask, Session &s) {
    SvacDecExtInfo ext{};
    size_t pos = 0;
    while (pos < data.size() && !s.done()) {
        const svactool::NalChunk c = svactool::next_nal_chunk(data.data(), data.size(), pos);
        if (!c.found) break;
        SvacDecInput in{data.data() + c.begin, static_cast<int32_t>(c.end - c.begin), layer_mask};
        SvacDecOutput out{};
        const int32_t r = VQ_SVAC_Dec_Decode(dec, &in, &out, &ext);
        if (r < 0) s.decode_error(r);
        if (ext.flags & 2) s.time_stamp(ext);
        if (out.got_picture && !s.picture(out)) return false;
        pos = svactool::advance_after_call(c, r);
    }
    // A layer holds at most two references; a picture already handed out
    // (by Decode or by an earlier drain call) ends the layer.
    for (int layer = 0; layer < 2; layer++) {
        const uint8_t *seen[3] = {s.last_plane(layer), nullptr, nullptr};
        for (int k = 1; k < 3 && !s.done(); k++) {
            SvacDecOutput out{};
            if (VQ_SVAC_Get_LastFrame(dec, layer, &out) != 0 || !out.got_picture) break;
            if (out.plane[0] == seen[0] || out.plane[0] == seen[1]) break;
            seen[k] = out.plane[0];
            if (!s.picture(out)) return false;
        }
    }
    return true;
}

// Replaces a program stream by its video elementary stream and reports what
// the demuxer met.
void demux_program_stream(std::vector<uint8_t> &data, bool quiet) {
    svactool::PsDemuxer ps;
    std::vector<uint8_t> es;
    std::vector<svactool::PesTimeStamp> times;
    ps.feed(data.data(), data.size(), &es, &times);
    ps.finish(&es, &times);
    data.swap(es);
    if (quiet) return;
    const svactool::PsCounts &c = ps.counts();
    char type[32] = "no stream map";
    if (ps.stream_type() >= 0) std::snprintf(type, sizeof type, "stream_type 0x%02X", ps.stream_type());
    std::fprintf(stderr,
                 "svacdec: program stream: %llu packs, %llu PES packets of stream 0x%02X (%s), "
                 "%llu damaged and %llu truncated packs skipped\n",
                 (unsigned long long)c.packs, (unsigned long long)c.video_packets,
                 ps.stream_id() < 0 ? 0 : ps.stream_id(), type, (unsigned long long)c.damaged,
                 (unsigned long long)c.truncated);
    if (!times.empty())
        std::fprintf(stderr, "svacdec: %zu PES time stamps, first PTS %.3f s, last %.3f s\n", times.size(),
                     static_cast<double>(times.front().pts) / 90000,
                     static_cast<double>(times.back().pts) / 90000);
}

// Writing pictures to standard output: the library prints its diagnostics on
// standard output, so they are sent to standard error and the pictures go to
// a duplicate of the original descriptor.
std::FILE *take_stdout() {
    std::fflush(stdout);
    const int fd = dup(STDOUT_FILENO);
    if (fd < 0) return nullptr;
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        close(fd);
        return nullptr;
    }
    return fdopen(fd, "wb");
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    const int parsed = parse_args(argc, argv, &opt);
    if (parsed) return parsed > 0 ? EXIT_OK : EXIT_USAGE;

    std::vector<uint8_t> data;
    std::string err;
    if (!svactool::read_all(opt.input, &data, &err)) {
        error(err);
        return EXIT_IO;
    }
    if (data.size() > 0x7FFFFFFFu) {
        error(opt.input + " is larger than 2 GiB");
        return EXIT_IO;
    }

    if (svactool::is_program_stream(data.data(), data.size())) demux_program_stream(data, opt.quiet);
    if (!opt.demux.empty()) {
        if (!svactool::write_all(opt.demux, data, &err)) {
            error(err);
            return EXIT_IO;
        }
        return EXIT_OK;
    }

    Session session(opt);
    if (!opt.verify.empty()) {
        if (!svactool::read_md5_list(opt.verify, &session.expected, &err)) {
            error(err);
            return EXIT_IO;
        }
        session.verifying = true;
    }
    std::FILE *pictures_out = nullptr;
    if (!opt.output.empty()) {
        if (opt.output == "-") {
            pictures_out = take_stdout();
            if (!pictures_out) {
                error("cannot write to standard output");
                return EXIT_IO;
            }
        }
        // One raw file holds the enhancement layer when it is decoded: the
        // full-size pictures.
        const bool enhancement =
            opt.layer_mask == 2 ||
            (opt.layer_mask != 1 && svactool::has_enhancement_slices(data.data(), data.size()));
        if (!session.outputs.open(opt.output, opt.muxer, pictures_out, enhancement ? 1 : 0, &err)) {
            error(err);
            return err.rfind("cannot create", 0) == 0 ? EXIT_IO : EXIT_USAGE;
        }
    }
    if (!opt.png_dir.empty()) {
        struct stat st;
        if (stat(opt.png_dir.c_str(), &st) != 0 && mkdir(opt.png_dir.c_str(), 0777) != 0) {
            error("cannot create " + opt.png_dir + ": " + std::strerror(errno));
            return EXIT_IO;
        }
    }

    VQ_SVAC_Dec_Init(opt.has_cpu_flags ? opt.cpu_flags : VQ_SVAC_Dec_GetCPUCaps());
    void *dec = VQ_SVAC_Dec_Open();
    if (!dec) {
        error("cannot open a decoder");
        return EXIT_DECODER;
    }
    if (opt.has_key) VQ_SVAC_Set_Key(dec, opt.key.data(), static_cast<uint32_t>(opt.key.size()));

    const bool ok = decode_stream(dec, data, opt.layer_mask, session);
    VQ_SVAC_Dec_Close(dec);
    if (session.outputs.active() && !session.outputs.finish() && ok) {
        error("cannot write " + opt.output + ": " + session.outputs.error());
        session.exit_code = EXIT_IO;
    }
    if (pictures_out) std::fclose(pictures_out);
    session.finish(data.size());
    return session.exit_code;
}
