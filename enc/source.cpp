#include "source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace svacenc {

namespace {

// Scene in 8-bit terms at luma position (x, y) of picture t: a diagonal
// gradient, a textured disc moving right, a bar moving down, fine stripes.
void scene_sample(int t, double x, double y, int *Y, int *U, int *V) {
    double l = 60 + 0.25 * x + 0.15 * y;
    double u = 128 + 30 * std::sin(x / 40.0 + t * 0.05);
    double v = 128 + 30 * std::cos(y / 30.0 - t * 0.04);
    const double cx = 40 + 3.0 * t, cy = 60 + 20 * std::sin(t * 0.1);
    const double dx = std::fmod(x - cx + 4096.0, 320.0) - 40, dy = y - cy;
    if (dx * dx + dy * dy < 900) {
        l = 200 + 25 * std::sin((x + y) / 3.0);
        u = 90;
        v = 170;
    }
    const double by = std::fmod(2.0 * t + 10, 200.0);
    if (y >= by && y < by + 12) {
        l = 30;
        u = 150;
        v = 100;
    }
    if (x > 100 && x < 140) l += 18 * ((static_cast<int>(x) / 2 + static_cast<int>(y)) % 2);
    *Y = std::clamp(static_cast<int>(l), 0, 255);
    *U = std::clamp(static_cast<int>(u), 0, 255);
    *V = std::clamp(static_cast<int>(v), 0, 255);
}

int chroma_sub_x(int cf) { return cf == 1 || cf == 2 ? 1 : 0; }
int chroma_sub_y(int cf) { return cf == 1 ? 1 : 0; }

}  // namespace

void synthetic_picture(int index, Frame &dst) {
    const int shift = dst.bit_depth - 8;
    for (int p = 0; p < dst.plane_count(); p++) {
        const Plane &pl = dst.planes[p];
        const int sx = p ? chroma_sub_x(dst.chroma_format_idc) : 0;
        const int sy = p ? chroma_sub_y(dst.chroma_format_idc) : 0;
        for (int y = 0; y < pl.height; y++)
            for (int x = 0; x < pl.width; x++) {
                int s[3];
                scene_sample(index, x << sx, y << sy, &s[0], &s[1], &s[2]);
                dst.set_sample(p, x, y, s[p] << shift);
            }
    }
}

