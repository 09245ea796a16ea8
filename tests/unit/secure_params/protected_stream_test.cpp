// Protected streams end to end through the host interface: security
// parameter sets, enciphered extension and parameter-set units, wrong keys,
// missing ciphers and damaged sets.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "bitwriter.h"
#include "decoder/decoder.h"
#include "nal_writer.h"
#include "security/crypto.h"
#include "security_writer.h"
#include "svacdec.h"

using svacenc::BitWriter;
using svacenc::CipherKey;
using svacenc::NalHeader;
using svacenc::SecurityParams;

namespace {

struct TimeStamp {
    uint32_t hour = 13, minute = 47, second = 59, fraction = 12345;
    bool date = true;
    uint32_t year = 26, month = 11, day = 30, extra = 0xA5;
};

// Time extension (identifier 4), then an unknown identifier and `filler`
// bytes that the extension loop abandons unread; no end marker is needed.
void put_time(BitWriter &bw, const TimeStamp &t, const std::vector<uint8_t> &filler = {}) {
    bw.put(4, 8);
    bw.put(0x5A5A5A5A, 32);
    bw.put(t.hour, 5);
    bw.put(t.minute, 6);
    bw.put(t.second, 6);
    bw.put(t.fraction, 14);
    bw.put1(t.date);
    if (t.date) {
        bw.put(t.year, 7);
        bw.put(t.month, 4);
        bw.put(t.day, 5);
    }
    bw.put(t.extra, 8);
    if (filler.empty()) {
        bw.put(0x80, 8);
    } else {
        bw.put(0x7F, 8);
        for (uint8_t b : filler) bw.put(b, 8);
    }
}

std::vector<uint8_t> finish(BitWriter bw) {
    bw.put_trailing_bits();
    return bw.take();
}

std::vector<uint8_t> time_payload(const TimeStamp &t = {},
                                  const std::vector<uint8_t> &filler = {}) {
    BitWriter bw;
    put_time(bw, t, filler);
    return finish(bw);
}

std::vector<uint8_t> sps_payload(int id, int mb_w, int mb_h) {
    BitWriter bw;
    bw.put(0x11, 8);
    bw.put(0x22, 8);
    bw.put_ue(id);
    bw.put(1, 2);  // 4:2:0
    bw.put_ue(0);
    bw.put_ue(0);
    bw.put_ue(mb_w - 1);
    bw.put_ue(mb_h - 1);
    bw.put(0b1000, 4);  // frame only; no regions, scalability or optional part
    return finish(bw);
}

std::vector<uint8_t> pps_payload(int id, int sps_id, int qp) {
    BitWriter bw;
    bw.put_ue(id);
    bw.put_ue(sps_id);
    bw.put1(true);
    bw.put(qp, 6);
    bw.put(0b101, 3);
    return finish(bw);
}

std::vector<uint8_t> sec_payload(const SecurityParams &sp) {
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

void add(std::vector<uint8_t> &s, int type, const std::vector<uint8_t> &payload,
         bool marked = false) {
    NalHeader h;
    h.type = type;
    h.encrypted = marked;
    svacenc::append_nal(s, h, payload);
}

void add_enc(std::vector<uint8_t> &s, int type, const std::vector<uint8_t> &payload,
             const CipherKey &k) {
    NalHeader h;
    h.type = type;
    svacenc::append_encrypted_nal(s, h, payload, k);
}

// A closing unit of an ignored type, so the unit before it ends at a start
// code as inside a real stream.
void close_stream(std::vector<uint8_t> &s) { add(s, 0, {0x80}); }

std::vector<uint8_t> bytes(const char *text) {
    return std::vector<uint8_t>(text, text + std::strlen(text));
}

struct Result {
    int32_t ret;
    SvacDecExtInfo ext;
    std::string printed;
};

class Protected : public testing::Test {
protected:
    void SetUp() override {
        VQ_SVAC_Dec_Init(0);
        handle_ = VQ_SVAC_Dec_Open();
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override { VQ_SVAC_Dec_Close(handle_); }

    SvacDecoder *dec() { return static_cast<SvacDecoder *>(handle_); }

    void set_key(const std::vector<uint8_t> &k) {
        VQ_SVAC_Set_Key(handle_, k.data(), static_cast<uint32_t>(k.size()));
    }

    Result decode(std::vector<uint8_t> stream) {
        SvacDecInput in{stream.data(), static_cast<int32_t>(stream.size()), 0};
        SvacDecOutput out{};
        Result r{};
        testing::internal::CaptureStdout();
        r.ret = VQ_SVAC_Dec_Decode(handle_, &in, &out, &r.ext);
        r.printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.got_picture, 0);
        return r;
    }

    void *handle_ = nullptr;
};

void expect_time(const SvacDecExtInfo &e, const TimeStamp &t = {}) {
    EXPECT_EQ(e.flags, 2u);
    EXPECT_EQ(e.hour, t.hour);
    EXPECT_EQ(e.minute, t.minute);
    EXPECT_EQ(e.second, t.second);
    EXPECT_EQ(e.time_fraction, t.fraction);
    EXPECT_EQ(e.year, t.year + 2000);
    EXPECT_EQ(e.month, t.month);
    EXPECT_EQ(e.day, t.day);
    EXPECT_EQ(e.time_extra, t.extra);
}

bool shows_time(const SvacDecExtInfo &e, const TimeStamp &t = {}) {
    return (e.flags & 2) && e.hour == t.hour && e.minute == t.minute && e.second == t.second &&
           e.time_fraction == t.fraction && e.time_extra == t.extra;
}

std::vector<uint8_t> stream_with(int type, const std::vector<uint8_t> &payload, const CipherKey &k,
                                 const SecurityParams &sp) {
    std::vector<uint8_t> s;
    add(s, 7, sps_payload(0, 4, 3));
    add(s, 9, sec_payload(sp));
    add_enc(s, type, payload, k);
    close_stream(s);
    return s;
}

}  // namespace

TEST_F(Protected, AesKeysOfAllLengthsFromTheHost) {
    for (size_t len : {16u, 24u, 32u}) {
        TearDown();
        SetUp();
        std::vector<uint8_t> key(len);
        for (size_t i = 0; i < len; i++) key[i] = static_cast<uint8_t>(0x30 + 7 * i);
        set_key(key);
        const Result r = decode(stream_with(5, time_payload(), {2, key}, cipher_on(2)));
        EXPECT_GE(r.ret, 0);
        EXPECT_EQ(r.printed, "");
        expect_time(r.ext);
    }
}

TEST_F(Protected, AesWithTheDefaultKey) {
    const Result r =
        decode(stream_with(5, time_payload(), {2, bytes("svac default key")}, cipher_on(2)));
    EXPECT_EQ(r.printed, "");
    expect_time(r.ext);
}

TEST_F(Protected, DesWithEightAndSixteenByteKeys) {
    const std::vector<uint8_t> key = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
    set_key(key);
    Result r = decode(stream_with(5, time_payload(), {1, key}, cipher_on(1)));
    EXPECT_EQ(r.printed, "");
    expect_time(r.ext);

    // The default 16-byte key: only its first 8 bytes count.
    TearDown();
    SetUp();
    r = decode(stream_with(5, time_payload(), {1, bytes("svac def")}, cipher_on(1)));
    EXPECT_EQ(r.printed, "DES: key len 16 error\n");
    expect_time(r.ext);
}

TEST_F(Protected, WeakDesKeyWarnsAndIsUsed) {
    const std::vector<uint8_t> key = {0x1F, 0x1F, 0x1F, 0x1F, 0x0E, 0x0E, 0x0E, 0x0E};
    set_key(key);
    std::vector<uint8_t> s;
    add(s, 9, sec_payload(cipher_on(1)));
    const Result warned = decode(s);
    EXPECT_EQ(warned.printed, "DES: weak key was set\n");
    s.clear();
    testing::internal::CaptureStdout();  // the generator installs the same key
    add_enc(s, 5, time_payload(), {1, key});
    testing::internal::GetCapturedStdout();
    close_stream(s);
    expect_time(decode(s).ext);
}

TEST_F(Protected, DateFlagZeroCarriesNoDate) {
    TimeStamp t;
    t.date = false;
    const Result r =
        decode(stream_with(5, time_payload(t), {2, bytes("svac default key")}, cipher_on(2)));
    EXPECT_EQ(r.ext.flags, 2u);
    EXPECT_EQ(r.ext.hour, t.hour);
    EXPECT_EQ(r.ext.time_fraction, t.fraction);
    EXPECT_EQ(r.ext.time_extra, t.extra);
}

TEST_F(Protected, WrongKeyGivesNoTimeAndNoHarm) {
    set_key(bytes("the host's key!!"));
    for (int type : {1, 2}) {
        const Result r = decode(
            stream_with(5, time_payload(), {type, bytes("another key.....")}, cipher_on(type)));
        EXPECT_FALSE(shows_time(r.ext)) << type;
        TearDown();
        SetUp();
        set_key(bytes("the host's key!!"));
    }
}

TEST_F(Protected, KeySetAfterTheCipherOpenedIsNotUsed) {
    set_key(bytes("first key 16 byt"));
    std::vector<uint8_t> s;
    add(s, 9, sec_payload(cipher_on(2)));
    Result r = decode(s);
    set_key(bytes("second key 16 bt"));
    s.clear();
    add(s, 9, sec_payload(cipher_on(2)));  // same type: the key stays
    add_enc(s, 5, time_payload(), {2, bytes("first key 16 byt")});
    close_stream(s);
    r = decode(s);
    expect_time(r.ext);
}

TEST_F(Protected, MarkedUnitsWithoutCipherAreParsedAsTheyAre) {
    struct Case {
        SecurityParams sp;
        const char *printed;
    };
    const Case cases[] = {
        {cipher_on(0), "unimplemented encryption type: 0\n"},
        {cipher_on(3), ""},
        {cipher_on(15), ""},
    };
    // No security parameter set at all.
    std::vector<uint8_t> s;
    add(s, 5, time_payload(), true);
    close_stream(s);
    expect_time(decode(s).ext);
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        s.clear();
        add(s, 9, sec_payload(c.sp));
        add(s, 5, time_payload(), true);
        close_stream(s);
        const Result r = decode(s);
        EXPECT_EQ(r.printed, c.printed);
        expect_time(r.ext);
    }
}

