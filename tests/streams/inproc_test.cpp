// Round trips inside one program: the generator encodes, the decoder decodes
// through the host API, and every output picture must equal the generator's
// reconstruction sample for sample. A mismatch names the first differing
// macroblock and the svacenc command that reproduces the stream. Real-mode
// VLC streams go through the command-line tools.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "encoder.h"
#include "host_decoder.h"
#include "source.h"
#include "svacdec.h"

namespace {

struct Decoded {
    int width = 0, height = 0, chroma_format_idc = 0, bit_depth = 0;
    std::vector<std::vector<uint8_t>> rows[3];  // per plane, per row, the row's bytes
};

Decoded copy_output(const SvacDecOutput &out) {
    Decoded d;
    d.width = out.width;
    d.height = out.height;
    d.chroma_format_idc = out.chroma_format_idc;
    d.bit_depth = out.bit_depth;
    const int bps = out.bit_depth > 8 ? 2 : 1;
    const int planes = out.chroma_format_idc == 0 ? 1 : 3;
    for (int p = 0; p < planes; p++) {
        const int w = p == 0 ? out.width : out.width / 2;
        const int h = p == 0 || out.chroma_format_idc == 2 ? out.height : out.height / 2;
        for (int y = 0; y < h; y++) {
            const uint8_t *row = out.plane[p] + static_cast<ptrdiff_t>(y) * out.stride[p];
            d.rows[p].emplace_back(row, row + w * bps);
        }
    }
    return d;
}

// Decodes a whole stream: one call after another, then the drain.
std::vector<Decoded> decode_stream(const std::vector<uint8_t> &stream, std::string *errors) {
    std::vector<Decoded> pics;
    svactest::HostDecoder d;
    size_t pos = 0;
    const uint8_t *last_plane = nullptr;
    while (pos < stream.size()) {
        const int32_t r =
            d.decode(std::vector<uint8_t>(stream.begin() + static_cast<long>(pos), stream.end()));
        if (r < 0) {
            *errors += "decode error " + std::to_string(r) + " at byte " + std::to_string(pos) + "; ";
            break;
        }
        if (d.out.got_picture) {
            pics.push_back(copy_output(d.out));
            last_plane = d.out.plane[0];
        }
        if (r == 0 && !d.out.got_picture) break;
        pos += static_cast<size_t>(r);
    }
    for (;;) {
        SvacDecOutput out{};
        if (VQ_SVAC_Get_LastFrame(d.handle(), 0, &out) != 0 || !out.got_picture || out.plane[0] == last_plane)
            break;
        pics.push_back(copy_output(out));
        last_plane = out.plane[0];
    }
    return pics;
}

std::string command_line(const svacenc::EncoderOptions &o, int frames) {
    std::string s = "svacenc --mode ";
    s += o.mode == svacenc::EncMode::Random ? "random" : "real";
    s += " --seed " + std::to_string(o.seed) + " --frames " + std::to_string(frames);
    s += " --size " + std::to_string(o.width) + "x" + std::to_string(o.height);
    s += std::string(" --chroma ") + (o.chroma_format_idc == 0   ? "400"
                                      : o.chroma_format_idc == 1 ? "420"
                                                                 : "422");
    s += " --bitdepth " + std::to_string(o.bit_depth);
    if (o.cabac) s += " --entropy cabac";
    if (o.gop != "I") s += " --gop " + o.gop;
    if (o.field) s += " --field";
    if (o.slices) s += " --slices " + std::to_string(o.slices);
    if (o.qp >= 0) s += " --qp " + std::to_string(o.qp);
    if (o.fixed_qp) s += " --fixed-qp";
    if (o.lf_disable) s += " --lf-disable";
    if (o.lf_offsets_set)
        s += " --lf-offsets " + std::to_string(o.lf_alpha_offset) + "," + std::to_string(o.lf_beta_offset);
    return s;
}

// Encodes `frames` pictures, decodes them and compares. Empty on success.
std::string round_trip(const svacenc::EncoderOptions &opt, int frames) {
    svacenc::Encoder enc;
    svacenc::encoder_init(enc, opt);
    std::vector<uint8_t> stream;
    std::vector<svacenc::Frame> expected;
    svacenc::Frame source = enc.recon;
    for (int i = 0; i < frames; i++) {
        if (opt.mode == svacenc::EncMode::Real) svacenc::synthetic_picture(i, source);
        svacenc::encode_picture(enc, &source, stream, expected);
    }
    svacenc::encode_finish(enc, stream, expected);
    std::string errors;
    const std::vector<Decoded> got = decode_stream(stream, &errors);
    const std::string cmd = command_line(opt, frames);
    if (got.size() != expected.size())
        return cmd + ": " + std::to_string(got.size()) + " pictures decoded, " +
               std::to_string(expected.size()) + " expected; " + errors;
    for (size_t i = 0; i < got.size(); i++) {
        const svacenc::Frame &e = expected[i];
        const Decoded &g = got[i];
        const int h = svacenc::reported_height(e.width, e.height);
        if (g.width != e.width || g.height != h || g.chroma_format_idc != e.chroma_format_idc ||
            g.bit_depth != e.bit_depth)
            return cmd + ": picture " + std::to_string(i) + " has another geometry or format";
        const int bps = e.bytes_per_sample();
        for (int p = 0; p < e.plane_count(); p++) {
            const int mbw = p == 0 ? 16 : 8, mbh = p == 0 ? 16 : e.chroma_mb_height();
            for (size_t y = 0; y < g.rows[p].size(); y++) {
                const uint8_t *want = e.at(p, 0, static_cast<int>(y));
                const std::vector<uint8_t> &row = g.rows[p][y];
                if (std::memcmp(row.data(), want, row.size()) == 0) continue;
                size_t x = 0;
                while (row[x] == want[x]) x++;
                x /= static_cast<size_t>(bps);
                return cmd + ": picture " + std::to_string(i) + " plane " + std::to_string(p) +
                       " differs first at (" + std::to_string(x) + ", " + std::to_string(y) +
                       "), macroblock (" + std::to_string(x / mbw) + ", " + std::to_string(y / mbh) + "); " +
                       errors;
            }
        }
    }
    return errors.empty() ? "" : cmd + ": " + errors;
}

class StreamsInProcess : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { VQ_SVAC_Dec_Init(0); }
};

