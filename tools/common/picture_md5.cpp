#include "picture_md5.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "file_io.h"
#include "security/crypto.h"

namespace svactool {

namespace {

constexpr int32_t kMd5 = 0;  // digest number of MD5 in the library's table

struct HashCloser {
    SvacHashCtx *ctx;
    ~HashCloser() { VQ_SVACDEC_hash_close(ctx); }
};

}  // namespace

bool picture_md5(const PictureView &pic, uint8_t digest[16]) {
    if (!picture_valid(pic)) return false;
    HashCloser h{VQ_SVACDEC_hash_open(kMd5)};
    if (!h.ctx || VQ_SVACDEC_hash_digest_size(h.ctx) != 16) return false;
    VQ_SVACDEC_hash_init(h.ctx, nullptr);
    for_each_row(pic, [&](const uint8_t *bytes, size_t n) {
        VQ_SVACDEC_hash_update(h.ctx, bytes, static_cast<int32_t>(n));
        return true;
    });
    VQ_SVACDEC_hash_final(h.ctx, digest);
    return true;
}

std::string to_hex(const uint8_t *bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * size);
    for (size_t i = 0; i < size; i++) {
        s.push_back(kDigits[bytes[i] >> 4]);
        s.push_back(kDigits[bytes[i] & 15]);
    }
    return s;
}

std::string picture_md5_hex(const PictureView &pic) {
    uint8_t d[16];
    return picture_md5(pic, d) ? to_hex(d, 16) : std::string();
}

std::string picture_md5_hex(const SvacDecOutput &out) { return picture_md5_hex(picture_view(out)); }

Md5ListWriter::~Md5ListWriter() {
    std::string ignored;
    close(&ignored);
}

bool Md5ListWriter::open(const std::string &path, std::string *error) {
    std::string ignored;
    close(&ignored);
    if (path == "-") {
        attach(stdout);
        return true;
    }
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    owned_ = true;
    count_ = 0;
    return true;
}

void Md5ListWriter::attach(std::FILE *f) {
    file_ = f;
    owned_ = false;
    count_ = 0;
}

bool Md5ListWriter::add(const PictureView &pic, std::string *error) {
    const std::string hex = picture_md5_hex(pic);
    if (hex.empty()) {
        *error = picture_valid(pic) ? "MD5 digest unavailable" : "invalid picture geometry";
        return false;
    }
    if (!file_ || std::fprintf(file_, "%s\n", hex.c_str()) < 0) {
        *error = "cannot write MD5 list";
        return false;
    }
    count_++;
    return true;
}

bool Md5ListWriter::close(std::string *error) {
    if (!file_) return true;
    bool ok = std::fflush(file_) == 0;
    if (owned_) ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    owned_ = false;
    if (!ok) *error = "cannot write MD5 list";
    return ok;
}

bool parse_md5_list(const std::string &text, const std::string &name, std::vector<std::string> *list,
                    std::string *error) {
    list->clear();
    size_t pos = 0;
    int line_no = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        line_no++;
        size_t b = 0;
        while (b < line.size() && std::isspace(static_cast<unsigned char>(line[b]))) b++;
        if (b == line.size() || line[b] == '#') continue;
        std::string md5;
        size_t i = b;
        for (; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); i++)
            md5.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(line[i]))));
        if (md5.size() != 32 || (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))) {
            *error = name + ":" + std::to_string(line_no) + ": not an MD5 line";
            return false;
        }
        list->push_back(md5);
    }
    return true;
}

bool read_md5_list(const std::string &path, std::vector<std::string> *list, std::string *error) {
    std::vector<uint8_t> data;
    if (!read_all(path, &data, error)) return false;
    return parse_md5_list(std::string(data.begin(), data.end()), path, list, error);
}

}  // namespace svactool
