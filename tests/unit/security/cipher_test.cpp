// The block ciphers through the generic context, which applies them block by
// block (electronic codebook): FIPS-197 and SP 800-38A for AES, FIPS 81 and
// the SP 800-17 known-answer tables for DES, the weak keys of FIPS 74, the
// zero-padded partial tail, and the messages.
#include <gtest/gtest.h>

#include <string>

#include "hex_util.h"
#include "security/crypto.h"
#include "security/des.h"

using sectest::from_hex;
using sectest::to_hex;

namespace {

enum { DES = 1, AES = 2 };

struct Vector {
    const char *key, *plain, *cipher;
};

// Opens `type` with the key; the key's messages are captured into *printed.
SvacCipherCtx *open_cipher(int type, const std::string &key_hex, std::string *printed = nullptr) {
    SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(type);
    const auto key = from_hex(key_hex);
    testing::internal::CaptureStdout();
    VQ_SVACDEC_crypto_set_key(ctx, key.data(), static_cast<int32_t>(key.size()));
    const std::string out = testing::internal::GetCapturedStdout();
    if (printed) *printed = out;
    return ctx;
}

std::string run(SvacCipherCtx *ctx, bool encrypt, const std::string &hex) {
    auto buf = from_hex(hex);
    const auto n = static_cast<int32_t>(buf.size());
    if (encrypt)
        VQ_SVACDEC_crypto_encrypt(ctx, buf.data(), buf.data(), n);  // in place
    else
        VQ_SVACDEC_crypto_decrypt(ctx, buf.data(), buf.data(), n);
    return to_hex(buf);
}

void check_vectors(int type, const std::vector<Vector> &vs) {
    for (const Vector &v : vs) {
        SvacCipherCtx *ctx = open_cipher(type, v.key);
        EXPECT_EQ(run(ctx, true, v.plain), v.cipher) << "key " << v.key;
        EXPECT_EQ(run(ctx, false, v.cipher), v.plain) << "key " << v.key;
        VQ_SVACDEC_crypto_close(ctx);
    }
}

const char *kSp38aPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";

}  // namespace

