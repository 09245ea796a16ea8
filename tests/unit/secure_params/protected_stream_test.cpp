// Protected streams through the host interface: security parameter sets,
// enciphered units, keys, missing ciphers, damaged sets, and the digest and
// signature contexts a set opens.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_decoder.h"
#include "security/crypto.h"
#include "security_writer.h"
#include "syntax_writer.h"

using svacenc::BitWriter;
using svacenc::CipherKey;
using svacenc::SecurityParams;
using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

namespace {

const svactest::TimeExt kTime{13, 47, 59, 12345, true, 2026, 11, 30, 0xA5};

// The time extension, then (with filler) an unknown identifier whose bytes
// the extension loop abandons unread.
Bytes time_payload(const Bytes &filler = {}) {
    BitWriter bw;
    svactest::put_time_ext(bw, kTime);
    bw.put(filler.empty() ? 0x80 : 0x7F, 8);
    for (uint8_t b : filler) bw.put(b, 8);
    bw.put_trailing_bits();
    return bw.take();
}

Bytes finish(BitWriter bw) {
    bw.put_trailing_bits();
    return bw.take();
}

Bytes sec_payload(const SecurityParams &sp) {
    BitWriter bw;
    svacenc::write_security_params(bw, sp);
    return finish(bw);
}

SecurityParams cipher_on(int type) {
    SecurityParams sp;
    sp.encryption_flag = true;
    sp.encryption_type = type;
    return sp;
}

void add(Bytes &s, int type, const Bytes &payload, bool marked = false) {
    svacenc::NalHeader h;
    h.type = type;
    h.encrypted = marked;
    svacenc::append_nal(s, h, payload);
}

void add_enc(Bytes &s, int type, const Bytes &payload, const CipherKey &k) {
    svacenc::NalHeader h;
    h.type = type;
    svacenc::append_encrypted_nal(s, h, payload, k);
}

// A closing unit of an ignored type, so the unit before it ends at a start
// code as inside a real stream.
void close_stream(Bytes &s) { add(s, 0, {0x80}); }

Bytes text(const char *t) { return Bytes(t, t + std::strlen(t)); }

bool shows_time(const SvacDecExtInfo &e) {
    return e.flags == 2 && e.hour == kTime.hour && e.minute == kTime.minute && e.second == kTime.second &&
           e.time_fraction == kTime.fraction && e.year == kTime.year && e.month == kTime.month &&
           e.day == kTime.day && e.time_extra == kTime.extra;
}

// A set switching `type` on, then the time extension enciphered with `k`.
Bytes protected_time(int type, const CipherKey &k, const Bytes &plain = time_payload()) {
    Bytes s;
    add(s, 9, sec_payload(cipher_on(type)));
    add_enc(s, 5, plain, k);
    close_stream(s);
    return s;
}

}  // namespace

TEST(Protected, CiphersAndKeys) {
    struct Case {
        int type;
        Bytes host_key;  // empty: the built-in key
        Bytes stream_key;
        bool readable;
        const char *printed;
    } cases[] = {
        {2, Bytes(16, 0x31), Bytes(16, 0x31), true, ""},
        {2, Bytes(32, 0x33), Bytes(32, 0x33), true, ""},
        {2, {}, text("svac default key"), true, ""},
        {1,
         {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1},
         {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1},
         true,
         ""},
        // The built-in 16-byte key: DES takes its first 8 bytes.
        {1, {}, text("svac def"), true, "DES: key len 16 error\n"},
        {1,
         {0x1F, 0x1F, 0x1F, 0x1F, 0x0E, 0x0E, 0x0E, 0x0E},
         {0x1F, 0x1F, 0x1F, 0x1F, 0x0E, 0x0E, 0x0E, 0x0E},
         true,
         "DES: weak key was set\n"},
        {2, text("the host's key!!"), text("another key....."), false, ""},
        {1, text("host key"), text("other ke"), false, ""},
    };
    for (const Case &c : cases) {
        HostDecoder d;
        if (!c.host_key.empty())
            VQ_SVAC_Set_Key(d.handle(), c.host_key.data(), static_cast<uint32_t>(c.host_key.size()));
        testing::internal::CaptureStdout();  // the generator prints its own key messages
        const Bytes s = protected_time(c.type, {c.type, c.stream_key});
        testing::internal::GetCapturedStdout();
        std::string printed;
        EXPECT_GE(d.decode(s, &printed), 0);
        EXPECT_EQ(printed, c.printed) << c.type << " " << c.stream_key.size();
        EXPECT_EQ(shows_time(d.ext), c.readable) << c.type << " " << c.stream_key.size();
    }
}

// The key is installed when a cipher opens: a set repeating the open type
// keeps it, another type installs the key set since.
TEST(Protected, KeyIsInstalledWhenTheCipherOpens) {
    HostDecoder d;
    VQ_SVAC_Set_Key(d.handle(), text("first key 16 byt").data(), 16);
    Bytes s;
    add(s, 9, sec_payload(cipher_on(2)));
    d.decode(s);
    VQ_SVAC_Set_Key(d.handle(), text("second key 16 bt").data(), 16);
    d.decode(protected_time(2, {2, text("first key 16 byt")}));
    EXPECT_TRUE(shows_time(d.ext));
    const Bytes des_key = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    VQ_SVAC_Set_Key(d.handle(), des_key.data(), 8);
    d.decode(protected_time(1, {1, des_key}));
    EXPECT_TRUE(shows_time(d.ext));
}

