// MD5 as published in RFC 1321.
#include "security/md5.h"

#include "security/digest_buffer.h"

namespace {

// floor(abs(sin(i + 1)) * 2^32).
// clang-format off
constexpr uint32_t kT[64] = {
    0xD76AA478u, 0xE8C7B756u, 0x242070DBu, 0xC1BDCEEEu, 0xF57C0FAFu, 0x4787C62Au, 0xA8304613u,
    0xFD469501u, 0x698098D8u, 0x8B44F7AFu, 0xFFFF5BB1u, 0x895CD7BEu, 0x6B901122u, 0xFD987193u,
    0xA679438Eu, 0x49B40821u, 0xF61E2562u, 0xC040B340u, 0x265E5A51u, 0xE9B6C7AAu, 0xD62F105Du,
    0x02441453u, 0xD8A1E681u, 0xE7D3FBC8u, 0x21E1CDE6u, 0xC33707D6u, 0xF4D50D87u, 0x455A14EDu,
    0xA9E3E905u, 0xFCEFA3F8u, 0x676F02D9u, 0x8D2A4C8Au, 0xFFFA3942u, 0x8771F681u, 0x6D9D6122u,
    0xFDE5380Cu, 0xA4BEEA44u, 0x4BDECFA9u, 0xF6BB4B60u, 0xBEBFBC70u, 0x289B7EC6u, 0xEAA127FAu,
    0xD4EF3085u, 0x04881D05u, 0xD9D4D039u, 0xE6DB99E5u, 0x1FA27CF8u, 0xC4AC5665u, 0xF4292244u,
    0x432AFF97u, 0xAB9423A7u, 0xFC93A039u, 0x655B59C3u, 0x8F0CCC92u, 0xFFEFF47Du, 0x85845DD1u,
    0x6FA87E4Fu, 0xFE2CE6E0u, 0xA3014314u, 0x4E0811A1u, 0xF7537E82u, 0xBD3AF235u, 0x2AD7D2BBu,
    0xEB86D391u,
};
// clang-format on

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

void compress(Md5State *s, const uint8_t *block) {
    uint32_t x[16];
    for (int i = 0; i < 16; i++)
        x[i] = block[4 * i] | (uint32_t(block[4 * i + 1]) << 8) | (uint32_t(block[4 * i + 2]) << 16) |
               (uint32_t(block[4 * i + 3]) << 24);
    uint32_t a = s->h[0], b = s->h[1], c = s->h[2], d = s->h[3];
    for (int i = 0; i < 64; i++) {
        const int round = i / 16;
        uint32_t f;
        int g;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                g = i;
                break;
            case 1:
                f = (d & b) | (~d & c);
                g = (5 * i + 1) & 15;
                break;
            case 2:
                f = b ^ c ^ d;
                g = (3 * i + 5) & 15;
                break;
            default:
                f = c ^ (b | ~d);
                g = (7 * i) & 15;
                break;
        }
        const uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + kT[i] + x[g], kShift[round][i & 3]);
        a = t;
    }
    s->h[0] += a;
    s->h[1] += b;
    s->h[2] += c;
    s->h[3] += d;
}

}  // namespace

void md5_init(void *state, void *) {
    auto *s = static_cast<Md5State *>(state);
    *s = Md5State{{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u}, 0, {}, 0};
}

void md5_update(void *state, const uint8_t *data, int32_t len) {
    digest_feed<64>(static_cast<Md5State *>(state), data, len, compress);
}

void md5_final(void *state, uint8_t *out) {
    auto *s = static_cast<Md5State *>(state);
    digest_pad<64>(s, false, compress);
    for (int i = 0; i < 16; i++) out[i] = static_cast<uint8_t>(s->h[i / 4] >> (8 * (i & 3)));
}
