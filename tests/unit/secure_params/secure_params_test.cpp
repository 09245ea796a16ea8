// The security parameter set parser and the contexts it opens, driven
// directly over a bit reader.
#include "decoder/secure_params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bitwriter.h"
#include "decoder/decoder.h"
#include "security/crypto.h"
#include "security_writer.h"
#include "svacdec.h"

using svacenc::BitWriter;
using svacenc::SecurityParams;

namespace {

class SecureParams : public testing::Test {
protected:
    void SetUp() override {
        VQ_SVAC_Dec_Init(0);
        dec_ = static_cast<SvacDecoder *>(VQ_SVAC_Dec_Open());
        ASSERT_NE(dec_, nullptr);
    }
    void TearDown() override { VQ_SVAC_Dec_Close(dec_); }

    // Parses the given bits (without stop bit) and returns what was printed.
    std::string parse(const BitWriter &bits) {
        payload_ = bits.bytes();
        payload_.resize(payload_.size() + 8, 0);
        svac_br_init(&dec_->br, payload_.data(), static_cast<int32_t>(bits.bit_count()));
        testing::internal::CaptureStdout();
        VQ_SVACDEC_decode_secure_parameter_set(dec_);
        return testing::internal::GetCapturedStdout();
    }

    std::string parse(const SecurityParams &sp) {
        BitWriter bw;
        svacenc::write_security_params(bw, sp);
        return parse(bw);
    }

    SvacDecoder *dec_ = nullptr;
    std::vector<uint8_t> payload_;
};

SecurityParams aes_on() {
    SecurityParams sp;
    sp.encryption_flag = true;
    sp.encryption_type = 2;
    return sp;
}

}  // namespace

TEST_F(SecureParams, OpenedStateHasDefaultKeyAndNoContexts) {
    const SvacSecurityState &s = dec_->sec;
    EXPECT_EQ(s.cipher, nullptr);
    EXPECT_EQ(s.hash1, nullptr);
    EXPECT_EQ(s.hash2, nullptr);
    EXPECT_EQ(s.sign, nullptr);
    EXPECT_EQ(s.open_cipher_type, -1);
    EXPECT_EQ(s.open_hash_type, -1);
    EXPECT_EQ(s.open_sign_type, -1);
    EXPECT_EQ(s.key_len, 16u);
    EXPECT_EQ(std::memcmp(s.key, "svac default key", 16), 0);
    for (int i = 16; i < 64; i++) EXPECT_EQ(s.key[i], 0) << i;
}

TEST_F(SecureParams, FieldsInSyntaxOrder) {
    // Hand-laid bits: 1 1 | 0010 | 0011 | 1 0 1 1 | 0101 | 00000000 | 11111111
    BitWriter bw;
    bw.put(0b11, 2);
    bw.put(2, 4);
    bw.put(3, 4);
    bw.put(0b1011, 4);
    bw.put(5, 4);
    bw.put(0x00, 8);
    bw.put(0xFF, 8);
    parse(bw);
    const SvacSecurityState &s = dec_->sec;
    EXPECT_EQ(s.encryption_flag, 1);
    EXPECT_EQ(s.authentication_flag, 1);
    EXPECT_EQ(s.encryption_type, 2);
    EXPECT_EQ(s.hash_type, 3);
    EXPECT_EQ(s.auth_flags[0], 1);
    EXPECT_EQ(s.auth_flags[1], 0);
    EXPECT_EQ(s.auth_flags[2], 1);
    EXPECT_EQ(s.auth_flags[3], 1);
    EXPECT_EQ(s.sign_type, 5);
    EXPECT_EQ(s.sign_param[0], 1);
    EXPECT_EQ(s.sign_param[1], 256);
}

