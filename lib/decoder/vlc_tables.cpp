#include "decoder/vlc_tables.h"

#include <climits>
#include <cstddef>

using std::size_t;

namespace {

// One transcribed row: order k, switch limit, largest regular run, code
// number of the end-of-block code, and the (magnitude, run) pairs in code order.
struct Row {
    int k;
    int32_t switch_limit;
    int max_run;
    int eob;
    uint8_t pairs[29][2];
};

constexpr int32_t kNone = INT_MAX;

// clang-format off
constexpr Row kIntra[7] = {
    {2, 0, 23, 58, {{1,1},{1,2},{1,3},{1,4},{1,5},{1,6},{1,7},{1,8},{1,9},{1,10},{1,11},{2,1},{1,12},{1,13},{1,14},{1,15},{2,2},{1,16},{1,17},{3,1},{1,18},{1,19},{2,3},{1,20},{1,21},{2,4},{1,22},{2,5},{1,23}}},
    {2, 1, 15, 8, {{1,1},{1,2},{2,1},{1,3},{1,4},{1,5},{1,6},{3,1},{2,2},{1,7},{1,8},{1,9},{2,3},{4,1},{1,10},{1,11},{2,4},{3,2},{1,12},{2,5},{5,1},{1,13},{2,6},{1,14},{2,7},{2,8},{3,3},{6,1},{1,15}}},
    {2, 2, 10, 8, {{1,1},{2,1},{1,2},{3,1},{1,3},{2,2},{4,1},{1,4},{5,1},{1,5},{3,2},{2,3},{1,6},{6,1},{2,4},{1,7},{4,2},{7,1},{3,3},{2,5},{1,8},{2,6},{8,1},{1,9},{5,2},{3,4},{2,7},{9,1},{1,10}}},
    {2, 4, 7, 8, {{1,1},{2,1},{3,1},{1,2},{4,1},{5,1},{2,2},{1,3},{6,1},{3,2},{7,1},{1,4},{8,1},{2,3},{4,2},{1,5},{9,1},{5,2},{2,4},{10,1},{3,3},{1,6},{11,1},{6,2},{1,7},{2,5},{3,4},{12,1},{4,3}}},
    {2, 7, 5, 6, {{1,1},{2,1},{3,1},{4,1},{5,1},{6,1},{1,2},{7,1},{8,1},{2,2},{9,1},{10,1},{1,3},{3,2},{11,1},{4,2},{12,1},{13,1},{5,2},{1,4},{2,3},{14,1},{6,2},{15,1},{16,1},{3,3},{1,5},{7,2},{17,1}}},
    {2, 10, 3, 0, {{1,1},{2,1},{3,1},{4,1},{5,1},{6,1},{7,1},{8,1},{9,1},{10,1},{1,2},{11,1},{12,1},{13,1},{2,2},{14,1},{15,1},{3,2},{16,1},{1,3},{17,1},{4,2},{18,1},{5,2},{19,1},{20,1},{6,2},{21,1},{2,3}}},
    {2, kNone, 2, 0, {{1,1},{2,1},{3,1},{4,1},{5,1},{6,1},{7,1},{8,1},{9,1},{10,1},{11,1},{12,1},{13,1},{14,1},{15,1},{16,1},{1,2},{17,1},{18,1},{19,1},{20,1},{21,1},{2,2},{22,1},{23,1},{24,1},{25,1},{3,2},{26,1}}},
};
// clang-format on

// clang-format off
constexpr Row kInter[7] = {
    {3, 0, 26, 58, {{1,1},{1,2},{1,3},{1,4},{1,5},{1,6},{1,7},{1,8},{1,9},{1,10},{1,11},{1,12},{1,13},{2,1},{1,14},{1,15},{1,16},{1,17},{1,18},{1,19},{3,1},{1,20},{1,21},{2,2},{1,22},{1,23},{1,24},{1,25},{1,26}}},
    {2, 1, 19, 2, {{1,1},{1,2},{1,3},{1,4},{1,5},{1,6},{2,1},{1,7},{1,8},{1,9},{1,10},{2,2},{1,11},{1,12},{3,1},{1,13},{1,14},{2,3},{1,15},{2,4},{1,16},{2,5},{1,17},{4,1},{2,6},{1,18},{1,19},{2,7},{3,2}}},
    {2, 2, 14, 2, {{1,1},{1,2},{2,1},{1,3},{1,4},{3,1},{2,2},{1,5},{1,6},{1,7},{2,3},{4,1},{1,8},{3,2},{2,4},{1,9},{1,10},{5,1},{2,5},{1,11},{2,6},{1,12},{3,3},{6,1},{4,2},{1,13},{2,7},{3,4},{1,14}}},
    {2, 3, 10, 2, {{1,1},{2,1},{1,2},{3,1},{1,3},{2,2},{4,1},{1,4},{5,1},{1,5},{3,2},{2,3},{1,6},{6,1},{2,4},{1,7},{4,2},{7,1},{3,3},{1,8},{2,5},{8,1},{1,9},{3,4},{2,6},{5,2},{1,10},{9,1},{4,3}}},
    {2, 6, 7, 2, {{1,1},{2,1},{3,1},{1,2},{4,1},{5,1},{2,2},{1,3},{6,1},{3,2},{7,1},{1,4},{8,1},{2,3},{4,2},{1,5},{9,1},{5,2},{2,4},{1,6},{10,1},{3,3},{11,1},{1,7},{6,2},{3,4},{2,5},{12,1},{4,3}}},
    {2, 9, 5, 0, {{1,1},{2,1},{3,1},{4,1},{5,1},{1,2},{6,1},{7,1},{8,1},{2,2},{9,1},{1,3},{10,1},{3,2},{11,1},{4,2},{12,1},{1,4},{2,3},{13,1},{5,2},{14,1},{6,2},{1,5},{15,1},{3,3},{16,1},{2,4},{7,2}}},
    {2, kNone, 4, 0, {{1,1},{2,1},{3,1},{4,1},{5,1},{6,1},{7,1},{1,2},{8,1},{9,1},{10,1},{11,1},{12,1},{2,2},{13,1},{1,3},{14,1},{15,1},{3,2},{16,1},{17,1},{18,1},{4,2},{19,1},{20,1},{2,3},{1,4},{5,2},{21,1}}},
};
// clang-format on

// clang-format off
constexpr Row kChroma[5] = {
    {2, 0, 25, 58, {{1,1},{1,2},{1,3},{1,4},{1,5},{1,6},{1,7},{2,1},{1,8},{1,9},{1,10},{1,11},{1,12},{1,13},{1,14},{1,15},{3,1},{1,16},{1,17},{1,18},{1,19},{1,20},{1,21},{1,22},{2,2},{1,23},{1,24},{1,25},{4,1}}},
    {0, 1, 20, 0, {{1,1},{1,2},{2,1},{1,3},{1,4},{1,5},{1,6},{3,1},{1,7},{1,8},{2,2},{1,9},{1,10},{1,11},{4,1},{1,12},{1,13},{1,14},{2,3},{1,15},{2,4},{5,1},{3,2},{1,16},{1,17},{1,18},{2,5},{1,19},{1,20}}},
    {1, 2, 11, 2, {{1,1},{2,1},{1,2},{3,1},{1,3},{4,1},{2,2},{1,4},{5,1},{1,5},{3,2},{2,3},{1,6},{6,1},{1,7},{2,4},{7,1},{1,8},{4,2},{1,9},{3,3},{2,5},{2,6},{8,1},{1,10},{1,11},{9,1},{5,2},{3,4}}},
    {1, 4, 8, 0, {{1,1},{2,1},{3,1},{4,1},{1,2},{5,1},{2,2},{6,1},{1,3},{7,1},{3,2},{8,1},{1,4},{2,3},{9,1},{4,2},{1,5},{10,1},{3,3},{5,2},{2,4},{11,1},{1,6},{12,1},{1,7},{6,2},{13,1},{2,5},{1,8}}},
    {0, kNone, 5, 0, {{1,1},{2,1},{3,1},{4,1},{5,1},{6,1},{7,1},{8,1},{1,2},{9,1},{10,1},{11,1},{2,2},{12,1},{13,1},{3,2},{14,1},{1,3},{15,1},{4,2},{16,1},{17,1},{5,2},{1,4},{2,3},{18,1},{6,2},{19,1},{1,5}}},
};
// clang-format on

// Builds sub-table t of a family: regular codes fill the code numbers other
// than the end-of-block code in pairs (+L, then -L); a code's step leads to
// the first sub-table meant for its magnitude; level_base[r] is one above the
// largest regular magnitude of run r.
template <size_t N>
constexpr SvacVlc2dTable build(const Row (&rows)[N], size_t t) {
    const Row &row = rows[t];
    SvacVlc2dTable tab{};
    tab.golomb_order = static_cast<int8_t>(row.k);
    tab.switch_limit = row.switch_limit;
    tab.max_run = static_cast<int8_t>(row.max_run);
    int n = 0;
    for (int c = 0; c < 59; c++) {
        if (c == row.eob) {
            tab.codes[c] = {0, 0, 0, 0};
            continue;
        }
        const int mag = row.pairs[n / 2][0], run = row.pairs[n / 2][1];
        size_t u = 0;
        while (rows[u].switch_limit < mag) u++;
        const size_t target = u > t ? u : t;
        tab.codes[c] = {static_cast<int8_t>(n % 2 ? -mag : mag), static_cast<int8_t>(run),
                        static_cast<int8_t>(target - t), static_cast<int8_t>(rows[target].k)};
        if (run <= row.max_run && mag + 1 > tab.level_base[run])
            tab.level_base[run] = static_cast<int8_t>(mag + 1);
        n++;
    }
    return tab;
}

template <size_t N>
constexpr std::array<SvacVlc2dTable, N> build_family(const Row (&rows)[N]) {
    std::array<SvacVlc2dTable, N> f{};
    for (size_t t = 0; t < N; t++) f[t] = build(rows, t);
    return f;
}

constexpr auto kIntraTabs = build_family(kIntra);
constexpr auto kInterTabs = build_family(kInter);
constexpr auto kChromaTabs = build_family(kChroma);

// Known entries: intra 0 starts with +1/-1 of run 1; intra 1 has its EOB at
// code 8 followed by +1/-1 of run 4; a magnitude-2 code in intra 0 steps to
// intra 2 (the first sub-table meant for magnitude 2).
static_assert(kIntraTabs[0].codes[0].level == 1 && kIntraTabs[0].codes[1].level == -1);
static_assert(kIntraTabs[0].codes[58].level == 0);
static_assert(kIntraTabs[1].codes[8].level == 0 && kIntraTabs[1].codes[9].run == 4 &&
              kIntraTabs[1].codes[10].level == -1);
static_assert(kIntraTabs[0].codes[22].level == 2 && kIntraTabs[0].codes[22].table_step == 2);
static_assert(kIntraTabs[0].level_base[1] == 4 && kIntraTabs[6].level_base[1] == 27);
static_assert(kChromaTabs[4].codes[0].table_step == 0 && kInterTabs[6].switch_limit == kNone);
static_assert(kChromaTabs[0].codes[14].level == 2 && kChromaTabs[0].codes[14].next_order == 1);

}  // namespace

