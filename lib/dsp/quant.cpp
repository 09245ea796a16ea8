// Dequantisers and their tables.
#include "dsp/quant.h"

#include <algorithm>
#include <cstring>

#include "dsp/dsp_init.h"

SvacDequantFn svac_dequant4;
SvacDequantFn svac_dequant8;

// clang-format off
constexpr uint8_t iqcoeff4[7][16] = {
    {16, 16, 16, 16, 16, 17, 16, 17, 16, 16, 16, 16, 16, 17, 16, 17},
    {18, 18, 18, 18, 18, 19, 18, 19, 18, 18, 18, 18, 18, 19, 18, 19},
    {20, 21, 20, 21, 21, 22, 21, 22, 20, 21, 20, 21, 21, 22, 21, 22},
    {22, 23, 22, 23, 23, 24, 23, 24, 22, 23, 22, 23, 23, 24, 23, 24},
    {26, 27, 26, 27, 27, 28, 27, 28, 26, 27, 26, 27, 27, 28, 27, 28},
    {28, 29, 28, 29, 29, 30, 29, 30, 28, 29, 28, 29, 29, 30, 29, 30},
    {30, 31, 30, 31, 31, 33, 31, 33, 30, 31, 30, 31, 31, 33, 31, 33},
};
// clang-format on

// clang-format off
constexpr uint8_t iqcoeff8[7][16] = {
    {32, 30, 33, 30, 30, 28, 31, 28, 33, 31, 35, 31, 30, 28, 31, 28},
    {36, 33, 37, 33, 33, 31, 35, 31, 37, 35, 39, 35, 33, 31, 35, 31},
    {40, 37, 42, 37, 37, 35, 39, 35, 42, 39, 44, 39, 37, 35, 39, 35},
    {44, 41, 46, 41, 41, 39, 43, 39, 46, 43, 48, 43, 41, 39, 43, 39},
    {52, 49, 54, 49, 49, 46, 51, 46, 54, 51, 57, 51, 49, 46, 51, 46},
    {56, 52, 58, 52, 52, 49, 55, 49, 58, 55, 61, 55, 52, 49, 55, 49},
    {60, 56, 63, 56, 56, 53, 59, 53, 63, 59, 66, 59, 56, 53, 59, 53},
};
// clang-format on

// Frame scans are zigzags, field scans favour vertical frequencies.
// clang-format off
constexpr uint8_t svac_scan4t[2][16][2] = {
    {{0, 0}, {4, 1}, {1, 4}, {2, 8}, {5, 5}, {8, 2}, {12, 3}, {9, 6},
     {6, 9}, {3, 12}, {7, 13}, {10, 10}, {13, 7}, {14, 11}, {11, 14}, {15, 15}},
    {{0, 0}, {1, 4}, {4, 1}, {2, 8}, {3, 12}, {5, 5}, {6, 9}, {7, 13},
     {8, 2}, {9, 6}, {10, 10}, {11, 14}, {12, 3}, {13, 7}, {14, 11}, {15, 15}},
};
// clang-format on

