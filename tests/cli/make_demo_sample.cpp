// Writes the demo stream of tests/support/demo_stream.h and, when asked, the
// MD5 list of its three flat pictures.
#include <cstdio>

#include "demo_stream.h"
#include "security/crypto.h"
#include "svacdec.h"

namespace {

bool write(const char *path, const void *data, size_t n) {
    std::FILE *f = std::fopen(path, "wb");
    if (!f || std::fwrite(data, 1, n, f) != n || std::fclose(f) != 0) {
        std::perror(path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_demo_sample STREAM [MD5LIST]\n");
        return 2;
    }
    const std::vector<uint8_t> s = svactest::demo_stream();
    if (!write(argv[1], s.data(), s.size())) return 1;
    if (argc == 2) return 0;

    VQ_SVAC_Dec_Init(0);
    SvacHashCtx *h = VQ_SVACDEC_hash_open(0);
    if (!h) return 1;
    const std::string pic = svactest::flat_picture_bytes();
    uint8_t d[16];
    VQ_SVACDEC_hash_init(h, nullptr);
    VQ_SVACDEC_hash_update(h, reinterpret_cast<const uint8_t *>(pic.data()), static_cast<int32_t>(pic.size()));
    VQ_SVACDEC_hash_final(h, d);
    VQ_SVACDEC_hash_close(h);
    std::string line;
    for (uint8_t b : d) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        line += hex;
    }
    line += "\n";
    const std::string list = line + line + line;
    return write(argv[2], list.data(), list.size()) ? 0 : 1;
}