const SvacVlc2dTable intra_dec[7] = {kIntraTabs[0], kIntraTabs[1], kIntraTabs[2], kIntraTabs[3],
                                     kIntraTabs[4], kIntraTabs[5], kIntraTabs[6]};
const SvacVlc2dTable inter_dec[7] = {kInterTabs[0], kInterTabs[1], kInterTabs[2], kInterTabs[3],
                                     kInterTabs[4], kInterTabs[5], kInterTabs[6]};
const SvacVlc2dTable chroma_dec[5] = {kChromaTabs[0], kChromaTabs[1], kChromaTabs[2], kChromaTabs[3],
                                      kChromaTabs[4]};

// clang-format off
const uint8_t cbp_tab[64][2] = {
    {63, 0},  {15, 15}, {31, 63}, {47, 31}, {0, 16},  {14, 32}, {13, 47}, {11, 13},
    {7, 14},  {5, 11},  {10, 12}, {8, 5},   {12, 10}, {61, 7},  {4, 48},  {55, 3},
    {1, 2},   {2, 8},   {59, 4},  {3, 1},   {62, 61}, {9, 55},  {6, 59},  {29, 62},
    {45, 29}, {51, 27}, {23, 23}, {39, 19}, {27, 30}, {46, 28}, {53, 9},  {30, 6},
    {43, 60}, {37, 21}, {60, 44}, {16, 26}, {21, 51}, {28, 35}, {19, 18}, {35, 20},
    {42, 24}, {26, 53}, {44, 17}, {32, 37}, {58, 39}, {24, 45}, {20, 58}, {17, 43},
    {18, 42}, {48, 46}, {22, 36}, {33, 33}, {25, 34}, {49, 40}, {40, 52}, {36, 49},
    {34, 50}, {50, 56}, {52, 25}, {54, 22}, {41, 54}, {56, 57}, {38, 41}, {57, 38},
};
// clang-format on

const uint8_t cbp_tab_4x4[16][2] = {{15, 0},  {0, 1},   {7, 2}, {11, 4}, {13, 8}, {14, 3}, {3, 5}, {5, 10},
                                    {10, 12}, {12, 15}, {1, 7}, {2, 11}, {4, 13}, {8, 14}, {6, 6}, {9, 9}};