TEST(Protected, MarkedUnitsWithoutACipherAreParsedAsTheyAre) {
    const struct {
        int type;  // -1: no security parameter set at all
        const char *printed;
    } cases[] = {{-1, ""}, {0, "unimplemented encryption type: 0\n"}, {3, ""}, {15, ""}};
    for (const auto &c : cases) {
        HostDecoder d;
        Bytes s;
        if (c.type >= 0) add(s, 9, sec_payload(cipher_on(c.type)));
        add(s, 5, time_payload(), true);
        close_stream(s);
        std::string printed;
        d.decode(s, &printed);
        EXPECT_EQ(printed, c.printed) << c.type;
        EXPECT_TRUE(shows_time(d.ext)) << c.type;
    }
}

// The driver's view of the last unit: its deciphered payload and bit count.
void expect_payload(SvacDecoder *d, const Bytes &plain) {
    EXPECT_EQ(d->br.size_in_bits, 8 * static_cast<int>(plain.size()) - __builtin_ctz(plain.back()) - 1);
    ASSERT_NE(d->nal_buffer, nullptr);
    EXPECT_EQ(std::memcmp(d->nal_buffer, plain.data(), plain.size()), 0);
}

// Ciphertext ending in zero bytes loses them to the start-code search; the
// decoder's zero-padded tail restores them. With the stop bit in the last
// byte of a block the generator must add a block. Ciphertext needing
// emulation prevention: a block enciphering to a value ending in 00 00,
// followed by one starting with a byte of at most 3.
TEST(Protected, CiphertextEndingInZeroBytesOrNeedingEscapes) {
    const CipherKey k{2, text("svac default key")};
    SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(2);
    VQ_SVACDEC_crypto_set_key(ctx, k.key.data(), 16);
    auto cipher = [&](Bytes b) {
        b.resize((b.size() + 15) / 16 * 16, 0);
        VQ_SVACDEC_crypto_encrypt(ctx, b.data(), b.data(), static_cast<int32_t>(b.size()));
        return b;
    };
    std::vector<Bytes> plains;
    // The time extension and identifier take 13 bytes, the stop bit one:
    // 6 filler bytes end the payload inside a block, 18 at its end.
    for (size_t filler_len : {6u, 18u}) {
        for (uint32_t c = 1; c < 100000; c++) {
            Bytes filler(filler_len, 0x11);
            for (size_t i = 0; i < 3; i++) filler[filler_len - 1 - i] = static_cast<uint8_t>(c >> (8 * i));
            if (cipher(time_payload(filler)).back() == 0) {
                plains.push_back(time_payload(filler));
                break;
            }
        }
    }
    auto find_block = [&](auto pred) {
        for (uint32_t c = 0; c < (1u << 24); c++) {
            Bytes in(16, 0x7F);
            std::memcpy(in.data() + 1, &c, 4);
            if (pred(cipher(in))) return in;
        }
        return Bytes();
    };
    Bytes filler = {1, 2, 3};  // with the 13 bytes before it, block 0 is full
    const Bytes a = find_block([](const Bytes &o) { return o[14] == 0 && o[15] == 0; });
    const Bytes b = find_block([](const Bytes &o) { return o[0] <= 3; });
    filler.insert(filler.end(), a.begin(), a.end());
    filler.insert(filler.end(), b.begin(), b.end());
    plains.push_back(time_payload(filler));
    VQ_SVACDEC_crypto_close(ctx);
    ASSERT_EQ(plains.size(), 3u);
    EXPECT_EQ(plains[0].size(), 20u);
    EXPECT_EQ(plains[1].size(), 32u);

    for (const Bytes &plain : plains) {
        const Bytes s = protected_time(2, k, plain);
        const Bytes escape = {0, 0, 3};
        if (&plain == &plains[2]) {
            EXPECT_NE(std::search(s.begin(), s.end(), escape.begin(), escape.end()), s.end());
        }
        HostDecoder d;
        d.decode(s);
        EXPECT_TRUE(shows_time(d.ext)) << plain.size();
        expect_payload(d.state(), plain);
    }
}

// Authentication opens two digest contexts and a signature context; the same
// choices again reopen nothing, an unknown digest ends the procedure before
// the signature and keeps the pair open before it.
TEST(Protected, DigestAndSignatureContexts) {
    HostDecoder d;
    const SvacSecurityState &sec = d.state()->sec;
    auto send = [&](int hash, int sign) {
        SecurityParams p;
        p.authentication_flag = true;
        p.hash_type = hash;
        p.sign_type = sign;
        Bytes s;
        add(s, 9, sec_payload(p));
        std::string printed;
        d.decode(s, &printed);
        return printed;
    };
    EXPECT_EQ(send(4, 1), "unimplemented sign type: 1\n");
    EXPECT_EQ(VQ_SVACDEC_hash_digest_size(sec.hash2), 48);
    SvacHashCtx *h1 = sec.hash1;
    EXPECT_EQ(send(4, 1), "");
    EXPECT_EQ(sec.hash1, h1);
    EXPECT_EQ(send(0, 9), "");
    EXPECT_EQ(VQ_SVACDEC_hash_digest_size(sec.hash1), 16);
    h1 = sec.hash1;
    EXPECT_EQ(send(6, 0), "unimplemented hash type: 6\n");
    EXPECT_EQ(sec.hash1, h1);
    EXPECT_EQ(sec.hash2, nullptr);
    EXPECT_EQ(sec.open_sign_type, 9);  // the signature step was not reached
}