constexpr int kSeedsPerCell = 5;
constexpr int kStreamsPerFormat = 2 * 6 * kSeedsPerCell * 6;  // depths x variants x seeds x sizes

// Random-mode streams over formats, sizes and settings.
void random_matrix(int chroma, int depth, std::vector<std::string> *failures) {
    const struct { int w, h; } sizes[] = {{48, 32}, {80, 48}, {16, 16}, {112, 16}, {16, 80}, {176, 144}};
    uint64_t seed = 1000 * static_cast<uint64_t>(chroma + 1) + static_cast<uint64_t>(depth);
    for (int cell = 0; cell < 6 * kSeedsPerCell * 6; cell++) {
        const int variant = cell / (kSeedsPerCell * 6);
        const auto &s = sizes[cell % 6];
        svacenc::EncoderOptions o;
        o.seed = ++seed;
        o.width = s.w;
        o.height = s.h;
        o.chroma_format_idc = chroma;
        o.bit_depth = depth;
        switch (variant) {
            case 1:
                o.slices = 1;
                o.fixed_qp = true;
                o.lf_disable = true;
                break;
            case 2:
                o.fixed_qp = true;
                break;
            case 3:
                o.lf_offsets_set = true;
                o.lf_alpha_offset = 3;
                o.lf_beta_offset = -2;
                break;
            case 4:
                o.qp = 51;
                break;
            case 5:
                o.qp = 2;
                o.slices = std::min(3, (s.w / 16) * (s.h / 16));
                break;
            default:
                break;
        }
        const std::string r = round_trip(o, s.w * s.h > 10000 ? 2 : 3);
        if (!r.empty()) failures->push_back(r);
    }
}

void report(const std::vector<std::string> &failures, int total) {
    for (size_t i = 0; i < failures.size() && i < 8; i++) ADD_FAILURE() << failures[i];
    if (!failures.empty()) ADD_FAILURE() << failures.size() << " of " << total << " streams differ";
}

TEST_F(StreamsInProcess, RandomIntra) {
    std::vector<std::string> f;
    for (int chroma = 0; chroma < 3; chroma++)
        for (int depth : {8, 10}) random_matrix(chroma, depth, &f);
    report(f, 3 * kStreamsPerFormat);
}

// P pictures (and field pictures) over formats, depths, slice counts and
// settings: skip runs, every P type, both references, vectors far outside
// the picture, inter residual and deblocking across inter edges, B
// pictures with their output order and drain. With
// `cabac`, arithmetic-coded slices, I pictures among them and a real-mode
// cell.
void inter_matrix(bool cabac) {
    std::vector<std::string> f;
    int total = 0;
    const std::vector<std::string> gops =
        cabac ? std::vector<std::string>{"I", "IPPP", "PPIP", "IPPPPPPP", "IBBP"}
              : std::vector<std::string>{"IPPP", "IPPPPPPP", "PPIP", "IBP"};
    const struct { int w, h; } sizes[] = {{48, 32}, {80, 48}, {16, 16}, {112, 16}, {16, 64}};
    uint64_t seed = cabac ? 9000 : 7000;
    for (int chroma = 0; chroma < 3; chroma++)
        for (int depth : {8, 10})
            for (bool field : {false, true})
                for (int cell = 0; cell < (cabac ? 9 : 10); cell++) {
                    const auto &s = sizes[cell % 5];
                    svacenc::EncoderOptions o;
                    o.cabac = cabac;
                    o.seed = ++seed;
                    o.width = s.w;
                    o.height = s.h;
                    o.chroma_format_idc = chroma;
                    o.bit_depth = depth;
                    o.gop = gops[cell % gops.size()];
                    o.field = field;
                    if (cell == 3) o.slices = std::min(3, (s.w / 16) * (s.h / 16));
                    if (cell == 4) o.fixed_qp = true;
                    if (cell == 6 && !cabac) o.lf_disable = true;
                    if (cell == 8 && cabac) {
                        o.mode = svacenc::EncMode::Real;
                        o.width = 64;
                        o.height = 48;
                        o.qp = field ? 20 : 34;
                        o.slices = depth == 10 ? 2 : 0;
                    }
                    total++;
                    const std::string r = round_trip(o, cabac ? 5 : 6);
                    if (!r.empty()) f.push_back(r);
                }
    report(f, total);
}

TEST_F(StreamsInProcess, RandomPPictures) { inter_matrix(false); }

TEST_F(StreamsInProcess, Cabac) { inter_matrix(true); }

}  // namespace