TEST_F(Protected, EncryptionSwitchedOffLeavesMarkedUnitsAlone) {
    std::vector<uint8_t> s;
    add(s, 9, sec_payload(cipher_on(2)));
    add(s, 9, sec_payload(SecurityParams{}));
    add(s, 5, time_payload(), true);
    close_stream(s);
    expect_time(decode(s).ext);
    // On again with the same type: the open cipher deciphers once more.
    s.clear();
    add(s, 9, sec_payload(cipher_on(2)));
    add_enc(s, 5, time_payload(), {2, bytes("svac default key")});
    close_stream(s);
    expect_time(decode(s).ext);
}

TEST_F(Protected, EncipheredParameterSetsAreStored) {
    const CipherKey k{2, bytes("parameter sets!!")};
    set_key(k.key);
    std::vector<uint8_t> s;
    add(s, 9, sec_payload(cipher_on(2)));
    add_enc(s, 7, sps_payload(3, 11, 9), k);
    add_enc(s, 8, pps_payload(5, 3, 37), k);
    add(s, 8, pps_payload(6, 3, 21));  // a plain set referring to the enciphered one
    close_stream(s);
    const Result r = decode(s);
    EXPECT_GE(r.ret, 0);
    EXPECT_EQ(r.printed, "");
    const SvacSeqParams &sps = dec()->sps[3];
    EXPECT_EQ(sps.valid, 1);
    EXPECT_EQ(sps.mb_width, 11);
    EXPECT_EQ(sps.mb_height, 9);
    EXPECT_EQ(sps.chroma_format_idc, 1);
    EXPECT_EQ(sps.frame_only_flag, 1);
    EXPECT_EQ(dec()->last_sps_id, 3);
    for (int id : {5, 6}) {
        const SvacPicParams &pps = dec()->pps[id];
        EXPECT_EQ(pps.valid, 1) << id;
        EXPECT_EQ(pps.sps_id, 3) << id;
        EXPECT_EQ(pps.entropy_coding_flag, 1) << id;
        EXPECT_EQ(pps.fixed_qp_flag, 1) << id;
        EXPECT_EQ(pps.aux_flag, 0) << id;
        EXPECT_EQ(pps.lf_disable_flag, 1) << id;
    }
    EXPECT_EQ(dec()->pps[5].pic_qp, 37);
    EXPECT_EQ(dec()->pps[6].pic_qp, 21);
}