TEST_F(SecureParams, AbsentFieldsKeepTheirValues) {
    SecurityParams sp = aes_on();
    sp.authentication_flag = true;
    sp.hash_type = 4;
    sp.auth_flags[2] = true;
    sp.sign_type = 7;
    sp.sign_param[0] = 9;
    sp.sign_param[1] = 200;
    parse(sp);
    // Both flags off: nothing else is read.
    BitWriter off;
    off.put(0, 2);
    parse(off);
    const SvacSecurityState &s = dec_->sec;
    EXPECT_EQ(s.encryption_flag, 0);
    EXPECT_EQ(s.authentication_flag, 0);
    EXPECT_EQ(s.encryption_type, 2);
    EXPECT_EQ(s.hash_type, 4);
    EXPECT_EQ(s.auth_flags[2], 1);
    EXPECT_EQ(s.sign_type, 7);
    EXPECT_EQ(s.sign_param[0], 9);
    EXPECT_EQ(s.sign_param[1], 200);
    // Sign type 0 reads no parameters.
    SecurityParams sp0;
    sp0.authentication_flag = true;
    sp0.sign_type = 0;
    parse(sp0);
    EXPECT_EQ(dec_->sec.sign_param[0], 9);
    EXPECT_EQ(dec_->sec.sign_param[1], 200);
}

TEST_F(SecureParams, AesWithDefaultKeyOpensCipher) {
    EXPECT_EQ(parse(aes_on()), "");
    ASSERT_NE(dec_->sec.cipher, nullptr);
    EXPECT_EQ(dec_->sec.open_cipher_type, 2);
    // The installed key is the default one: FIPS-197-checked AES-128 under
    // "svac default key" agrees with the context.
    SvacCipherCtx *ref = VQ_SVACDEC_crypto_open(2);
    VQ_SVACDEC_crypto_set_key(ref, reinterpret_cast<const uint8_t *>("svac default key"), 16);
    uint8_t in[16] = {1, 2, 3}, a[16], b[16];
    VQ_SVACDEC_crypto_decrypt(ref, a, in, 16);
    VQ_SVACDEC_crypto_decrypt(dec_->sec.cipher, b, in, 16);
    EXPECT_EQ(std::memcmp(a, b, 16), 0);
    VQ_SVACDEC_crypto_close(ref);
}

TEST_F(SecureParams, DesWithSixteenByteKeyComplains) {
    SecurityParams sp = aes_on();
    sp.encryption_type = 1;
    EXPECT_EQ(parse(sp), "DES: key len 16 error\n");
    EXPECT_NE(dec_->sec.cipher, nullptr);
    EXPECT_EQ(dec_->sec.open_cipher_type, 1);
}

TEST_F(SecureParams, UnimplementedCipherNumbers) {
    SecurityParams sp = aes_on();
    sp.encryption_type = 0;
    EXPECT_EQ(parse(sp), "unimplemented encryption type: 0\n");
    EXPECT_EQ(dec_->sec.cipher, nullptr);
    EXPECT_EQ(dec_->sec.open_cipher_type, -1);
    // The open type is unchanged, so the same set complains again.
    EXPECT_EQ(parse(sp), "unimplemented encryption type: 0\n");
    for (int t = 3; t <= 15; t++) {
        sp.encryption_type = t;
        EXPECT_EQ(parse(sp), "") << t;
        EXPECT_EQ(dec_->sec.cipher, nullptr) << t;
    }
}

TEST_F(SecureParams, SwitchingToAnUnknownCipherDropsTheOpenOne) {
    parse(aes_on());
    ASSERT_NE(dec_->sec.cipher, nullptr);
    SecurityParams sp = aes_on();
    sp.encryption_type = 3;
    parse(sp);
    EXPECT_EQ(dec_->sec.cipher, nullptr);
    EXPECT_EQ(dec_->sec.open_cipher_type, 2);
}

TEST_F(SecureParams, FailedCipherEndsBeforeAuthentication) {
    SecurityParams sp = aes_on();
    sp.encryption_type = 0;
    sp.authentication_flag = true;
    sp.hash_type = 1;
    sp.sign_type = 1;
    EXPECT_EQ(parse(sp), "unimplemented encryption type: 0\n");
    EXPECT_EQ(dec_->sec.hash1, nullptr);
    EXPECT_EQ(dec_->sec.open_hash_type, -1);
    EXPECT_EQ(dec_->sec.open_sign_type, -1);
}

