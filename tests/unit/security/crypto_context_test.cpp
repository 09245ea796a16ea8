// The generic cipher interface: algorithm numbers, electronic-codebook block
// processing with the zero-padded partial tail, and its messages.
#include <gtest/gtest.h>

#include <cstring>

#include "hex_util.h"
#include "security/aes.h"
#include "security/crypto.h"

using sectest::from_hex;
using sectest::to_hex;

namespace {

SvacCipherCtx *open_with_key(int type, const std::string &key_hex) {
    SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(type);
    const auto key = from_hex(key_hex);
    if (ctx) VQ_SVACDEC_crypto_set_key(ctx, key.data(), static_cast<int32_t>(key.size()));
    return ctx;
}

const std::string kZeroKey128(32, '0');

}  // namespace

TEST(CryptoContext, OpenByNumber) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_crypto_open(3), nullptr);
    EXPECT_EQ(VQ_SVACDEC_crypto_open(15), nullptr);
    EXPECT_EQ(VQ_SVACDEC_crypto_open(-1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_crypto_open(0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unimplemented encryption type: 0\n");

    for (int t : {1, 2}) {
        SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(t);
        EXPECT_NE(ctx, nullptr) << t;
        VQ_SVACDEC_crypto_close(ctx);
    }
    VQ_SVACDEC_crypto_close(nullptr);
}

TEST(CryptoContext, SignaturesAreNeverImplemented) {
    for (int t : {0, 1, 2}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(VQ_SVACDEC_sign_open(t), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "unimplemented sign type: " + std::to_string(t) + "\n");
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_sign_open(3), nullptr);
    EXPECT_EQ(VQ_SVACDEC_sign_open(-1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    VQ_SVACDEC_sign_close(nullptr);
}

TEST(CryptoContext, DesEcbFips81Example) {
    SvacCipherCtx *ctx = open_with_key(1, "0123456789abcdef");
    const std::string text = "Now is the time for all ";
    std::vector<uint8_t> buf(text.begin(), text.end()), out(buf.size());
    VQ_SVACDEC_crypto_encrypt(ctx, out.data(), buf.data(), static_cast<int32_t>(buf.size()));
    EXPECT_EQ(to_hex(out), "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b53");
    VQ_SVACDEC_crypto_decrypt(ctx, out.data(), out.data(), static_cast<int32_t>(out.size()));
    EXPECT_EQ(out, buf);
    VQ_SVACDEC_crypto_close(ctx);
}

TEST(CryptoContext, AesEcbSp800_38aThroughContext) {
    SvacCipherCtx *ctx = open_with_key(2, "2b7e151628aed2a6abf7158809cf4f3c");
    const auto plain = from_hex(
        "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    std::vector<uint8_t> c(plain.size());
    VQ_SVACDEC_crypto_encrypt(ctx, c.data(), plain.data(), 64);
    EXPECT_EQ(to_hex(c),
              "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
              "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4");
    VQ_SVACDEC_crypto_close(ctx);
}

// 20 bytes: one whole block, then a block padded with 12 zeros of which only
// 4 bytes are written. Under the zero AES-128 key the zero block gives
// 66e94bd4... and 80 00..00 gives 3ad78e72... (published known answers).
TEST(CryptoContext, PartialTailIsZeroPaddedAndCut) {
    SvacCipherCtx *ctx = open_with_key(2, kZeroKey128);
    std::vector<uint8_t> in(20, 0);
    in[16] = 0x80;
    std::vector<uint8_t> out(24, 0xEE);
    VQ_SVACDEC_crypto_encrypt(ctx, out.data(), in.data(), 20);
    EXPECT_EQ(to_hex(out), "66e94bd4ef8a2c3b884cfa59ca342b2e3ad78e72eeeeeeee");

    // Deciphering: the tail comes from one block operation on the four bytes
    // followed by twelve zeros.
    const auto c = from_hex("66e94bd4ef8a2c3b884cfa59ca342b2e3ad78e72");
    AesKey k{};
    const std::vector<uint8_t> zero_key(16, 0);
    aes_set_key(&k, zero_key.data(), 16);
    uint8_t padded[16] = {0x3a, 0xd7, 0x8e, 0x72}, tail[16];
    aes_decrypt_block(&k, padded, tail);
    std::vector<uint8_t> expect(16, 0);
    expect.insert(expect.end(), tail, tail + 4);
    expect.insert(expect.end(), 4, 0xEE);

    std::fill(out.begin(), out.end(), 0xEE);
    VQ_SVACDEC_crypto_decrypt(ctx, out.data(), c.data(), 20);
    EXPECT_EQ(to_hex(out), to_hex(expect));

    // In place gives the same.
    std::vector<uint8_t> inplace = c;
    inplace.resize(24, 0xEE);
    VQ_SVACDEC_crypto_decrypt(ctx, inplace.data(), inplace.data(), 20);
    EXPECT_EQ(to_hex(inplace), to_hex(expect));
    VQ_SVACDEC_crypto_close(ctx);
}

TEST(CryptoContext, LessThanOneBlock) {
    SvacCipherCtx *ctx = open_with_key(2, kZeroKey128);
    const uint8_t one = 0x80;
    uint8_t out[3] = {0, 0xEE, 0xEE};
    VQ_SVACDEC_crypto_encrypt(ctx, out, &one, 1);
    EXPECT_EQ(to_hex(out, 3), "3aeeee");
    VQ_SVACDEC_crypto_close(ctx);

    // DES: 5 bytes are one zero-padded block; FIPS 81's "Now is t" prefix.
    ctx = open_with_key(1, "0123456789abcdef");
    const uint8_t now[5] = {'N', 'o', 'w', ' ', 'i'};
    uint8_t d[6] = {};
    d[5] = 0xEE;
    VQ_SVACDEC_crypto_encrypt(ctx, d, now, 5);
    SvacCipherCtx *ref = open_with_key(1, "0123456789abcdef");
    const uint8_t padded[8] = {'N', 'o', 'w', ' ', 'i', 0, 0, 0};
    uint8_t full[8];
    VQ_SVACDEC_crypto_encrypt(ref, full, padded, 8);
    EXPECT_EQ(to_hex(d, 5), to_hex(full, 5));
    EXPECT_EQ(d[5], 0xEE);
    VQ_SVACDEC_crypto_close(ref);

    // Nothing at all: nothing written.
    VQ_SVACDEC_crypto_decrypt(ctx, d, now, 0);
    VQ_SVACDEC_crypto_decrypt(ctx, d, now, -4);
    EXPECT_EQ(d[5], 0xEE);
    VQ_SVACDEC_crypto_close(ctx);
}

TEST(CryptoContext, KeyLengthMessages) {
    SvacCipherCtx *aes = VQ_SVACDEC_crypto_open(2);
    const uint8_t key[64] = {};
    testing::internal::CaptureStdout();
    VQ_SVACDEC_crypto_set_key(aes, key, 20);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "AES: key len 20 error, must 16, 24 or 32 bytes\n");
    for (int len : {16, 24, 32}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(VQ_SVACDEC_crypto_set_key(aes, key, len), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    }
    VQ_SVACDEC_crypto_close(aes);

    SvacCipherCtx *des = VQ_SVACDEC_crypto_open(1);
    const uint8_t dk[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    testing::internal::CaptureStdout();
    VQ_SVACDEC_crypto_set_key(des, dk, 16);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "DES: key len 16 error\n");
    const uint8_t now[8] = {'N', 'o', 'w', ' ', 'i', 's', ' ', 't'};
    uint8_t c[8];
    VQ_SVACDEC_crypto_encrypt(des, c, now, 8);
    EXPECT_EQ(to_hex(c, 8), "3fa40e8a984d4815");
    VQ_SVACDEC_crypto_close(des);
}