// The driver's view of the last unit: its deciphered payload and bit count.
void expect_payload(SvacDecoder *d, const std::vector<uint8_t> &plain) {
    int bits = 8 * static_cast<int>(plain.size()) - __builtin_ctz(plain.back()) - 1;
    EXPECT_EQ(d->br.size_in_bits, bits);
    ASSERT_NE(d->nal_buffer, nullptr);
    EXPECT_EQ(std::memcmp(d->nal_buffer, plain.data(), plain.size()), 0);
}

// Ciphertext ending in zero bytes loses them to the start-code search; the
// decoder's zero-padded tail restores them. With the stop bit in the last
// byte of a block the generator must add a block.
TEST_F(Protected, CiphertextEndingInZeroBytes) {
    const CipherKey k{2, bytes("svac default key")};
    SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(2);
    VQ_SVACDEC_crypto_set_key(ctx, k.key.data(), 16);
    for (bool stop_at_block_end : {false, true}) {
        // Time extension and identifier: 13 bytes, then the filler and the
        // stop-bit byte: 20 bytes (12 zeros of padding follow) or 32 (none).
        // The last three filler bytes vary until the last ciphertext byte is 0.
        const size_t filler_len = stop_at_block_end ? 18 : 6;
        std::vector<uint8_t> plain;
        for (uint32_t c = 1; c < 100000 && plain.empty(); c++) {
            std::vector<uint8_t> filler(filler_len, 0x11);
            for (size_t i = 0; i < 3; i++)
                filler[filler_len - 1 - i] = static_cast<uint8_t>(c >> (8 * i));
            const auto p = time_payload({}, filler);
            std::vector<uint8_t> padded = p;
            padded.resize((p.size() + 15) / 16 * 16, 0);
            std::vector<uint8_t> out(padded.size());
            VQ_SVACDEC_crypto_encrypt(ctx, out.data(), padded.data(),
                                      static_cast<int32_t>(out.size()));
            if (out.back() == 0) plain = p;
        }
        ASSERT_FALSE(plain.empty());
        ASSERT_EQ(plain.size(), stop_at_block_end ? 32u : 20u);
        std::vector<uint8_t> s;
        add(s, 9, sec_payload(cipher_on(2)));
        add_enc(s, 5, plain, k);
        close_stream(s);
        const Result r = decode(s);
        expect_time(r.ext);
        expect_payload(dec(), plain);
    }
    VQ_SVACDEC_crypto_close(ctx);
}

