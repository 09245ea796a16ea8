// DES against the published known-answer tables (FIPS 81 appendix B, the
// SP 800-17 / NBS 500-20 variable-plaintext, variable-key and substitution
// table tests) and the weak and semi-weak keys of FIPS 74.
#include "security/des.h"

#include <gtest/gtest.h>

#include "hex_util.h"

using sectest::from_hex;
using sectest::to_hex;

namespace {

struct Vector {
    const char *key, *plain, *cipher;
};

const Vector kVectors[] = {
    // FIPS 81 appendix B: "Now is t" under 0123456789abcdef.
    {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    // Variable plaintext under the weak key 0101010101010101.
    {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
    {"0101010101010101", "4000000000000000", "dd7f121ca5015619"},
    {"0101010101010101", "2000000000000000", "2e8653104f3834ea"},
    // Variable key, zero plaintext.
    {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
    {"4001010101010101", "0000000000000000", "0eec1487dd8c26d5"},
    {"2001010101010101", "0000000000000000", "7ad16ffb79c45926"},
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
};

// FIPS 74: four weak keys, then six pairs of semi-weak keys.
const char *kWeak[] = {"0101010101010101", "fefefefefefefefe", "1f1f1f1f0e0e0e0e",
                       "e0e0e0e0f1f1f1f1"};
const char *kSemiWeak[][2] = {
    {"011f011f010e010e", "1f011f010e010e01"}, {"01e001e001f101f1", "e001e001f101f101"},
    {"01fe01fe01fe01fe", "fe01fe01fe01fe01"}, {"1fe01fe00ef10ef1", "e01fe01ff10ef10e"},
    {"1ffe1ffe0efe0efe", "fe1ffe1ffe0efe0e"}, {"e0fee0fef1fef1fe", "fee0fee0fef1fef1"},
};

DesKey make_key(const std::string &hex) {
    const auto k = from_hex(hex);
    DesKey dk{};
    testing::internal::CaptureStdout();  // weak keys print a warning
    des_set_key(&dk, k.data(), 8);
    testing::internal::GetCapturedStdout();
    return dk;
}

std::vector<uint8_t> enc(const DesKey &k, std::vector<uint8_t> b) {
    des_encrypt_block(&k, b.data(), b.data());
    return b;
}

std::vector<uint8_t> dec(const DesKey &k, std::vector<uint8_t> b) {
    des_decrypt_block(&k, b.data(), b.data());
    return b;
}

}  // namespace

TEST(Des, KnownAnswerTables) {
    for (const Vector &v : kVectors) {
        const DesKey k = make_key(v.key);
        EXPECT_EQ(to_hex(enc(k, from_hex(v.plain))), v.cipher) << "key " << v.key;
        EXPECT_EQ(to_hex(dec(k, from_hex(v.cipher))), v.plain) << "key " << v.key;
    }
}

TEST(Des, ParityBitsDoNotMatter) {
    // Flipping the low bit of every key byte leaves the schedule alone.
    auto key = from_hex(kVectors[0].key);
    for (uint8_t &b : key) b ^= 1;
    DesKey k{};
    des_set_key(&k, key.data(), 8);
    EXPECT_EQ(to_hex(enc(k, from_hex(kVectors[0].plain))), kVectors[0].cipher);
}

TEST(Des, WeakKeysEncipherTwiceToIdentityAndWarn) {
    const auto block = from_hex("0123456789abcdef");
    for (const char *w : kWeak) {
        const auto key = from_hex(w);
        EXPECT_TRUE(des_is_weak_key(key.data())) << w;
        DesKey k{};
        testing::internal::CaptureStdout();
        EXPECT_EQ(des_set_key(&k, key.data(), 8), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "DES: weak key was set\n") << w;
        // Installed anyway: a weak key's encryption is its own inverse.
        EXPECT_EQ(enc(k, enc(k, block)), block) << w;
        EXPECT_NE(enc(k, block), block) << w;
    }
}

TEST(Des, SemiWeakPairsUndoEachOther) {
    const auto block = from_hex("5cd54ca83def57da");
    for (const auto &pair : kSemiWeak) {
        for (int i = 0; i < 2; i++) {
            const auto key = from_hex(pair[i]);
            EXPECT_TRUE(des_is_weak_key(key.data())) << pair[i];
            testing::internal::CaptureStdout();
            DesKey k{};
            des_set_key(&k, key.data(), 8);
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "DES: weak key was set\n");
        }
        const DesKey k1 = make_key(pair[0]), k2 = make_key(pair[1]);
        EXPECT_EQ(enc(k2, enc(k1, block)), block) << pair[0];
    }
}

TEST(Des, OrdinaryKeysAreNotWeak) {
    for (const Vector &v : kVectors) {
        const auto key = from_hex(v.key);
        if (std::string(v.key) == "0101010101010101") continue;
        EXPECT_FALSE(des_is_weak_key(key.data())) << v.key;
        testing::internal::CaptureStdout();
        DesKey k{};
        des_set_key(&k, key.data(), 8);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << v.key;
    }
    // Nearly weak: one effective key bit away from an all-zero key.
    const auto near = from_hex("0101010101010180");
    EXPECT_FALSE(des_is_weak_key(near.data()));
}

TEST(Des, WrongKeyLengthUsesFirstEightBytes) {
    const auto full = from_hex(
        "0123456789abcdef"
        "fedcba9876543210");
    DesKey k{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(des_set_key(&k, full.data(), 16), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "DES: key len 16 error\n");
    EXPECT_EQ(to_hex(enc(k, from_hex("4e6f772069732074"))), "3fa40e8a984d4815");

    // A shorter key is completed with zero bytes: "01 23 45 67" behaves as
    // 0123456700000000, whose effective bits equal those of 0123456701010101.
    const DesKey ref = make_key("0123456701010101");
    DesKey s{};
    testing::internal::CaptureStdout();
    des_set_key(&s, full.data(), 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "DES: key len 4 error\n");
    const auto blk = from_hex("0011223344556677");
    EXPECT_EQ(enc(s, blk), enc(ref, blk));
}
