// svacenc: makes SVAC streams. `random` mode draws every decision from a
// seed so that the stream reaches rare syntax paths; `real` mode encodes a
// synthetic moving scene or a Y4M / raw YUV file with cost-based decisions.
// Besides the stream it writes the reconstruction every decoder must
// produce, as pictures (.y4m/.yuv) or as a per-picture MD5 list.
//
// Exit status: 0 done; 2 bad arguments; 3 unreadable input or unwritable output.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "encoder.h"
#include "hex.h"
#include "layer_outputs.h"
#include "ps_mux.h"
#include "source.h"

namespace {

enum ExitCode { EXIT_OK = 0, EXIT_USAGE = 2, EXIT_IO = 3 };

constexpr const char *kUsage =
    "usage: svacenc [options] -o OUT.svac\n"
    "  --mode random|real   seeded random decisions (default) or real encoding\n"
    "  --seed N             seed of random mode (default 1)\n"
    "  --frames N           pictures to encode (default 1; real mode with --input: all)\n"
    "  --size WxH           picture size (default 176x144; the coded size rounds up to\n"
    "                       16; with a Y4M input, the file's size)\n"
    "  --chroma 400|420|422 chroma format (default 420, or the Y4M file's)\n"
    "  --bitdepth 8|10      sample bit depth (default 8, or the Y4M file's)\n"
    "  --entropy vlc|cabac  entropy coder (default vlc)\n"
    "  --gop LETTERS        picture types in display order, repeated (I, P, B)\n"
    "  --field              code every picture as a field (top and bottom alternate)\n"
    "  --slices N           slices per picture (random mode varies it when absent)\n"
    "  --qp Q               picture quantiser 0..55 (random mode varies it when absent)\n"
    "  --fixed-qp           no quantiser changes inside pictures\n"
    "  --lf-disable         deblocking off\n"
    "  --lf-offsets A,B     deblocking alpha and beta offsets in every slice\n"
    "  --svc                two layers: the enhancement layer at --size (multiples of\n"
    "                       32), the base layer at half of it\n"
    "  --svc-no-inter-layer no enhancement macroblock predicts from the base layer, so\n"
    "                       the enhancement layer decodes alone\n"
    "  --encrypt aes|des    encipher the slices (needs --key)\n"
    "  --key HEX            cipher key: 16, 24 or 32 bytes for AES, 8 for DES\n"
    "  --roi X,Y,W,H[/...]  regions of interest, rectangles in macroblocks, each coded as\n"
    "                       passes of their own; 'random' draws new ones per picture set\n"
    "  --roi-qp Q           quantiser of slices inside regions 0..55 (random mode varies it\n"
    "                       when absent, real mode uses --qp)\n"
    "  --roi-skip           P macroblocks outside every region carry no data\n"
    "  --input FILE         real mode input: .y4m, or raw YUV in the --size/--chroma/\n"
    "                       --bitdepth format (- reads standard input)\n"
    "  -o FILE              the stream\n"
    "  --ps                 write it as an MPEG program stream (stream_type 0x80, 25 Hz)\n"
    "  --recon FILE         the reconstruction, .y4m or .yuv, in a decoder's output order\n"
    "                       (with B pictures a P picture may come twice; with --svc the\n"
    "                       enhancement layer)\n"
    "  --md5 FILE           one MD5 per output picture of the reconstruction, both layers\n"
    "                       in output order; a %d in FILE (or --recon) writes one file\n"
    "                       per layer, %d replaced by 0 (base) and 1 (enhancement)\n"
    "  --help\n";

void error(const std::string &msg) { std::fprintf(stderr, "svacenc: %s\n", msg.c_str()); }

struct Options {
    svacenc::EncoderOptions enc;
    int frames = -1;
    bool size_set = false, chroma_set = false, depth_set = false;
    std::string input, output, recon, md5;
    bool key_set = false;
    bool ps = false;
};

bool parse_int(const std::string &s, long long lo, long long hi, long long *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (*end != 0 || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Returns -1 to go on, else the exit status.
int parse_args(int argc, char **argv, Options *o) {
    auto &e = o->enc;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return EXIT_OK;
        }
        if (a == "--field" || a == "--ps" || a == "--svc" || a == "--svc-no-inter-layer") {
            (a == "--ps"      ? o->ps
             : a == "--svc"   ? e.svc
             : a == "--field" ? e.field
                              : e.svc_no_inter_layer) = true;
            continue;
        }
        if (a == "--fixed-qp" || a == "--lf-disable" || a == "--roi-skip") {
            (a == "--fixed-qp" ? e.fixed_qp : a == "--lf-disable" ? e.lf_disable : e.roi_skip) = true;
            continue;
        }
        static const char *const kValued[] = {"--mode",       "--seed",    "--frames", "--size",   "--chroma",
                                              "--bitdepth",   "--entropy", "--gop",    "--slices", "--qp",
                                              "--lf-offsets", "--input",   "-o",       "--recon",  "--md5",
                                              "--encrypt",    "--key",     "--roi",    "--roi-qp"};
        bool known = false;
        for (const char *k : kValued) known = known || a == k;
        if (!known) {
            error("unknown option " + a + " (see --help)");
            return EXIT_USAGE;
        }
        if (i + 1 >= argc) {
            error(a + " needs a value");
            return EXIT_USAGE;
        }
        const std::string v = argv[++i];
        long long n = 0;
        auto bad = [&](const std::string &why) {
            error("bad value '" + v + "' for " + a + ": " + why);
            return EXIT_USAGE;
        };
        if (a == "--mode") {
            if (v == "random")
                e.mode = svacenc::EncMode::Random;
            else if (v == "real")
                e.mode = svacenc::EncMode::Real;
            else
                return bad("random or real");
        } else if (a == "--seed") {
            if (!parse_int(v, 0, 0x7FFFFFFFFFFFFFFFll, &n)) return bad("a non-negative integer");
            e.seed = static_cast<uint64_t>(n);
        } else if (a == "--frames") {
            if (!parse_int(v, 1, 1000000, &n)) return bad("1 or more");
            o->frames = static_cast<int>(n);
        } else if (a == "--size") {
            const size_t x = v.find('x');
            long long w = 0, h = 0;
            if (x == std::string::npos || !parse_int(v.substr(0, x), 1, 8192, &w) ||
                !parse_int(v.substr(x + 1), 1, 8192, &h))
                return bad("WxH, each 1..8192");
            e.width = static_cast<int>(w);
            e.height = static_cast<int>(h);
            o->size_set = true;
        } else if (a == "--chroma") {
            if (v == "400")
                e.chroma_format_idc = 0;
            else if (v == "420")
                e.chroma_format_idc = 1;
            else if (v == "422")
                e.chroma_format_idc = 2;
            else
                return bad("400, 420 or 422");
            o->chroma_set = true;
        } else if (a == "--bitdepth") {
            if (v != "8" && v != "10") return bad("8 or 10");
            e.bit_depth = v == "8" ? 8 : 10;
            o->depth_set = true;
        } else if (a == "--entropy") {
            if (v != "vlc" && v != "cabac") return bad("vlc or cabac");
            e.cabac = v == "cabac";
        } else if (a == "--gop") {
            e.gop = v;
        } else if (a == "--slices") {
            if (!parse_int(v, 1, 1 << 20, &n)) return bad("1 or more");
            e.slices = static_cast<int>(n);
        } else if (a == "--qp") {
            if (!parse_int(v, 0, 55, &n)) return bad("0..55");
            e.qp = static_cast<int>(n);
        } else if (a == "--lf-offsets") {
            const size_t c = v.find(',');
            long long al = 0, be = 0;
            if (c == std::string::npos || !parse_int(v.substr(0, c), -64, 64, &al) ||
                !parse_int(v.substr(c + 1), -64, 64, &be))
                return bad("A,B with each -64..64");
            e.lf_offsets_set = true;
            e.lf_alpha_offset = static_cast<int>(al);
            e.lf_beta_offset = static_cast<int>(be);
        } else if (a == "--encrypt") {
            if (v == "aes")
                e.key.type = svacenc::CIPHER_AES;
            else if (v == "des")
                e.key.type = svacenc::CIPHER_DES;
            else
                return bad("aes or des");
            e.encrypt = true;
        } else if (a == "--key") {
            if (!svactool::parse_hex(v, &e.key.key)) return bad("an even number of hex digits");
            o->key_set = true;
        } else if (a == "--roi") {
            e.roi = true;
            e.roi_random = v == "random";
            if (!e.roi_random && !svacenc::parse_region_list(v, &e.roi_rects))
                return bad("random, or X,Y,W,H rectangles in macroblocks joined by /");
        } else if (a == "--roi-qp") {
            if (!parse_int(v, 0, 55, &n)) return bad("0..55");
            e.roi_qp = static_cast<int>(n);
        } else if (a == "--input") {
            o->input = v;
        } else if (a == "-o") {
            o->output = v;
        } else if (a == "--recon") {
            o->recon = v;
        } else {
            o->md5 = v;
        }
    }
    if (o->output.empty()) {
        error("no output stream given (-o FILE)");
        return EXIT_USAGE;
    }
    if (!o->input.empty() && e.mode != svacenc::EncMode::Real) {
        error("--input needs --mode real");
        return EXIT_USAGE;
    }
    if (e.encrypt != o->key_set) {
        error("--encrypt and --key go together");
        return EXIT_USAGE;
    }
    if (e.lf_disable && e.lf_offsets_set) {
        error("--lf-disable and --lf-offsets exclude each other");
        return EXIT_USAGE;
    }
    if (!o->recon.empty()) {
        const std::string m = svactool::muxer_for_path(o->recon);
        if (m != "y4m" && m != "yuv") {
            error("--recon needs a .y4m or .yuv file name");
            return EXIT_USAGE;
        }
    }
    return -1;
}

svactool::PictureView view_of(const svacenc::Frame &f, bool svc) {
    svactool::PictureView v;
    for (int p = 0; p < f.plane_count(); p++) {
        v.plane[p] = f.planes[p].data.data();
        v.stride[p] = f.planes[p].stride;
    }
    v.width = f.width;
    v.height = f.drained ? svacenc::drained_height(f.width, f.height, svc)
                         : svacenc::reported_height(f.width, f.height);
    v.chroma_format_idc = f.chroma_format_idc;
    v.bit_depth = f.bit_depth;
    v.layer = f.layer;
    return v;
}

// Luma PSNR of the reconstruction against the source, over the shown rows.
double luma_psnr(const svacenc::Frame &src, const svacenc::Frame &rec) {
    const int h = svacenc::reported_height(rec.width, rec.height);
    double sse = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < rec.width; x++) {
            const double d = src.sample(0, x, y) - rec.sample(0, x, y);
            sse += d * d;
        }
    const double peak = (1 << rec.bit_depth) - 1;
    return sse == 0 ? 99.0 : 10 * std::log10(peak * peak * rec.width * h / sse);
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    const int parsed = parse_args(argc, argv, &opt);
    if (parsed >= 0) return parsed;
    svacenc::EncoderOptions &e = opt.enc;