// Ciphertext that needs emulation prevention: one block enciphering to a
// value ending in 00 00, followed by one starting with a byte of at most 3.
TEST_F(Protected, CiphertextWithEmulationPrevention) {
    const CipherKey k{2, bytes("svac default key")};
    SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(2);
    VQ_SVACDEC_crypto_set_key(ctx, k.key.data(), 16);
    auto find_block = [&](auto pred) {
        uint8_t in[16] = {0x7F}, out[16];
        for (uint32_t c = 0; c < (1u << 24); c++) {
            std::memcpy(in + 1, &c, 4);
            VQ_SVACDEC_crypto_encrypt(ctx, out, in, 16);
            if (pred(out)) return std::vector<uint8_t>(in, in + 16);
        }
        return std::vector<uint8_t>();
    };
    const auto a = find_block([](const uint8_t *o) { return o[14] == 0 && o[15] == 0; });
    const auto b = find_block([](const uint8_t *o) { return o[0] <= 3; });
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    VQ_SVACDEC_crypto_close(ctx);

    // Block 0: time extension (12 bytes), an unknown identifier and 3 filler
    // bytes; blocks 1 and 2: the found blocks; then the stop bit.
    std::vector<uint8_t> filler = {1, 2, 3};
    filler.insert(filler.end(), a.begin(), a.end());
    filler.insert(filler.end(), b.begin(), b.end());
    const auto plain = time_payload({}, filler);
    std::vector<uint8_t> s;
    add(s, 9, sec_payload(cipher_on(2)));
    add_enc(s, 5, plain, k);
    close_stream(s);
    bool escaped = false;
    for (size_t i = 0; i + 2 < s.size(); i++)
        escaped |= s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 3;
    ASSERT_TRUE(escaped);
    const Result r = decode(s);
    expect_time(r.ext);
    expect_payload(dec(), plain);
}

