// AES against FIPS-197 appendices B and C and the SP 800-38A ECB examples.
#include "security/aes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hex_util.h"

using sectest::from_hex;
using sectest::to_hex;

namespace {

struct Vector {
    const char *key, *plain, *cipher;
};

// FIPS-197 B (cipher example) and C.1-C.3 (example vectors).
const Vector kFips197[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
     "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
};

// SP 800-38A F.1.1/F.1.3/F.1.5: four blocks under each key size.
const char *kSp38aPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const Vector kSp38a[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c", kSp38aPlain,
     "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
     "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4"},
    {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", kSp38aPlain,
     "bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eef"
     "ef7afd2270e2e60adce0ba2face6444e9a4b41ba738d6c72fb16691603c18e0e"},
    {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", kSp38aPlain,
     "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
     "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7"},
};

void check_both_ways(const Vector &v) {
    const auto key = from_hex(v.key), plain = from_hex(v.plain), cipher = from_hex(v.cipher);
    AesKey k{};
    ASSERT_EQ(aes_set_key(&k, key.data(), static_cast<int32_t>(key.size())), 0);
    std::vector<uint8_t> enc(plain.size()), dec(plain.size());
    for (size_t i = 0; i < plain.size(); i += 16) {
        aes_encrypt_block(&k, plain.data() + i, enc.data() + i);
        aes_decrypt_block(&k, cipher.data() + i, dec.data() + i);
    }
    EXPECT_EQ(to_hex(enc), v.cipher) << "key " << v.key;
    EXPECT_EQ(to_hex(dec), v.plain) << "key " << v.key;
}

}  // namespace

TEST(Aes, Fips197Examples) {
    for (const Vector &v : kFips197) check_both_ways(v);
}

TEST(Aes, Sp800_38aEcbExamples) {
    for (const Vector &v : kSp38a) check_both_ways(v);
}

TEST(Aes, InPlaceBlockOperation) {
    const auto key = from_hex(kFips197[1].key);
    auto buf = from_hex(kFips197[1].plain);
    AesKey k{};
    aes_set_key(&k, key.data(), 16);
    aes_encrypt_block(&k, buf.data(), buf.data());
    EXPECT_EQ(to_hex(buf), kFips197[1].cipher);
    aes_decrypt_block(&k, buf.data(), buf.data());
    EXPECT_EQ(to_hex(buf), kFips197[1].plain);
}

TEST(Aes, RefusedKeyLengthsPrintAndInstallNothing) {
    const uint8_t key[40] = {1, 2, 3};
    for (int len : {0, 8, 15, 17, 20, 31, 33, 40, -1}) {
        AesKey k{};
        testing::internal::CaptureStdout();
        EXPECT_EQ(aes_set_key(&k, key, len), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "AES: key len " + std::to_string(len) + " error, must 16, 24 or 32 bytes\n");
        const AesKey zero{};
        EXPECT_EQ(std::memcmp(&k, &zero, sizeof(k)), 0) << len;
        // A context without a key still processes blocks without harm.
        uint8_t blk[16] = {}, out[16];
        aes_decrypt_block(&k, blk, out);
        aes_encrypt_block(&k, blk, out);
    }
}