    svacenc::InputFile in;
    std::string err;
    if (!opt.input.empty()) {
        if (!opt.input.ends_with(".y4m") && !opt.size_set) {
            error("a raw YUV input needs --size");
            return EXIT_USAGE;
        }
        if (!svacenc::open_input(opt.input, e.width, e.height, e.chroma_format_idc, e.bit_depth, &in, &err)) {
            error(err);
            return EXIT_IO;
        }
        if (in.y4m) {
            if (!opt.size_set) {
                e.width = in.width;
                e.height = in.height;
            }
            if (!opt.chroma_set) e.chroma_format_idc = in.chroma_format_idc == 3 ? 2 : in.chroma_format_idc;
            if (!opt.depth_set) e.bit_depth = in.bit_depth;
        }
    }
    if (!svacenc::validate_options(e, &err)) {
        error(err);
        svacenc::close_input(in);
        return EXIT_USAGE;
    }
    const int frames = opt.frames > 0 ? opt.frames : (in.file ? 1 << 30 : 1);

    std::FILE *out = std::fopen(opt.output.c_str(), "wb");
    if (!out) {
        error("cannot write " + opt.output);
        svacenc::close_input(in);
        return EXIT_IO;
    }
    // A %d in a name gives each layer its own file; a single raw file holds
    // the enhancement layer, as svacdec writes it.
    svactool::LayerOutputs recon, md5;
    const int raw_layer = e.svc ? 1 : 0;
    if ((!opt.recon.empty() && !recon.open(opt.recon, "", nullptr, raw_layer, &err)) ||
        (!opt.md5.empty() && !md5.open(opt.md5, "md5", opt.md5 == "-" ? stdout : nullptr, raw_layer, &err))) {
        error(err);
        std::fclose(out);
        svacenc::close_input(in);
        return EXIT_IO;
    }

