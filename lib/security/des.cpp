// DES as published in FIPS 46-3. The permutation tables are the published
// ones; the byte-wise lookup tables for the initial and final permutations and
// the combined S-box/P tables of the round function are derived from them at
// compile time. Bits are numbered 1.. from the most significant, as there.
#include "security/des.h"

#include <cstdio>

namespace {

constexpr uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                              35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                              46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// The S-boxes, row by row (row = outer input bits, column = inner four).
// clang-format off
constexpr uint8_t kS[8][64] = {
    {14,  4, 13,  1,  2, 15, 11,  8,  3, 10,  6, 12,  5,  9,  0,  7,
      0, 15,  7,  4, 14,  2, 13,  1, 10,  6, 12, 11,  9,  5,  3,  8,
      4,  1, 14,  8, 13,  6,  2, 11, 15, 12,  9,  7,  3, 10,  5,  0,
     15, 12,  8,  2,  4,  9,  1,  7,  5, 11,  3, 14, 10,  0,  6, 13},
    {15,  1,  8, 14,  6, 11,  3,  4,  9,  7,  2, 13, 12,  0,  5, 10,
      3, 13,  4,  7, 15,  2,  8, 14, 12,  0,  1, 10,  6,  9, 11,  5,
      0, 14,  7, 11, 10,  4, 13,  1,  5,  8, 12,  6,  9,  3,  2, 15,
     13,  8, 10,  1,  3, 15,  4,  2, 11,  6,  7, 12,  0,  5, 14,  9},
    {10,  0,  9, 14,  6,  3, 15,  5,  1, 13, 12,  7, 11,  4,  2,  8,
     13,  7,  0,  9,  3,  4,  6, 10,  2,  8,  5, 14, 12, 11, 15,  1,
     13,  6,  4,  9,  8, 15,  3,  0, 11,  1,  2, 12,  5, 10, 14,  7,
      1, 10, 13,  0,  6,  9,  8,  7,  4, 15, 14,  3, 11,  5,  2, 12},
    { 7, 13, 14,  3,  0,  6,  9, 10,  1,  2,  8,  5, 11, 12,  4, 15,
     13,  8, 11,  5,  6, 15,  0,  3,  4,  7,  2, 12,  1, 10, 14,  9,
     10,  6,  9,  0, 12, 11,  7, 13, 15,  1,  3, 14,  5,  2,  8,  4,
      3, 15,  0,  6, 10,  1, 13,  8,  9,  4,  5, 11, 12,  7,  2, 14},
    { 2, 12,  4,  1,  7, 10, 11,  6,  8,  5,  3, 15, 13,  0, 14,  9,
     14, 11,  2, 12,  4,  7, 13,  1,  5,  0, 15, 10,  3,  9,  8,  6,
      4,  2,  1, 11, 10, 13,  7,  8, 15,  9, 12,  5,  6,  3,  0, 14,
     11,  8, 12,  7,  1, 14,  2, 13,  6, 15,  0,  9, 10,  4,  5,  3},
    {12,  1, 10, 15,  9,  2,  6,  8,  0, 13,  3,  4, 14,  7,  5, 11,
     10, 15,  4,  2,  7, 12,  9,  5,  6,  1, 13, 14,  0, 11,  3,  8,
      9, 14, 15,  5,  2,  8, 12,  3,  7,  0,  4, 10,  1, 13, 11,  6,
      4,  3,  2, 12,  9,  5, 15, 10, 11, 14,  1,  7,  6,  0,  8, 13},
    { 4, 11,  2, 14, 15,  0,  8, 13,  3, 12,  9,  7,  5, 10,  6,  1,
     13,  0, 11,  7,  4,  9,  1, 10, 14,  3,  5, 12,  2, 15,  8,  6,
      1,  4, 11, 13, 12,  3,  7, 14, 10, 15,  6,  8,  0,  5,  9,  2,
      6, 11, 13,  8,  1,  4, 10,  7,  9,  5,  0, 15, 14,  2,  3, 12},
    {13,  2,  8,  4,  6, 15, 11,  1, 10,  9,  3, 14,  5,  0, 12,  7,
      1, 15, 13,  8, 10,  3,  7,  4, 12,  5,  6, 11,  0, 14,  9,  2,
      7, 11,  4,  1,  9, 12, 14,  2,  0,  6, 10, 13, 15,  3,  5,  8,
      2,  1, 14,  7,  4, 10,  8, 13, 15, 12,  9,  0,  3,  5,  6, 11},
};
// clang-format on

// Output bit k (1..n_out) of a permutation takes input bit table[k - 1] of an
// n_in-bit value.
constexpr uint64_t permute(uint64_t in, int n_in, const uint8_t *table, int n_out) {
    uint64_t out = 0;
    for (int k = 0; k < n_out; k++) out = (out << 1) | ((in >> (n_in - table[k])) & 1);
    return out;
}

struct DesTables {
    uint64_t ip[8][256];  // contribution of each input byte to IP(x)
    uint64_t fp[8][256];  // same for the inverse permutation
    uint32_t sp[8][64];   // S-box j followed by P, per 6-bit input
};

constexpr DesTables make_tables() {
    DesTables t{};
    uint8_t inv[64] = {};
    for (int k = 0; k < 64; k++) inv[kIP[k] - 1] = static_cast<uint8_t>(k + 1);
    for (int b = 0; b < 8; b++) {
        for (int v = 0; v < 256; v++) {
            const uint64_t x = uint64_t(v) << (56 - 8 * b);
            t.ip[b][v] = permute(x, 64, kIP, 64);
            t.fp[b][v] = permute(x, 64, inv, 64);
        }
    }
    for (int j = 0; j < 8; j++) {
        for (int v = 0; v < 64; v++) {
            const int row = ((v >> 4) & 2) | (v & 1);
            const int col = (v >> 1) & 15;
            const uint64_t s = uint64_t(kS[j][row * 16 + col]) << (28 - 4 * j);
            t.sp[j][v] = static_cast<uint32_t>(permute(s, 32, kP, 32));
        }
    }
    return t;
}

constexpr DesTables kT = make_tables();
// IP moves input bit 58 to the front and bit 7 to the end.
static_assert(kT.ip[7][0x40] == (uint64_t(1) << 63) && kT.ip[0][0x02] == 1);

uint64_t load_be64(const uint8_t *p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) v = (v << 8) | p[i];
    return v;
}

