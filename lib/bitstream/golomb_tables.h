// Lookup tables of the zero-order Exp-Golomb codes, built at compile time.
#pragma once

#include <array>
#include <cstdint>

#include "common.h"

namespace svac::golomb {

constexpr int leading_zeros9(unsigned prefix) {
    int z = 0;
    for (unsigned bit = 256; bit && !(prefix & bit); bit >>= 1) z++;
    return z;
}

constexpr int floor_log2(unsigned v) {
    int l = 0;
    while (v > 1) {
        v >>= 1;
        l++;
    }
    return l;
}

// For a 9-bit prefix with at most four leading zeros: the code's length and
// its ue value (the (z+1)-bit number after the z zeros, minus 1).
constexpr int prefix_len(unsigned prefix) { return 2 * leading_zeros9(prefix) + 1; }
constexpr int prefix_ue(unsigned prefix) {
    const int z = leading_zeros9(prefix);
    return static_cast<int>(prefix >> (9 - (2 * z + 1))) - 1;
}
constexpr int ue_to_se(int k) { return (k & 1) ? (k + 1) / 2 : -(k / 2); }

template <typename T, size_t N, typename F>
constexpr std::array<T, N> make_table(F f) {
    std::array<T, N> t{};
    for (size_t i = 0; i < N; i++) t[i] = static_cast<T>(f(static_cast<unsigned>(i)));
    return t;
}

// Prefixes below 16 have five or more leading zeros and are never looked up.
inline constexpr auto kLen = make_table<uint8_t, 512>([](unsigned i) { return i < 16 ? 0 : prefix_len(i); });
inline constexpr auto kUe = make_table<uint8_t, 512>([](unsigned i) { return i < 16 ? 0 : prefix_ue(i); });
inline constexpr auto kSe =
    make_table<int8_t, 512>([](unsigned i) { return i < 16 ? 0 : ue_to_se(prefix_ue(i)); });
inline constexpr auto kLog2 = make_table<uint8_t, 256>([](unsigned v) { return v ? floor_log2(v) : 0; });
inline constexpr auto kUeLen = make_table<uint8_t, 256>([](unsigned v) { return 2 * floor_log2(v + 1) + 1; });

static_assert(kLen[256] == 1 && kUe[256] == 0);  // "1"
static_assert(kLen[0b010000000] == 3 && kUe[0b010000000] == 1);
static_assert(kUe[0b000011111] == 30 && kLen[0b000011111] == 9);
static_assert(kSe[0b011000000] == -1 && kSe[0b001000000] == 2 && kSe[0b001010000] == -2);
static_assert(kLog2[255] == 7 && kLog2[1] == 0 && kLog2[0] == 0);
static_assert(kUeLen[0] == 1 && kUeLen[1] == 3 && kUeLen[6] == 5 && kUeLen[255] == 17);

}  // namespace svac::golomb

// The exported copies (same layout as plain C arrays); the reader itself uses
// the constexpr tables above.
extern "C" {
SVAC_EXPORT extern const std::array<uint8_t, 512> golomb_vlc_len;
SVAC_EXPORT extern const std::array<uint8_t, 512> ue_golomb_vlc_code;
SVAC_EXPORT extern const std::array<int8_t, 512> se_golomb_vlc_code;
SVAC_EXPORT extern const std::array<uint8_t, 256> log2_tab;
SVAC_EXPORT extern const std::array<uint8_t, 256> ue_golomb_len;
}
