// SHA-1 as published in FIPS 180-4.
#include "security/sha1.h"

#include "security/digest_buffer.h"

namespace {

uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

void compress(Sha1State *s, const uint8_t *block) {
    uint32_t w[80];
    for (int t = 0; t < 16; t++)
        w[t] = (uint32_t(block[4 * t]) << 24) | (uint32_t(block[4 * t + 1]) << 16) |
               (uint32_t(block[4 * t + 2]) << 8) | block[4 * t + 3];
    for (int t = 16; t < 80; t++) w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = s->h[0], b = s->h[1], c = s->h[2], d = s->h[3], e = s->h[4];
    for (int t = 0; t < 80; t++) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & c) ^ (~b & d);
            k = 0x5A827999u;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (t < 60) {
            f = (b & c) ^ (b & d) ^ (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t tmp = rotl(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = tmp;
    }
    s->h[0] += a;
    s->h[1] += b;
    s->h[2] += c;
    s->h[3] += d;
    s->h[4] += e;
}

}  // namespace

void sha1_init(void *state, void *) {
    auto *s = static_cast<Sha1State *>(state);
    *s = Sha1State{{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u}, 0, {}, 0};
}

void sha1_update(void *state, const uint8_t *data, int32_t len) {
    digest_feed<64>(static_cast<Sha1State *>(state), data, len, compress);
}

void sha1_final(void *state, uint8_t *out) {
    auto *s = static_cast<Sha1State *>(state);
    digest_pad<64>(s, true, compress);
    for (int i = 0; i < 20; i++) out[i] = static_cast<uint8_t>(s->h[i / 4] >> (24 - 8 * (i & 3)));
}