// clang-format off
constexpr uint8_t svac_scan8t[2][64][2] = {
    {{0, 0},   {8, 1},   {1, 4},   {2, 8},   {9, 5},   {16, 2},  {24, 3},  {17, 6},
     {10, 9},  {3, 12},  {4, 0},   {11, 13}, {18, 10}, {25, 7},  {32, 0},  {40, 1},
     {33, 4},  {26, 11}, {19, 14}, {12, 1},  {5, 4},   {6, 8},   {13, 5},  {20, 2},
     {27, 15}, {34, 8},  {41, 5},  {48, 2},  {56, 3},  {49, 6},  {42, 9},  {35, 12},
     {28, 3},  {21, 6},  {14, 9},  {7, 12},  {15, 13}, {22, 10}, {29, 7},  {36, 0},
     {43, 13}, {50, 10}, {57, 7},  {58, 11}, {51, 14}, {44, 1},  {37, 4},  {30, 11},
     {23, 14}, {31, 15}, {38, 8},  {45, 5},  {52, 2},  {59, 15}, {60, 3},  {53, 6},
     {46, 9},  {39, 12}, {47, 13}, {54, 10}, {61, 7},  {62, 11}, {55, 14}, {63, 15}},
    {{0, 0},   {1, 4},   {2, 8},   {8, 1},   {3, 12},  {4, 0},   {9, 5},   {10, 9},
     {5, 4},   {6, 8},   {11, 13}, {16, 2},  {17, 6},  {7, 12},  {12, 1},  {18, 10},
     {24, 3},  {13, 5},  {14, 9},  {19, 14}, {25, 7},  {26, 11}, {32, 0},  {15, 13},
     {20, 2},  {33, 4},  {21, 6},  {27, 15}, {34, 8},  {22, 10}, {28, 3},  {35, 12},
     {40, 1},  {41, 5},  {23, 14}, {29, 7},  {36, 0},  {42, 9},  {48, 2},  {43, 13},
     {30, 11}, {37, 4},  {49, 6},  {50, 10}, {44, 1},  {31, 15}, {38, 8},  {51, 14},
     {45, 5},  {39, 12}, {52, 2},  {46, 9},  {53, 6},  {47, 13}, {54, 10}, {56, 3},
     {55, 14}, {57, 7},  {58, 11}, {59, 15}, {60, 3},  {61, 7},  {62, 11}, {63, 15}},
};
// clang-format on

namespace {

// Every scan visits each block index once and carries the class
// 4*(v mod 4) + (u mod 4) of index N*u + v next to it.
template <int N>
constexpr bool scan_is_consistent(const uint8_t (&scan)[N * N][2]) {
    bool seen[N * N] = {};
    for (const auto &e : scan) {
        const int u = e[0] / N, v = e[0] % N;
        if (e[0] >= N * N || seen[e[0]] || e[1] != 4 * (v % 4) + (u % 4)) return false;
        seen[e[0]] = true;
    }
    return true;
}

static_assert(scan_is_consistent<4>(svac_scan4t[0]) && scan_is_consistent<4>(svac_scan4t[1]));
static_assert(scan_is_consistent<8>(svac_scan8t[0]) && scan_is_consistent<8>(svac_scan8t[1]));

// M coefficients; the pairs come highest frequency first, so they are
// placed walking the list backwards. The position counter starts at 255 so
// that the first pair lands on scan position run - 1; a run of 0 rewrites
// the previous position and long runs wrap around the scan.
template <int M>
inline void dequant(const SvacRunLevel *pairs, int32_t *block, int qp, int count, const uint8_t (*scan)[2],
                    const uint8_t (&iq)[7][16]) {
    std::memset(block, 0, M * sizeof(*block));
    // qp is never negative for a valid block; the unsigned view keeps a bad
    // value inside the tables. Shifting in 64 bits keeps every shift count
    // defined: from 32 on, the 32-bit result is 0.
    const unsigned q = static_cast<unsigned>(qp);
    const uint8_t *scale = iq[q % 7];
    const unsigned shift = std::min(q / 7, 32u);
    unsigned pos = 255;
    for (int k = count - 1; k >= 0; k--) {
        pos = (pos + (pairs[k].run & 0xffu)) & (M - 1);
        const uint8_t *e = scan[pos];
        // Unsigned arithmetic: the product wraps like 32-bit two's complement.
        const uint32_t v = scale[e[1]] * static_cast<uint32_t>(pairs[k].level);
        const uint64_t scaled = static_cast<uint64_t>(v) << shift;
        block[e[0]] = static_cast<int32_t>(static_cast<uint32_t>(scaled));
    }
}

}  // namespace

void svac_dequant4_c(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan) {
    dequant<16>(pairs, block, qp, count, svac_scan4t[scan != 0], iqcoeff4);
}

void svac_dequant8_c(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan) {
    dequant<64>(pairs, block, qp, count, svac_scan8t[scan != 0], iqcoeff8);
}

void VQ_SVACDEC_quant_init(uint32_t cpu_flags) {
    svac_dequant4 = svac_dequant4_c;
    svac_dequant8 = svac_dequant8_c;
    VQ_SVACDEC_quant_init_x86(cpu_flags);
}