TEST_F(SecureParams, RepeatedTypeKeepsInstalledKey) {
    parse(aes_on());
    SvacCipherCtx *first = dec_->sec.cipher;
    uint8_t probe[16] = {9}, before[16], after[16];
    VQ_SVACDEC_crypto_decrypt(first, before, probe, 16);
    const uint8_t other[16] = {0xAA};
    VQ_SVAC_Set_Key(dec_, other, 16);
    parse(aes_on());
    EXPECT_EQ(dec_->sec.cipher, first);
    VQ_SVACDEC_crypto_decrypt(dec_->sec.cipher, after, probe, 16);
    EXPECT_EQ(std::memcmp(before, after, 16), 0);
    // Encryption off leaves the cipher open; on again with the same type
    // reuses it.
    SecurityParams off;
    parse(off);
    EXPECT_EQ(dec_->sec.cipher, first);
    parse(aes_on());
    EXPECT_EQ(dec_->sec.cipher, first);
    // A different type installs the key set since.
    const uint8_t des_key[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    VQ_SVAC_Set_Key(dec_, des_key, 8);
    SecurityParams des = aes_on();
    des.encryption_type = 1;
    EXPECT_EQ(parse(des), "");
    // FIPS 81: "Now is t" enciphers to 3fa40e8a984d4815.
    const uint8_t c[8] = {0x3f, 0xa4, 0x0e, 0x8a, 0x98, 0x4d, 0x48, 0x15};
    uint8_t p[8];
    VQ_SVACDEC_crypto_decrypt(dec_->sec.cipher, p, c, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(p), 8), "Now is t");
}

TEST_F(SecureParams, DigestAndSignatureContexts) {
    SecurityParams sp;
    sp.authentication_flag = true;
    sp.hash_type = 4;
    sp.sign_type = 1;
    sp.sign_param[0] = 3;
    EXPECT_EQ(parse(sp), "unimplemented sign type: 1\n");
    ASSERT_NE(dec_->sec.hash1, nullptr);
    ASSERT_NE(dec_->sec.hash2, nullptr);
    EXPECT_EQ(VQ_SVACDEC_hash_digest_size(dec_->sec.hash1), 48);
    EXPECT_EQ(VQ_SVACDEC_hash_digest_size(dec_->sec.hash2), 48);
    EXPECT_EQ(dec_->sec.open_hash_type, 4);
    EXPECT_EQ(dec_->sec.sign, nullptr);
    EXPECT_EQ(dec_->sec.open_sign_type, 1);
    // Same choices again: nothing reopened, nothing printed.
    SvacHashCtx *h1 = dec_->sec.hash1;
    EXPECT_EQ(parse(sp), "");
    EXPECT_EQ(dec_->sec.hash1, h1);
    // Another digest replaces both contexts.
    sp.hash_type = 0;
    EXPECT_EQ(parse(sp), "");
    EXPECT_EQ(VQ_SVACDEC_hash_digest_size(dec_->sec.hash1), 16);
    EXPECT_EQ(VQ_SVACDEC_hash_digest_size(dec_->sec.hash2), 16);
    // Sign type 0 is named unimplemented too; 3 to 15 silently give none.
    sp.sign_type = 0;
    EXPECT_EQ(parse(sp), "unimplemented sign type: 0\n");
    sp.sign_type = 9;
    EXPECT_EQ(parse(sp), "");
    EXPECT_EQ(dec_->sec.open_sign_type, 9);
}

TEST_F(SecureParams, UnimplementedDigestEndsTheProcedure) {
    SecurityParams sp;
    sp.authentication_flag = true;
    sp.hash_type = 6;
    sp.sign_type = 1;
    EXPECT_EQ(parse(sp), "unimplemented hash type: 6\n");
    EXPECT_EQ(dec_->sec.hash1, nullptr);
    EXPECT_EQ(dec_->sec.hash2, nullptr);
    EXPECT_EQ(dec_->sec.open_hash_type, -1);
    EXPECT_EQ(dec_->sec.open_sign_type, -1);  // the signature step was not reached
    sp.hash_type = 12;
    EXPECT_EQ(parse(sp), "");
    EXPECT_EQ(dec_->sec.hash1, nullptr);
    // A working digest after an open one was refused: the old pair is kept
    // until a new one opens.
    sp.hash_type = 1;
    parse(sp);
    SvacHashCtx *h1 = dec_->sec.hash1;
    ASSERT_NE(h1, nullptr);
    sp.hash_type = 6;
    parse(sp);
    EXPECT_EQ(dec_->sec.hash2, nullptr);
    EXPECT_EQ(dec_->sec.hash1, h1);
    EXPECT_EQ(dec_->sec.open_hash_type, 1);
}