TEST(Aes, Fips197AndSp800_38aEcb) {
    check_vectors(AES, {
                           {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
                            "3925841d02dc09fbdc118597196a0b32"},
                           {"000102030405060708090a0b0c0d0e0f1011121314151617",
                            "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
                           {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                            "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
                           {"2b7e151628aed2a6abf7158809cf4f3c", kSp38aPlain,
                            "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
                            "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4"},
                           {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", kSp38aPlain,
                            "bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eef"
                            "ef7afd2270e2e60adce0ba2face6444e9a4b41ba738d6c72fb16691603c18e0e"},
                           {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", kSp38aPlain,
                            "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
                            "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7"},
                       });
}

TEST(Des, Fips81AndKnownAnswerTables) {
    check_vectors(DES,
                  {
                      {"0123456789abcdef", "4e6f77206973207468652074696d6520666f7220616c6c20",
                       "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b53"},  // "Now is the time for all "
                      {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
                      {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
                      {"0101010101010101", "4000000000000000", "dd7f121ca5015619"},
                      {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
                      {"4001010101010101", "0000000000000000", "0eec1487dd8c26d5"},
                      // Substitution table test: together these reach every S-box entry.
                      {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
                      {"0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
                      {"07a1133e4a0b2686", "0248d43806f67172", "868ebb51cab4599a"},
                      {"3849674c2602319e", "51454b582ddf440a", "7178876e01f19b2a"},
                      {"04b915ba43feb5b6", "42fd443059577fa2", "af37fb421f8c4095"},
                      {"0113b970fd34f2ce", "059b5e0851cf143a", "86a560f10ec6d85b"},
                      {"0170f175468fb5e6", "0756d8e0774761d2", "0cd3da020021dc09"},
                      {"43297fad38e373fe", "762514b829bf486a", "ea676b2cb7db2b7a"},
                      {"07a7137045da2a16", "3bdd119049372802", "dfd64a815caf1a0f"},
                      {"04689104c2fd3b2f", "26955f6835af609a", "5c513c9c4886c088"},
                      {"37d06bb516cb7546", "164d5e404f275232", "0a2aeeae3ff4ab77"},
                      {"1f08260d1ac2465e", "6b056e18759f5cca", "ef1bf03e5dfa575a"},
                      {"584023641aba6176", "004bd6ef09176062", "88bf0db6d70dee56"},
                      {"025816164629b007", "480d39006ee762f2", "a1f9915541020b56"},
                      {"49793ebc79b3258f", "437540c8698f3cfa", "6fbf1cafcffd0556"},
                      {"4fb05e1515ab73a7", "072d43a077075292", "2f22e49bab7ca1ac"},
                      {"49e95d6d4ca229bf", "02fe55778117f12a", "5a6b612cc26cce4a"},
                      {"018310dc409b26d6", "1d9d5c5018f728c2", "5f4c038ed12b2e41"},
                      {"1c587f1c13924fef", "305532286d6f295a", "63fac0d034d9f793"},
                      // Parity bits do not count: 0123456789abcdef with every low bit flipped.
                      {"0122446688aaccee", "4e6f772069732074", "3fa40e8a984d4815"},
                  });
}

// FIPS 74: weak keys encipher twice to the identity, semi-weak pairs undo
// each other; all of them are installed with a warning.
TEST(Des, WeakAndSemiWeakKeys) {
    const std::string block = "5cd54ca83def57da";
    for (const char *w : {"0101010101010101", "fefefefefefefefe", "1f1f1f1f0e0e0e0e", "e0e0e0e0f1f1f1f1"}) {
        std::string printed;
        SvacCipherCtx *k = open_cipher(DES, w, &printed);
        EXPECT_EQ(printed, "DES: weak key was set\n") << w;
        EXPECT_EQ(run(k, true, run(k, true, block)), block) << w;
        VQ_SVACDEC_crypto_close(k);
    }
    const char *semi[][2] = {
        {"011f011f010e010e", "1f011f010e010e01"}, {"01e001e001f101f1", "e001e001f101f101"},
        {"01fe01fe01fe01fe", "fe01fe01fe01fe01"}, {"1fe01fe00ef10ef1", "e01fe01ff10ef10e"},
        {"1ffe1ffe0efe0efe", "fe1ffe1ffe0efe0e"}, {"e0fee0fef1fef1fe", "fee0fee0fef1fef1"},
    };
    for (const auto &pair : semi) {
        std::string p1, p2;
        SvacCipherCtx *a = open_cipher(DES, pair[0], &p1), *b = open_cipher(DES, pair[1], &p2);
        EXPECT_EQ(p1 + p2, "DES: weak key was set\nDES: weak key was set\n") << pair[0];
        EXPECT_EQ(run(b, true, run(a, true, block)), block) << pair[0];
        VQ_SVACDEC_crypto_close(a);
        VQ_SVACDEC_crypto_close(b);
    }
    for (const char *ordinary : {"0101010101010180", "7ca110454a1a6e57"}) {
        const auto key = from_hex(ordinary);
        EXPECT_FALSE(des_is_weak_key(key.data())) << ordinary;
    }
}

// Lengths other than 8: the first 8 bytes, zero-filled when shorter
// (0123456700000000 has the effective bits of 0123456701010101).
TEST(Des, OtherKeyLengths) {
    std::string printed;
    SvacCipherCtx *k = open_cipher(DES, "0123456789abcdeffedcba9876543210", &printed);
    EXPECT_EQ(printed, "DES: key len 16 error\n");
    EXPECT_EQ(run(k, true, "4e6f772069732074"), "3fa40e8a984d4815");
    VQ_SVACDEC_crypto_close(k);
    k = open_cipher(DES, "01234567", &printed);
    EXPECT_EQ(printed, "DES: key len 4 error\n");
    SvacCipherCtx *ref = open_cipher(DES, "0123456701010101");
    EXPECT_EQ(run(k, true, "0011223344556677"), run(ref, true, "0011223344556677"));
    VQ_SVACDEC_crypto_close(k);
    VQ_SVACDEC_crypto_close(ref);
}

TEST(CipherContext, NumbersAndKeyMessages) {
    testing::internal::CaptureStdout();
    for (int t : {3, 15, -1}) EXPECT_EQ(VQ_SVACDEC_crypto_open(t), nullptr) << t;
    for (int t : {3, -1}) EXPECT_EQ(VQ_SVACDEC_sign_open(t), nullptr) << t;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(VQ_SVACDEC_crypto_open(0), nullptr);
    for (int t : {0, 1, 2}) EXPECT_EQ(VQ_SVACDEC_sign_open(t), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "unimplemented encryption type: 0\nunimplemented sign type: 0\n"
              "unimplemented sign type: 1\nunimplemented sign type: 2\n");
    for (const char *bad : {"", "0102", "000102030405060708090a0b0c0d0e0f10"}) {
        std::string printed;
        SvacCipherCtx *ctx = open_cipher(AES, bad, &printed);
        EXPECT_EQ(printed, "AES: key len " + std::to_string(std::string(bad).size() / 2) +
                               " error, must 16, 24 or 32 bytes\n");
        VQ_SVACDEC_crypto_close(ctx);
    }
    VQ_SVACDEC_crypto_close(nullptr);
    VQ_SVACDEC_sign_close(nullptr);
}

// A partial tail is enciphered as a block padded with zeros and only its own
// bytes are written. Under the zero AES-128 key the zero block gives
// 66e94bd4... and 80 00..00 gives 3ad78e72... (published known answers).
TEST(CipherContext, PartialTailIsZeroPaddedAndCut) {
    SvacCipherCtx *ctx = open_cipher(AES, std::string(32, '0'));
    std::vector<uint8_t> in(20, 0), out(24, 0xEE);
    in[16] = 0x80;
    VQ_SVACDEC_crypto_encrypt(ctx, out.data(), in.data(), 20);
    EXPECT_EQ(to_hex(out), "66e94bd4ef8a2c3b884cfa59ca342b2e3ad78e72eeeeeeee");
    const uint8_t one = 0x80;
    uint8_t three[3] = {0, 0xEE, 0xEE};
    VQ_SVACDEC_crypto_encrypt(ctx, three, &one, 1);
    EXPECT_EQ(to_hex(three, 3), "3aeeee");
    VQ_SVACDEC_crypto_decrypt(ctx, three, &one, 0);  // nothing at all: nothing written
    VQ_SVACDEC_crypto_decrypt(ctx, three, &one, -4);
    EXPECT_EQ(to_hex(three, 3), "3aeeee");
    // Deciphering the 20 bytes: the tail is one block operation on 3ad78e72
    // and twelve zeros, of which four bytes are kept.
    const std::string tail = run(ctx, false, "3ad78e72000000000000000000000000").substr(0, 8);
    EXPECT_EQ(run(ctx, false, "66e94bd4ef8a2c3b884cfa59ca342b2e3ad78e72"), std::string(32, '0') + tail);
    VQ_SVACDEC_crypto_close(ctx);
}
