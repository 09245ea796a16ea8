// Random data through our ciphers and digests against the openssl command
// line, where it is installed. Block lengths around the padding boundaries of
// the digests are included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "hex_util.h"
#include "security/crypto.h"

using sectest::to_hex;

namespace {

bool run(const std::string &cmd, std::string *out = nullptr) {
    FILE *f = popen((cmd + " 2>/dev/null").c_str(), "r");
    if (!f) return false;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
    const int status = pclose(f);
    if (out) *out = text;
    return status == 0;
}

bool have_openssl() { return run("openssl version"); }

class OpenSsl : public testing::Test {
protected:
    void SetUp() override {
        if (!have_openssl()) GTEST_SKIP() << "openssl command not installed";
        char tmpl[] = "/tmp/svac_sec_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        const unsigned seed = std::random_device{}();
        std::printf("seed %u\n", seed);
        rng_.seed(seed);
    }
    void TearDown() override {
        if (!dir_.empty()) run("rm -rf " + dir_);
    }

    std::vector<uint8_t> random_bytes(size_t n) {
        std::vector<uint8_t> v(n);
        for (uint8_t &b : v) b = static_cast<uint8_t>(rng_());
        return v;
    }

    std::string write(const std::string &name, const std::vector<uint8_t> &data) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        return path;
    }

    std::vector<uint8_t> read(const std::string &name) {
        std::ifstream f(dir_ + "/" + name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
    }

    // openssl enc in ECB mode without padding; false when the cipher is not
    // available (DES needs the legacy provider on OpenSSL 3).
    bool openssl_ecb(const std::string &cipher, const std::vector<uint8_t> &key,
                     const std::vector<uint8_t> &in, std::vector<uint8_t> *out) {
        const std::string src = write("in.bin", in);
        const std::string dst = dir_ + "/out.bin";
        const std::string base =
            "openssl enc -" + cipher + " -nopad -K " + to_hex(key) + " -in " + src + " -out " + dst;
        if (!run(base + " -provider legacy -provider default") && !run(base)) return false;
        *out = read("out.bin");
        return true;
    }

    std::string dir_;
    std::mt19937 rng_;
};

struct CipherCase {
    int type;
    const char *openssl_name;
    size_t key_len, block;
};

}  // namespace

TEST_F(OpenSsl, CiphersOnRandomData) {
    const CipherCase cases[] = {
        {2, "aes-128-ecb", 16, 16}, {2, "aes-192-ecb", 24, 16}, {2, "aes-256-ecb", 32, 16},
        {1, "des-ecb", 8, 8},       {1, "des-ecb", 8, 8},
    };
    for (const CipherCase &c : cases) {
        const auto key = random_bytes(c.key_len);
        const auto plain = random_bytes(c.block * (1 + rng_() % 300));
        std::vector<uint8_t> expect;
        if (!openssl_ecb(c.openssl_name, key, plain, &expect)) {
            std::printf("openssl has no %s; skipped\n", c.openssl_name);
            continue;
        }
        SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(c.type);
        testing::internal::CaptureStdout();  // a random DES key may be weak
        VQ_SVACDEC_crypto_set_key(ctx, key.data(), static_cast<int32_t>(key.size()));
        testing::internal::GetCapturedStdout();
        std::vector<uint8_t> got(plain.size());
        VQ_SVACDEC_crypto_encrypt(ctx, got.data(), plain.data(),
                                  static_cast<int32_t>(plain.size()));
        EXPECT_EQ(to_hex(got), to_hex(expect)) << c.openssl_name << " key " << to_hex(key);
        VQ_SVACDEC_crypto_decrypt(ctx, got.data(), expect.data(),
                                  static_cast<int32_t>(expect.size()));
        EXPECT_EQ(got, plain) << c.openssl_name;

        // The zero-padded tail equals the first bytes of a whole padded block.
        const size_t r = 1 + rng_() % (c.block - 1);
        std::vector<uint8_t> padded(plain.begin(), plain.begin() + c.block + r);
        padded.resize(2 * c.block, 0);
        ASSERT_TRUE(openssl_ecb(c.openssl_name, key, padded, &expect));
        got.assign(c.block + r, 0);
        VQ_SVACDEC_crypto_encrypt(ctx, got.data(), plain.data(), static_cast<int32_t>(c.block + r));
        expect.resize(c.block + r);
        EXPECT_EQ(to_hex(got), to_hex(expect)) << c.openssl_name << " tail " << r;
        VQ_SVACDEC_crypto_close(ctx);
    }
}

TEST_F(OpenSsl, DigestsOnRandomData) {
    const char *names[] = {"md5", "sha1", "sha224", "sha256", "sha384", "sha512"};
    // Around the padding limits of 64- and 128-byte blocks, plus random sizes.
    std::vector<size_t> sizes = {0, 1, 55, 56, 63, 64, 65, 111, 112, 119, 120, 127, 128, 129, 1000};
    for (int i = 0; i < 4; i++) sizes.push_back(rng_() % 5000);
    std::vector<std::vector<uint8_t>> msgs;
    std::string files;
    for (size_t i = 0; i < sizes.size(); i++) {
        msgs.push_back(random_bytes(sizes[i]));
        // Appended piece by piece: g++ 12 warns falsely on `"x" + string`.
        std::string name = "m";
        name += std::to_string(i);
        files += ' ';
        files += write(name, msgs.back());
    }
    for (int t = 0; t < 6; t++) {
        std::string out;
        ASSERT_TRUE(run(std::string("openssl dgst -") + names[t] + " -r" + files, &out))
            << names[t];
        std::istringstream lines(out);
        for (size_t i = 0; i < msgs.size(); i++) {
            std::string line;
            std::getline(lines, line);
            const std::string expect = line.substr(0, line.find(' '));
            SvacHashCtx *ctx = VQ_SVACDEC_hash_open(t);
            VQ_SVACDEC_hash_init(ctx, nullptr);
            // Two pieces, so a block boundary may fall inside an update.
            const size_t cut = msgs[i].empty() ? 0 : rng_() % msgs[i].size();
            VQ_SVACDEC_hash_update(ctx, msgs[i].data(), static_cast<int32_t>(cut));
            VQ_SVACDEC_hash_update(ctx, msgs[i].data() + cut,
                                   static_cast<int32_t>(msgs[i].size() - cut));
            uint8_t d[64];
            VQ_SVACDEC_hash_final(ctx, d);
            EXPECT_EQ(to_hex(d, VQ_SVACDEC_hash_digest_size(ctx)), expect)
                << names[t] << " length " << msgs[i].size();
            VQ_SVACDEC_hash_close(ctx);
        }
    }
}