namespace {

bool parse_y4m_header(InputFile *in, std::string *error) {
    std::string line;
    int c;
    while ((c = std::fgetc(in->file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (line.rfind("YUV4MPEG2", 0) != 0) {
        *error = "not a Y4M file";
        return false;
    }
    in->chroma_format_idc = 1;
    in->bit_depth = 8;
    size_t pos = 9;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ') pos++;
        const size_t end = std::min(line.find(' ', pos), line.size());
        const std::string tok = line.substr(pos, end - pos);
        pos = end;
        if (tok.empty()) continue;
        if (tok[0] == 'W') in->width = std::atoi(tok.c_str() + 1);
        if (tok[0] == 'H') in->height = std::atoi(tok.c_str() + 1);
        if (tok[0] == 'C') {
            const std::string cs = tok.substr(1);
            if (cs.rfind("mono", 0) == 0)
                in->chroma_format_idc = 0;
            else if (cs.rfind("420", 0) == 0)
                in->chroma_format_idc = 1;
            else if (cs.rfind("422", 0) == 0)
                in->chroma_format_idc = 2;
            else if (cs.rfind("444", 0) == 0)
                in->chroma_format_idc = 3;
            else {
                *error = "unsupported Y4M colour space " + cs;
                return false;
            }
            // High bit depths are tagged "p10", "p12", ... ("mono10" for grey).
            const size_t hi = cs.rfind("p1");
            const std::string depth = cs == "mono10"            ? "10"
                                      : hi != std::string::npos ? cs.substr(hi + 1)
                                                                : "";
            if (depth == "10") {
                in->bit_depth = 10;
            } else if (!depth.empty()) {
                *error = "unsupported Y4M bit depth in " + cs;
                return false;
            }
        }
    }
    if (in->width < 1 || in->height < 1) {
        *error = "Y4M header without a valid size";
        return false;
    }
    return true;
}

}  // namespace

bool open_input(const std::string &path, int width, int height, int chroma_format_idc, int bit_depth,
                InputFile *in, std::string *error) {
    *in = InputFile{};
    if (path == "-") {
        in->file = stdin;
    } else {
        in->file = std::fopen(path.c_str(), "rb");
        in->owned = true;
        if (!in->file) {
            *error = "cannot open input " + path;
            return false;
        }
    }
    in->y4m = path.size() >= 4 && path.compare(path.size() - 4, 4, ".y4m") == 0;
    if (in->y4m) {
        if (!parse_y4m_header(in, error)) {
            close_input(*in);
            return false;
        }
    } else {
        in->width = width;
        in->height = height;
        in->chroma_format_idc = chroma_format_idc;
        in->bit_depth = bit_depth;
    }
    return true;
}

bool read_input(InputFile &in, SourcePicture *pic) {
    if (in.y4m) {
        // "FRAME" plus optional parameters up to the end of the line.
        char head[5];
        if (std::fread(head, 1, 5, in.file) != 5 || std::memcmp(head, "FRAME", 5) != 0) return false;
        int c;
        while ((c = std::fgetc(in.file)) != EOF && c != '\n') {
        }
        if (c == EOF) return false;
    }
    pic->width = in.width;
    pic->height = in.height;
    pic->chroma_format_idc = in.chroma_format_idc;
    pic->bit_depth = in.bit_depth;
    const int cf = in.chroma_format_idc;
    const int bps = in.bit_depth > 8 ? 2 : 1;
    for (int p = 0; p < 3; p++) {
        pic->planes[p].clear();
        if (p > 0 && cf == 0) continue;
        const int w = p == 0 || cf == 3 ? in.width : (in.width + 1) / 2;
        const int h = p == 0 || cf >= 2 ? in.height : (in.height + 1) / 2;
        std::vector<uint8_t> raw(static_cast<size_t>(w) * h * bps);
        if (std::fread(raw.data(), 1, raw.size(), in.file) != raw.size()) return false;
        pic->planes[p].resize(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < pic->planes[p].size(); i++)
            pic->planes[p][i] = bps == 2 ? static_cast<uint16_t>(raw[2 * i] | (raw[2 * i + 1] << 8)) : raw[i];
    }
    return true;
}

void close_input(InputFile &in) {
    if (in.file && in.owned) std::fclose(in.file);
    in.file = nullptr;
}

void convert_picture(const SourcePicture &src, Frame &dst) {
    const int scf = src.chroma_format_idc;
    const int shift = dst.bit_depth - src.bit_depth;
    const int maxv = (1 << dst.bit_depth) - 1;
    auto scale = [&](int v) {
        v = shift >= 0 ? v << shift : (v + (1 << (-shift - 1))) >> -shift;
        return std::clamp(v, 0, maxv);
    };
    for (int p = 0; p < dst.plane_count(); p++) {
        const Plane &pl = dst.planes[p];
        const int dsx = p ? chroma_sub_x(dst.chroma_format_idc) : 0;
        const int dsy = p ? chroma_sub_y(dst.chroma_format_idc) : 0;
        if (p > 0 && scf == 0) {
            for (int y = 0; y < pl.height; y++)
                for (int x = 0; x < pl.width; x++) dst.set_sample(p, x, y, 1 << (dst.bit_depth - 1));
            continue;
        }
        const int ssx = p ? (scf == 1 || scf == 2 ? 1 : 0) : 0;
        const int ssy = p ? (scf == 1 ? 1 : 0) : 0;
        const int sw = p ? (ssx ? (src.width + 1) / 2 : src.width) : src.width;
        const int sh = p ? (ssy ? (src.height + 1) / 2 : src.height) : src.height;
        const std::vector<uint16_t> &plane = src.planes[p];
        for (int y = 0; y < pl.height; y++)
            for (int x = 0; x < pl.width; x++) {
                // Position in luma units, mapped to the source plane; a plane
                // with finer subsampling than the source averages two samples.
                const int lx = x << dsx, ly = y << dsy;
                const int sx0 = std::min(lx >> ssx, sw - 1), sy0 = std::min(ly >> ssy, sh - 1);
                int v = plane[static_cast<size_t>(sy0) * sw + sx0];
                if (dsy > ssy) {
                    const int sy1 = std::min(sy0 + 1, sh - 1);
                    v = (v + plane[static_cast<size_t>(sy1) * sw + sx0] + 1) >> 1;
                }
                if (dsx > ssx) {
                    const int sx1 = std::min(sx0 + 1, sw - 1);
                    v = (v + plane[static_cast<size_t>(sy0) * sw + sx1] + 1) >> 1;
                }
                dst.set_sample(p, x, y, scale(v));
            }
    }
}

}  // namespace svacenc
