// Digests through the generic context: the RFC 1321 test suite and the
// FIPS 180-4 examples, and the padding boundaries.
#include <gtest/gtest.h>

#include <string>

#include "hex_util.h"
#include "security/crypto.h"

using sectest::to_hex;

namespace {

enum { MD5 = 0, SHA1, SHA224, SHA256, SHA384, SHA512 };

// Feeds the message in pieces of `chunk` bytes so the buffering is crossed at
// many offsets.
std::string digest(int type, const std::string &msg, size_t chunk = 0) {
    SvacHashCtx *ctx = VQ_SVACDEC_hash_open(type);
    if (!ctx) return "no context";
    VQ_SVACDEC_hash_init(ctx, nullptr);
    const auto *p = reinterpret_cast<const uint8_t *>(msg.data());
    if (!chunk) chunk = msg.size() ? msg.size() : 1;
    for (size_t off = 0; off < msg.size(); off += chunk) {
        const size_t n = std::min(chunk, msg.size() - off);
        VQ_SVACDEC_hash_update(ctx, p + off, static_cast<int32_t>(n));
    }
    uint8_t out[64];
    VQ_SVACDEC_hash_final(ctx, out);
    const std::string hex = to_hex(out, VQ_SVACDEC_hash_digest_size(ctx));
    VQ_SVACDEC_hash_close(ctx);
    return hex;
}

const std::string kTwoBlock = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string kFourBlock =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopq"
    "rs"
    "mnopqrstnopqrstu";

std::string repeat(const std::string &s, int n) {
    std::string r;
    for (int i = 0; i < n; i++) r += s;
    return r;
}

struct Case {
    int type;
    std::string msg;
    const char *hex;
};

}  // namespace

TEST(Digest, Md5Rfc1321Suite) {
    const Case cases[] = {
        {MD5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        {MD5, "a", "0cc175b9c0f1b6a831c399e269772661"},
        {MD5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        {MD5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {MD5, "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {MD5, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {MD5, repeat("1234567890", 8), "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case &c : cases) EXPECT_EQ(digest(c.type, c.msg, 7), c.hex) << c.msg;
}

TEST(Digest, ShaFips180Examples) {
    const Case cases[] = {
        {SHA1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {SHA1, kTwoBlock, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {SHA224, "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {SHA224, kTwoBlock, "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
        {SHA256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {SHA256, kTwoBlock, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {SHA384, "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca13"
         "4c825a7"},
        {SHA384, kFourBlock,
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa9"
         "1746039"},
        {SHA512, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {SHA512, kFourBlock,
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
         "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
    };
    for (const Case &c : cases) EXPECT_EQ(digest(c.type, c.msg, 3), c.hex) << c.type << " " << c.msg;
}

// Messages whose padding just fits or just overflows the last block (55 and
// 56 bytes for 64-byte blocks, 111 and 112 for 128-byte blocks); values from
// an independent implementation.
TEST(Digest, PaddingBoundaries) {
    EXPECT_EQ(digest(MD5, std::string(55, 'a'), 5), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(digest(MD5, std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(digest(SHA1, std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(digest(SHA256, std::string(55, 'a'), 9),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(digest(SHA256, std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(digest(SHA512, std::string(111, 'a'), 13),
              "fa9121c7b32b9e01733d034cfc78cbf67f926c7ed83e82200ef86818196921760b4beff48404df811b953828274461"
              "673c68d04e297b0eb7b2b4d60fc6b566a2");
    EXPECT_EQ(
        digest(SHA384, std::string(112, 'a')),
        "187d4e07cb306103c69967bf544d0dfbe9042577599c73c330abc0cb64c61236d5ed565ee19119d8c31779a38f791fcd");
}

TEST(Digest, UnknownNumbers) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_hash_open(6), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unimplemented hash type: 6\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_hash_open(7), nullptr);
    EXPECT_EQ(VQ_SVACDEC_hash_open(15), nullptr);
    EXPECT_EQ(VQ_SVACDEC_hash_open(-1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    VQ_SVACDEC_hash_close(nullptr);
}
