// SHA-256 and SHA-224 as published in FIPS 180-4.
#include "security/sha256.h"

#include "security/digest_buffer.h"

namespace {

// First 32 bits of the fractional parts of the cube roots of the first 64
// primes.
// clang-format off
constexpr uint32_t kK[64] = {
    0x428A2F98u, 0x71374491u, 0xB5C0FBCFu, 0xE9B5DBA5u, 0x3956C25Bu, 0x59F111F1u, 0x923F82A4u,
    0xAB1C5ED5u, 0xD807AA98u, 0x12835B01u, 0x243185BEu, 0x550C7DC3u, 0x72BE5D74u, 0x80DEB1FEu,
    0x9BDC06A7u, 0xC19BF174u, 0xE49B69C1u, 0xEFBE4786u, 0x0FC19DC6u, 0x240CA1CCu, 0x2DE92C6Fu,
    0x4A7484AAu, 0x5CB0A9DCu, 0x76F988DAu, 0x983E5152u, 0xA831C66Du, 0xB00327C8u, 0xBF597FC7u,
    0xC6E00BF3u, 0xD5A79147u, 0x06CA6351u, 0x14292967u, 0x27B70A85u, 0x2E1B2138u, 0x4D2C6DFCu,
    0x53380D13u, 0x650A7354u, 0x766A0ABBu, 0x81C2C92Eu, 0x92722C85u, 0xA2BFE8A1u, 0xA81A664Bu,
    0xC24B8B70u, 0xC76C51A3u, 0xD192E819u, 0xD6990624u, 0xF40E3585u, 0x106AA070u, 0x19A4C116u,
    0x1E376C08u, 0x2748774Cu, 0x34B0BCB5u, 0x391C0CB3u, 0x4ED8AA4Au, 0x5B9CCA4Fu, 0x682E6FF3u,
    0x748F82EEu, 0x78A5636Fu, 0x84C87814u, 0x8CC70208u, 0x90BEFFFAu, 0xA4506CEBu, 0xBEF9A3F7u,
    0xC67178F2u,
};
// clang-format on

uint32_t rotr(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

void compress(Sha256State *s, const uint8_t *block) {
    uint32_t w[64];
    for (int t = 0; t < 16; t++)
        w[t] = (uint32_t(block[4 * t]) << 24) | (uint32_t(block[4 * t + 1]) << 16) |
               (uint32_t(block[4 * t + 2]) << 8) | block[4 * t + 3];
    for (int t = 16; t < 64; t++) {
        const uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t v[8];
    for (int i = 0; i < 8; i++) v[i] = s->h[i];
    for (int t = 0; t < 64; t++) {
        const uint32_t e = v[4], a = v[0];
        const uint32_t t1 =
            v[7] + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & v[5]) ^ (~e & v[6])) + kK[t] + w[t];
        const uint32_t t2 =
            (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        for (int i = 7; i > 0; i--) v[i] = v[i - 1];
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; i++) s->h[i] += v[i];
}

void init(void *state, const uint32_t (&iv)[8]) {
    auto *s = static_cast<Sha256State *>(state);
    *s = Sha256State{};
    for (int i = 0; i < 8; i++) s->h[i] = iv[i];
}

void finish(void *state, uint8_t *out, int words) {
    auto *s = static_cast<Sha256State *>(state);
    digest_pad<64>(s, true, compress);
    for (int i = 0; i < 4 * words; i++) out[i] = static_cast<uint8_t>(s->h[i / 4] >> (24 - 8 * (i & 3)));
}

// Fractional parts of the square roots of the first 8 primes (SHA-256) and
// the low halves of those of the 9th to 16th primes (SHA-224).
// clang-format off
constexpr uint32_t kIv256[8] = {
    0x6A09E667u, 0xBB67AE85u, 0x3C6EF372u, 0xA54FF53Au,
    0x510E527Fu, 0x9B05688Cu, 0x1F83D9ABu, 0x5BE0CD19u,
};
// clang-format on
// clang-format off
constexpr uint32_t kIv224[8] = {
    0xC1059ED8u, 0x367CD507u, 0x3070DD17u, 0xF70E5939u,
    0xFFC00B31u, 0x68581511u, 0x64F98FA7u, 0xBEFA4FA4u,
};
// clang-format on

}  // namespace

void sha256_init(void *state, void *) { init(state, kIv256); }
void sha256_update(void *state, const uint8_t *data, int32_t len) {
    digest_feed<64>(static_cast<Sha256State *>(state), data, len, compress);
}
void sha256_final(void *state, uint8_t *out) { finish(state, out, 8); }

void sha224_init(void *state, void *) { init(state, kIv224); }
void sha224_update(void *state, const uint8_t *data, int32_t len) { sha256_update(state, data, len); }
void sha224_final(void *state, uint8_t *out) { finish(state, out, 7); }
