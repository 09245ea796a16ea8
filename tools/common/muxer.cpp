#include "muxer.h"

#include <cerrno>
#include <cstring>

#include "picture_md5.h"

namespace svactool {

namespace {

bool ends_with(const std::string &s, const char *suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Owns the stream unless it was handed in.
class FileMuxer : public Muxer {
  public:
    FileMuxer(std::FILE *f, bool owned) : file_(f), owned_(owned) {}
    ~FileMuxer() override { finish(); }

    bool finish() override {
        if (!file_) return error_.empty();
        bool ok = std::fflush(file_) == 0;
        if (owned_) ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
        if (!ok && error_.empty()) error_ = std::string("write error: ") + std::strerror(errno);
        return ok && error_.empty();
    }

  protected:
    bool put(const void *data, size_t n) {
        if (std::fwrite(data, 1, n, file_) == n) return true;
        error_ = std::string("write error: ") + std::strerror(errno);
        return false;
    }

    std::FILE *file_;
    bool owned_;
};

class NullMuxer : public Muxer {
  public:
    bool write(const PictureView &) override {
        written_++;
        return true;
    }
    bool finish() override { return true; }
};

class RawMuxer : public FileMuxer {
  public:
    RawMuxer(std::FILE *f, bool owned, bool y4m, const MuxerOptions &o)
        : FileMuxer(f, owned), y4m_(y4m), options_(o) {}

    bool write(const PictureView &pic) override {
        if (!file_) return false;
        if (!picture_valid(pic)) {
            error_ = "invalid picture geometry";
            return false;
        }
        if (!written_ && !skipped_) {
            first_ = pic;
            if (y4m_ && !header()) return false;
        } else if (!same_format(pic)) {
            skipped_++;
            return true;
        }
        if (y4m_ && !put("FRAME\n", 6)) return false;
        if (!for_each_row(pic, [&](const uint8_t *b, size_t n) { return put(b, n); })) return false;
        written_++;
        return true;
    }

  private:
    bool same_format(const PictureView &p) const {
        return p.layer == first_.layer && p.width == first_.width && p.height == first_.height &&
               p.chroma_format_idc == first_.chroma_format_idc && p.bit_depth == first_.bit_depth;
    }

    bool header() {
        char h[128];
        const int n =
            std::snprintf(h, sizeof h, "YUV4MPEG2 W%d H%d F%d:%d Ip A1:1 C%s\n", first_.width, first_.height,
                          options_.fps_num, options_.fps_den, y4m_colorspace(first_));
        return put(h, static_cast<size_t>(n));
    }

    bool y4m_;
    MuxerOptions options_;
    PictureView first_;
};

class Md5Muxer : public Muxer {
  public:
    Md5Muxer(std::FILE *f, bool owned) : file_(f), owned_(owned) { list_.attach(f); }
    ~Md5Muxer() override { finish(); }

    bool write(const PictureView &pic) override {
        if (!list_.add(pic, &error_)) return false;
        written_++;
        return true;
    }

    bool finish() override {
        if (!file_) return error_.empty();
        bool ok = list_.close(&error_);
        if (owned_) ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
        if (!ok && error_.empty()) error_ = "cannot write MD5 list";
        return ok && error_.empty();
    }

  private:
    Md5ListWriter list_;
    std::FILE *file_;
    bool owned_;
};

std::unique_ptr<Muxer> make_muxer(std::FILE *f, bool owned, const std::string &name,
                                  const MuxerOptions &options) {
    if (name == "yuv" || name == "y4m") return std::make_unique<RawMuxer>(f, owned, name == "y4m", options);
    return std::make_unique<Md5Muxer>(f, owned);
}

}  // namespace

std::string muxer_for_path(const std::string &path) {
    if (path == "/dev/null") return "null";
    for (const char *ext : {"yuv", "y4m", "md5"})
        if (ends_with(path, (std::string(".") + ext).c_str())) return ext;
    return "";
}

bool known_muxer(const std::string &name) {
    return name == "null" || name == "yuv" || name == "y4m" || name == "md5";
}

std::unique_ptr<Muxer> open_muxer(const std::string &path, const std::string &name,
                                  const MuxerOptions &options, std::string *error) {
    std::string n = name.empty() ? muxer_for_path(path) : name;
    if (n.empty()) {
        *error = path == "-" ? "writing to standard output needs --muxer NAME"
                             : "cannot tell the output format of " + path +
                                   " (use .yuv, .y4m, .md5, /dev/null or --muxer NAME)";
        return nullptr;
    }
    if (!known_muxer(n)) {
        *error = "unknown muxer " + n + " (null, yuv, y4m, md5)";
        return nullptr;
    }
    if (n == "null") return std::make_unique<NullMuxer>();
    if (path == "-") return make_muxer(stdout, false, n, options);
    std::FILE *f = std::fopen(path.c_str(), n == "md5" ? "w" : "wb");
    if (!f) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return make_muxer(f, true, n, options);
}

std::unique_ptr<Muxer> open_muxer_stream(std::FILE *stream, const std::string &name,
                                         const MuxerOptions &options, std::string *error) {
    if (!known_muxer(name)) {
        *error = "unknown muxer " + name + " (null, yuv, y4m, md5)";
        return nullptr;
    }
    if (name == "null") return std::make_unique<NullMuxer>();
    return make_muxer(stream, false, name, options);
}

}  // namespace svactool
