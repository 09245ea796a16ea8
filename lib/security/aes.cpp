// AES as published in FIPS-197, with the round transformations folded into
// four 256-entry tables per direction. The tables are computed at compile
// time from the field arithmetic, so no hand-typed constants can be wrong.
#include "security/aes.h"

#include <cstdio>

namespace {

constexpr uint8_t xtime(uint8_t a) { return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0)); }

constexpr uint8_t gmul(uint8_t a, uint8_t b) {
    uint8_t r = 0;
    while (b) {
        if (b & 1) r ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return r;
}

constexpr uint8_t rotl8(uint8_t v, int n) { return static_cast<uint8_t>((v << n) | (v >> (8 - n))); }
constexpr uint32_t rotr32(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

struct AesTables {
    uint8_t sbox[256];
    uint8_t inv_sbox[256];
    uint32_t te[4][256];
    uint32_t td[4][256];
};

constexpr AesTables make_tables() {
    AesTables t{};
    for (int x = 0; x < 256; x++) {
        // Multiplicative inverse as x^254 (0 maps to 0), then the affine map.
        uint8_t inv = 1;
        for (int i = 0; i < 254; i++) inv = gmul(inv, static_cast<uint8_t>(x));
        if (x == 0) inv = 0;
        const uint8_t s = inv ^ rotl8(inv, 1) ^ rotl8(inv, 2) ^ rotl8(inv, 3) ^ rotl8(inv, 4) ^ 0x63;
        t.sbox[x] = s;
        t.inv_sbox[s] = static_cast<uint8_t>(x);
    }
    for (int x = 0; x < 256; x++) {
        const uint8_t s = t.sbox[x];
        const uint8_t si = t.inv_sbox[x];
        const uint32_t e =
            (uint32_t(gmul(s, 2)) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | gmul(s, 3);
        const uint32_t d = (uint32_t(gmul(si, 14)) << 24) | (uint32_t(gmul(si, 9)) << 16) |
                           (uint32_t(gmul(si, 13)) << 8) | gmul(si, 11);
        for (int k = 0; k < 4; k++) {
            t.te[k][x] = k ? rotr32(e, 8 * k) : e;
            t.td[k][x] = k ? rotr32(d, 8 * k) : d;
        }
    }
    return t;
}

constexpr AesTables kT = make_tables();
static_assert(kT.sbox[0x00] == 0x63 && kT.sbox[0x53] == 0xED && kT.sbox[0xFF] == 0x16);
static_assert(kT.inv_sbox[0x63] == 0x00 && kT.inv_sbox[0xED] == 0x53);

constexpr uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

uint32_t load_be32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void store_be32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint32_t sub_word(uint32_t w) {
    return (uint32_t(kT.sbox[w >> 24]) << 24) | (uint32_t(kT.sbox[(w >> 16) & 0xFF]) << 16) |
           (uint32_t(kT.sbox[(w >> 8) & 0xFF]) << 8) | kT.sbox[w & 0xFF];
}

// InvMixColumns of one round-key word: the decryption tables applied to the
// S-box image undo the inverse S-box they contain.
uint32_t inv_mix_word(uint32_t w) {
    return kT.td[0][kT.sbox[w >> 24]] ^ kT.td[1][kT.sbox[(w >> 16) & 0xFF]] ^
           kT.td[2][kT.sbox[(w >> 8) & 0xFF]] ^ kT.td[3][kT.sbox[w & 0xFF]];
}

}  // namespace

int32_t aes_set_key(void *state, const uint8_t *key, int32_t len) {
    if (len != 16 && len != 24 && len != 32) {
        std::printf("AES: key len %d error, must 16, 24 or 32 bytes\n", len);
        return -1;
    }
    auto *k = static_cast<AesKey *>(state);
    const int nk = len / 4;
    const int rounds = nk + 6;
    const int words = 4 * (rounds + 1);
    uint32_t *w = k->enc;
    for (int i = 0; i < nk; i++) w[i] = load_be32(key + 4 * i);
    for (int i = nk; i < words; i++) {
        uint32_t t = w[i - 1];
        if (i % nk == 0)
            t = sub_word(rotr32(t, 24)) ^ (uint32_t(kRcon[i / nk - 1]) << 24);
        else if (nk > 6 && i % nk == 4)
            t = sub_word(t);
        w[i] = w[i - nk] ^ t;
    }
    // Equivalent inverse cipher: round keys in reverse order, the inner ones
    // passed through InvMixColumns.
    for (int r = 0; r <= rounds; r++) {
        for (int c = 0; c < 4; c++) {
            const uint32_t v = w[4 * (rounds - r) + c];
            k->dec[4 * r + c] = (r == 0 || r == rounds) ? v : inv_mix_word(v);
        }
    }
    k->rounds = rounds;
    return 0;
}

void aes_encrypt_block(const void *state, const uint8_t *in, uint8_t *out) {
    const auto *k = static_cast<const AesKey *>(state);
    const uint32_t *rk = k->enc;
    uint32_t s0 = load_be32(in) ^ rk[0], s1 = load_be32(in + 4) ^ rk[1];
    uint32_t s2 = load_be32(in + 8) ^ rk[2], s3 = load_be32(in + 12) ^ rk[3];
    const auto &te = kT.te;
    for (int r = 1; r < k->rounds; r++) {
        rk += 4;
        const uint32_t t0 =
            te[0][s0 >> 24] ^ te[1][(s1 >> 16) & 0xFF] ^ te[2][(s2 >> 8) & 0xFF] ^ te[3][s3 & 0xFF] ^ rk[0];
        const uint32_t t1 =
            te[0][s1 >> 24] ^ te[1][(s2 >> 16) & 0xFF] ^ te[2][(s3 >> 8) & 0xFF] ^ te[3][s0 & 0xFF] ^ rk[1];
        const uint32_t t2 =
            te[0][s2 >> 24] ^ te[1][(s3 >> 16) & 0xFF] ^ te[2][(s0 >> 8) & 0xFF] ^ te[3][s1 & 0xFF] ^ rk[2];
        const uint32_t t3 =
            te[0][s3 >> 24] ^ te[1][(s0 >> 16) & 0xFF] ^ te[2][(s1 >> 8) & 0xFF] ^ te[3][s2 & 0xFF] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk = k->enc + 4 * k->rounds;
    const uint8_t *sb = kT.sbox;
    const uint32_t s[4] = {s0, s1, s2, s3};
    for (int c = 0; c < 4; c++) {
        const uint32_t v = (uint32_t(sb[s[c] >> 24]) << 24) |
                           (uint32_t(sb[(s[(c + 1) & 3] >> 16) & 0xFF]) << 16) |
                           (uint32_t(sb[(s[(c + 2) & 3] >> 8) & 0xFF]) << 8) | sb[s[(c + 3) & 3] & 0xFF];
        store_be32(out + 4 * c, v ^ rk[c]);
    }
}

void aes_decrypt_block(const void *state, const uint8_t *in, uint8_t *out) {
    const auto *k = static_cast<const AesKey *>(state);
    const uint32_t *rk = k->dec;
    uint32_t s0 = load_be32(in) ^ rk[0], s1 = load_be32(in + 4) ^ rk[1];
    uint32_t s2 = load_be32(in + 8) ^ rk[2], s3 = load_be32(in + 12) ^ rk[3];
    const auto &td = kT.td;
    for (int r = 1; r < k->rounds; r++) {
        rk += 4;
        const uint32_t t0 =
            td[0][s0 >> 24] ^ td[1][(s3 >> 16) & 0xFF] ^ td[2][(s2 >> 8) & 0xFF] ^ td[3][s1 & 0xFF] ^ rk[0];
        const uint32_t t1 =
            td[0][s1 >> 24] ^ td[1][(s0 >> 16) & 0xFF] ^ td[2][(s3 >> 8) & 0xFF] ^ td[3][s2 & 0xFF] ^ rk[1];
        const uint32_t t2 =
            td[0][s2 >> 24] ^ td[1][(s1 >> 16) & 0xFF] ^ td[2][(s0 >> 8) & 0xFF] ^ td[3][s3 & 0xFF] ^ rk[2];
        const uint32_t t3 =
            td[0][s3 >> 24] ^ td[1][(s2 >> 16) & 0xFF] ^ td[2][(s1 >> 8) & 0xFF] ^ td[3][s0 & 0xFF] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk = k->dec + 4 * k->rounds;
    const uint8_t *sb = kT.inv_sbox;
    const uint32_t s[4] = {s0, s1, s2, s3};
    for (int c = 0; c < 4; c++) {
        const uint32_t v = (uint32_t(sb[s[c] >> 24]) << 24) |
                           (uint32_t(sb[(s[(c + 3) & 3] >> 16) & 0xFF]) << 16) |
                           (uint32_t(sb[(s[(c + 2) & 3] >> 8) & 0xFF]) << 8) | sb[s[(c + 1) & 3] & 0xFF];
        store_be32(out + 4 * c, v ^ rk[c]);
    }
}