// Cut after every bit: the set reads zeros or the stop bit past its end but
// nothing breaks, and the stream goes on.
TEST_F(Protected, TruncatedSecurityParameterSets) {
    SecurityParams sp = cipher_on(2);
    sp.authentication_flag = true;
    sp.hash_type = 5;
    sp.auth_flags[1] = true;
    sp.sign_type = 2;
    sp.sign_param[0] = 77;
    sp.sign_param[1] = 256;
    BitWriter full;
    svacenc::write_security_params(full, sp);
    const auto all = full.bytes();
    for (size_t cut = 0; cut <= full.bit_count(); cut++) {
        TearDown();
        SetUp();
        BitWriter bw;
        for (size_t i = 0; i < cut; i++) bw.put1((all[i / 8] >> (7 - i % 8)) & 1);
        std::vector<uint8_t> s;
        add(s, 9, finish(bw));
        add(s, 5, time_payload());
        const Result r = decode(s);
        EXPECT_GE(r.ret, 0) << cut;
        EXPECT_EQ(r.ext.flags, 2u) << cut;
    }
    // Cut at byte boundaries without a stop bit, and the bare header.
    for (size_t n = 0; n <= all.size(); n++) {
        TearDown();
        SetUp();
        std::vector<uint8_t> s;
        add(s, 9, std::vector<uint8_t>(all.begin(), all.begin() + n));
        const Result r = decode(s);
        EXPECT_GE(r.ret, 0) << n;
    }
}

TEST_F(Protected, RandomSecurityPayloadsAndCiphertexts) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 300; i++) {
        TearDown();
        SetUp();
        std::vector<uint8_t> s;
        std::vector<uint8_t> p(1 + rng() % 6);
        for (uint8_t &b : p) b = static_cast<uint8_t>(rng());
        add(s, 9, p);
        // Random marked units of every parsed type after the set.
        for (int type : {5, 7, 8, 9}) {
            std::vector<uint8_t> q(rng() % 40);
            for (uint8_t &b : q) b = static_cast<uint8_t>(rng());
            add(s, type, q, true);
        }
        const Result r = decode(s);
        EXPECT_GE(r.ret, -5) << i;
    }
}

TEST(SecurityWriter, EnciphersWholeBlocksOnlyWithUsableKeys) {
    const auto payload = time_payload();  // 14 bytes
    EXPECT_TRUE(svacenc::encipher_payload(payload, {2, std::vector<uint8_t>(20, 1)}).empty());
    EXPECT_TRUE(svacenc::encipher_payload(payload, {0, std::vector<uint8_t>(16, 1)}).empty());
    EXPECT_EQ(svacenc::encipher_payload(payload, {2, std::vector<uint8_t>(32, 1)}).size() % 16, 0u);
    // DES keys are cut or zero-filled to 8 bytes, as the decoder does.
    const auto a = svacenc::encipher_payload(payload, {1, {1, 2, 3}});
    const auto b = svacenc::encipher_payload(payload, {1, {1, 2, 3, 0, 0, 0, 0, 0, 9, 9}});
    EXPECT_EQ(a.size() % 8, 0u);
    EXPECT_EQ(a, b);
}