    svacenc::Encoder enc;
    svacenc::encoder_init(enc, e);
    svacenc::Frame source = enc.enh ? enc.enh->recon : enc.recon;
    int status = EXIT_OK;
    int written = 0;
    size_t bytes = 0;
    double psnr_sum = 0;
    // Sources by display index until their picture is first handed out (real mode).
    std::map<int, svacenc::Frame> sources;
    int pictures_in = 0, measured = 0;
    for (int i = 0; i <= frames && status == EXIT_OK; i++) {
        const svacenc::Frame *src = nullptr;
        bool last = i == frames;
        if (!last && e.mode == svacenc::EncMode::Real) {
            if (in.file) {
                svacenc::SourcePicture pic;
                if (svacenc::read_input(in, &pic))
                    svacenc::convert_picture(pic, source);
                else
                    last = true;
            } else {
                svacenc::synthetic_picture(i, source);
            }
            if (!last) sources[i] = source;
            src = &source;
        }
        std::vector<uint8_t> stream;
        std::vector<svacenc::Frame> ready;
        if (last) {
            svacenc::encode_finish(enc, stream, ready);
        } else {
            svacenc::encode_picture(enc, src, stream, ready);
            pictures_in++;
        }
        if (opt.ps && !stream.empty()) {
            std::vector<uint8_t> es;
            es.swap(stream);
            svactool::ps_write_picture(&stream, es.data(), es.size(), 3600 * (i + 1), i == 0);
        }
        if (!stream.empty() && std::fwrite(stream.data(), 1, stream.size(), out) != stream.size()) {
            error("cannot write " + opt.output);
            status = EXIT_IO;
        }
        bytes += stream.size();
        for (const svacenc::Frame &f : ready) {
            // PSNR of the picture at --size (the enhancement layer of scalable streams).
            const auto it = f.layer == raw_layer ? sources.find(f.display) : sources.end();
            if (it != sources.end()) {
                psnr_sum += luma_psnr(it->second, f);
                measured++;
                sources.erase(it);
            }
            const svactool::PictureView v = view_of(f, e.svc);
            for (svactool::LayerOutputs *o : {&recon, &md5})
                if (o->active() && !o->write(v)) {
                    error(o->error());
                    status = EXIT_IO;
                }
            written++;
        }
        if (last) break;
    }
    if (opt.ps && status == EXIT_OK) {
        std::vector<uint8_t> end;
        svactool::ps_write_end(&end);
        if (std::fwrite(end.data(), 1, end.size(), out) != end.size()) {
            error("cannot write " + opt.output);
            status = EXIT_IO;
        }
    }
    if (std::fclose(out) != 0 && status == EXIT_OK) {
        error("cannot write " + opt.output);
        status = EXIT_IO;
    }
    for (svactool::LayerOutputs *o : {&recon, &md5})
        if (o->active() && !o->finish() && status == EXIT_OK) {
            error(o->error());
            status = EXIT_IO;
        }
    svacenc::close_input(in);
    if (status == EXIT_OK && written == 0) {
        error("no picture encoded (empty input?)");
        status = EXIT_IO;
    }
    if (status == EXIT_OK && e.mode == svacenc::EncMode::Real)
        std::fprintf(stderr, "svacenc: %d pictures, %zu bytes, %.3f bits per pixel, luma PSNR %.2f dB\n",
                     pictures_in, bytes,
                     8.0 * static_cast<double>(bytes) / (double(pictures_in) * e.width * e.height),
                     measured ? psnr_sum / measured : 0.0);
    else if (status == EXIT_OK)
        std::fprintf(stderr, "svacenc: %d pictures, %zu bytes\n", pictures_in, bytes);
    return status;
}
