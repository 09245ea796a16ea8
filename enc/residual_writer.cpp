#include "residual_writer.h"

#include <cstdlib>

namespace svacenc {

namespace {

// Pattern of each code number: 4:2:0 intra and inter columns.
constexpr uint8_t kCbpIntra[64] = {63, 15, 31, 47, 0,  14, 13, 11, 7,  5,  10, 8,  12, 61, 4,  55,
                                   1,  2,  59, 3,  62, 9,  6,  29, 45, 51, 23, 39, 27, 46, 53, 30,
                                   43, 37, 60, 16, 21, 28, 19, 35, 42, 26, 44, 32, 58, 24, 20, 17,
                                   18, 48, 22, 33, 25, 49, 40, 36, 34, 50, 52, 54, 41, 56, 38, 57};
constexpr uint8_t kCbpInter[64] = {0,  15, 63, 31, 16, 32, 47, 13, 14, 11, 12, 5,  10, 7,  48, 3,
                                   2,  8,  4,  1,  61, 55, 59, 62, 29, 27, 23, 19, 30, 28, 9,  6,
                                   60, 21, 44, 26, 51, 35, 18, 20, 24, 53, 17, 37, 39, 45, 58, 43,
                                   42, 46, 36, 33, 34, 40, 52, 49, 50, 56, 25, 22, 54, 57, 41, 38};
// 4-bit patterns: intra and inter columns.
constexpr uint8_t kCbp4Intra[16] = {15, 0, 7, 11, 13, 14, 3, 5, 10, 12, 1, 2, 4, 8, 6, 9};
constexpr uint8_t kCbp4Inter[16] = {0, 1, 2, 4, 8, 3, 5, 10, 12, 15, 7, 11, 13, 14, 6, 9};

template <size_t N>
int code_of(const uint8_t (&table)[N], int pattern) {
    for (size_t i = 0; i < N; i++)
        if (table[i] == pattern) return static_cast<int>(i);
    std::abort();  // every pattern has a code; a miss is a caller bug
}

template <bool k4x4>
int write_block(BitWriter &bw, VlcFamily family, int escape_order, std::span<const SvacRunLevel> pairs) {
    const VlcFamilyTables fam = vlc_family(family);
    int t = 0;
    int escapes = 0;
    for (const SvacRunLevel &p : pairs) {
        const VlcSubTable &s = fam.tables[t];
        const int run = p.run;
        const int mag = std::abs(p.level);
        const bool negative = p.level < 0;
        if (run <= s.max_run && mag < s.level_base[run]) {
            const int code = s.code_of[run][mag] + (negative ? 1 : 0);
            put_golomb(bw, static_cast<uint32_t>(code), s.golomb_order);
            t += s.step[code];
        } else {
            // Escape codes come in pairs per run; the odd number of a pair
            // (the first, since the escapes start at 59) is the negative level.
            const int code = kVlcEscapeBase + 2 * (run - 1) + (negative ? 0 : 1);
            put_golomb(bw, static_cast<uint32_t>(code), s.golomb_order);
            const int base = run <= s.max_run ? s.level_base[run] : 1;
            put_golomb(bw, static_cast<uint32_t>(mag - base), k4x4 ? 1 : escape_order);
            while (mag > fam.tables[t].switch_limit) t++;
            escapes++;
        }
    }
    const size_t limit = k4x4 ? kMaxPairs4x4 : kMaxPairs8x8;
    if (pairs.size() < limit)
        put_golomb(bw, static_cast<uint32_t>(fam.tables[t].eob_code), fam.tables[t].golomb_order);
    return escapes;
}

}  // namespace

void put_golomb(BitWriter &bw, uint32_t value, int k) {
    bw.put_ue(value >> k);
    if (k > 0) bw.put(value & ((1u << k) - 1), k);
}

int write_block_8x8(BitWriter &bw, VlcFamily family, int escape_order, std::span<const SvacRunLevel> pairs) {
    return write_block<false>(bw, family, escape_order, pairs);
}

int write_block_4x4(BitWriter &bw, std::span<const SvacRunLevel> pairs) {
    return write_block<true>(bw, VlcFamily::Intra, 1, pairs);
}

bool block_pairs_valid(std::span<const SvacRunLevel> pairs, bool is4x4) {
    if (pairs.size() > static_cast<size_t>(is4x4 ? kMaxPairs4x4 : kMaxPairs8x8)) return false;
    for (const SvacRunLevel &p : pairs)
        if (p.run < 1 || p.run > (is4x4 ? kMaxRun4x4 : kMaxRun8x8) || p.level == 0) return false;
    return true;
}

int intra_cbp_code(int cbp) { return code_of(kCbpIntra, cbp); }
int inter_cbp_code(int cbp) { return code_of(kCbpInter, cbp); }
int intra_cbp4_code(int pattern) { return code_of(kCbp4Intra, pattern); }
int inter_cbp4_code(int pattern) { return code_of(kCbp4Inter, pattern); }
int intra_cbp_of_code(int code) { return kCbpIntra[code]; }
int intra_cbp4_of_code(int code) { return kCbp4Intra[code]; }

}  // namespace svacenc
