#include "file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace svactool {

bool read_all(const std::string &path, std::vector<uint8_t> *data, std::string *error) {
    FILE *f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    data->clear();
    // Room for a whole regular file at once: growing step by step would copy
    // the stream several times and touch twice its size of fresh memory.
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        data->reserve(static_cast<size_t>(st.st_size));
    uint8_t buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
    const bool bad = std::ferror(f);
    if (f != stdin) std::fclose(f);
    if (bad) {
        *error = "cannot read " + path;
        return false;
    }
    return true;
}

bool write_all(const std::string &path, const std::vector<uint8_t> &data, std::string *error) {
    FILE *f = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (f == stdout ? std::fflush(f) : std::fclose(f)) == 0 && ok;
    if (!ok) *error = "cannot write " + path;
    return ok;
}

}  // namespace svactool