void store_be64(uint8_t *p, uint64_t v) {
    for (int i = 7; i >= 0; i--) {
        p[i] = static_cast<uint8_t>(v);
        v >>= 8;
    }
}

uint64_t apply_bytes(const uint64_t (&tab)[8][256], uint64_t x) {
    uint64_t r = 0;
    for (int b = 0; b < 8; b++) r |= tab[b][(x >> (56 - 8 * b)) & 0xFF];
    return r;
}

uint32_t rotl32(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

// Expansion E takes bits 4j..4j+5 (bit 0 standing for bit 32) as the input of
// S-box j: the top six bits of R rotated left by 4j - 1 (mod 32).
uint32_t feistel(uint32_t r, const uint8_t *k) {
    uint32_t f = 0;
    for (int j = 0; j < 8; j++) f |= kT.sp[j][((rotl32(r, (4 * j + 31) & 31) >> 26) ^ k[j]) & 0x3F];
    return f;
}

void des_crypt(const DesKey *key, const uint8_t *in, uint8_t *out, bool decrypt) {
    const uint64_t x = apply_bytes(kT.ip, load_be64(in));
    uint32_t l = static_cast<uint32_t>(x >> 32), r = static_cast<uint32_t>(x);
    for (int i = 0; i < 16; i++) {
        const uint32_t t = l ^ feistel(r, key->sub[decrypt ? 15 - i : i]);
        l = r;
        r = t;
    }
    // The last round's halves are not swapped back.
    store_be64(out, apply_bytes(kT.fp, (uint64_t(r) << 32) | l));
}

// C and D (the two PC-1 halves) of the weak and semi-weak keys are each all
// zeros, all ones or alternating bits, so the schedule has at most two
// distinct round keys.
bool half_is_degenerate(uint32_t h) { return h == 0 || h == 0xFFFFFFF || h == 0x5555555 || h == 0xAAAAAAA; }

}  // namespace

bool des_is_weak_key(const uint8_t key[8]) {
    const uint64_t cd = permute(load_be64(key), 64, kPC1, 56);
    return half_is_degenerate(static_cast<uint32_t>(cd >> 28)) &&
           half_is_degenerate(static_cast<uint32_t>(cd & 0xFFFFFFF));
}

int32_t des_set_key(void *state, const uint8_t *key, int32_t len) {
    uint8_t k8[8] = {};
    if (len != 8) std::printf("DES: key len %d error\n", len);
    for (int i = 0; i < 8 && i < len; i++) k8[i] = key[i];
    if (des_is_weak_key(k8)) std::puts("DES: weak key was set");

    auto *dk = static_cast<DesKey *>(state);
    const uint64_t cd = permute(load_be64(k8), 64, kPC1, 56);
    uint32_t c = static_cast<uint32_t>(cd >> 28), d = static_cast<uint32_t>(cd & 0xFFFFFFF);
    for (int i = 0; i < 16; i++) {
        const int s = kShifts[i];
        c = ((c << s) | (c >> (28 - s))) & 0xFFFFFFF;
        d = ((d << s) | (d >> (28 - s))) & 0xFFFFFFF;
        const uint64_t k48 = permute((uint64_t(c) << 28) | d, 56, kPC2, 48);
        for (int j = 0; j < 8; j++) dk->sub[i][j] = static_cast<uint8_t>((k48 >> (42 - 6 * j)) & 0x3F);
    }
    return 0;
}

void des_encrypt_block(const void *state, const uint8_t *in, uint8_t *out) {
    des_crypt(static_cast<const DesKey *>(state), in, out, false);
}

void des_decrypt_block(const void *state, const uint8_t *in, uint8_t *out) {
    des_crypt(static_cast<const DesKey *>(state), in, out, true);
}
