#include "vlc_tables.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace svacenc {

namespace {

constexpr int32_t kNoLimit = kVlcNoLimit;

// One row as published: Exp-Golomb order, switch limit, largest regular run,
// end-of-block code number, then the (magnitude/run) pairs in code order.
struct VlcRow {
    int golomb_order;
    int32_t switch_limit;
    int max_run;
    int eob_code;
    const char *pairs;
};

// clang-format off
constexpr VlcRow kIntraRows[] = {
    {2, 0, 23, 58, "1/1 1/2 1/3 1/4 1/5 1/6 1/7 1/8 1/9 1/10 1/11 2/1 1/12 1/13 1/14 1/15 2/2 1/16 1/17 3/1 1/18 1/19 2/3 1/20 1/21 2/4 1/22 2/5 1/23"},
    {2, 1, 15, 8, "1/1 1/2 2/1 1/3 1/4 1/5 1/6 3/1 2/2 1/7 1/8 1/9 2/3 4/1 1/10 1/11 2/4 3/2 1/12 2/5 5/1 1/13 2/6 1/14 2/7 2/8 3/3 6/1 1/15"},
    {2, 2, 10, 8, "1/1 2/1 1/2 3/1 1/3 2/2 4/1 1/4 5/1 1/5 3/2 2/3 1/6 6/1 2/4 1/7 4/2 7/1 3/3 2/5 1/8 2/6 8/1 1/9 5/2 3/4 2/7 9/1 1/10"},
    {2, 4, 7, 8, "1/1 2/1 3/1 1/2 4/1 5/1 2/2 1/3 6/1 3/2 7/1 1/4 8/1 2/3 4/2 1/5 9/1 5/2 2/4 10/1 3/3 1/6 11/1 6/2 1/7 2/5 3/4 12/1 4/3"},
    {2, 7, 5, 6, "1/1 2/1 3/1 4/1 5/1 6/1 1/2 7/1 8/1 2/2 9/1 10/1 1/3 3/2 11/1 4/2 12/1 13/1 5/2 1/4 2/3 14/1 6/2 15/1 16/1 3/3 1/5 7/2 17/1"},
    {2, 10, 3, 0, "1/1 2/1 3/1 4/1 5/1 6/1 7/1 8/1 9/1 10/1 1/2 11/1 12/1 13/1 2/2 14/1 15/1 3/2 16/1 1/3 17/1 4/2 18/1 5/2 19/1 20/1 6/2 21/1 2/3"},
    {2, kNoLimit, 2, 0, "1/1 2/1 3/1 4/1 5/1 6/1 7/1 8/1 9/1 10/1 11/1 12/1 13/1 14/1 15/1 16/1 1/2 17/1 18/1 19/1 20/1 21/1 2/2 22/1 23/1 24/1 25/1 3/2 26/1"},
};
// clang-format on

// clang-format off
constexpr VlcRow kInterRows[] = {
    {3, 0, 26, 58, "1/1 1/2 1/3 1/4 1/5 1/6 1/7 1/8 1/9 1/10 1/11 1/12 1/13 2/1 1/14 1/15 1/16 1/17 1/18 1/19 3/1 1/20 1/21 2/2 1/22 1/23 1/24 1/25 1/26"},
    {2, 1, 19, 2, "1/1 1/2 1/3 1/4 1/5 1/6 2/1 1/7 1/8 1/9 1/10 2/2 1/11 1/12 3/1 1/13 1/14 2/3 1/15 2/4 1/16 2/5 1/17 4/1 2/6 1/18 1/19 2/7 3/2"},
    {2, 2, 14, 2, "1/1 1/2 2/1 1/3 1/4 3/1 2/2 1/5 1/6 1/7 2/3 4/1 1/8 3/2 2/4 1/9 1/10 5/1 2/5 1/11 2/6 1/12 3/3 6/1 4/2 1/13 2/7 3/4 1/14"},
    {2, 3, 10, 2, "1/1 2/1 1/2 3/1 1/3 2/2 4/1 1/4 5/1 1/5 3/2 2/3 1/6 6/1 2/4 1/7 4/2 7/1 3/3 1/8 2/5 8/1 1/9 3/4 2/6 5/2 1/10 9/1 4/3"},
    {2, 6, 7, 2, "1/1 2/1 3/1 1/2 4/1 5/1 2/2 1/3 6/1 3/2 7/1 1/4 8/1 2/3 4/2 1/5 9/1 5/2 2/4 1/6 10/1 3/3 11/1 1/7 6/2 3/4 2/5 12/1 4/3"},
    {2, 9, 5, 0, "1/1 2/1 3/1 4/1 5/1 1/2 6/1 7/1 8/1 2/2 9/1 1/3 10/1 3/2 11/1 4/2 12/1 1/4 2/3 13/1 5/2 14/1 6/2 1/5 15/1 3/3 16/1 2/4 7/2"},
    {2, kNoLimit, 4, 0, "1/1 2/1 3/1 4/1 5/1 6/1 7/1 1/2 8/1 9/1 10/1 11/1 12/1 2/2 13/1 1/3 14/1 15/1 3/2 16/1 17/1 18/1 4/2 19/1 20/1 2/3 1/4 5/2 21/1"},
};
// clang-format on

// clang-format off
constexpr VlcRow kChromaRows[] = {
    {2, 0, 25, 58, "1/1 1/2 1/3 1/4 1/5 1/6 1/7 2/1 1/8 1/9 1/10 1/11 1/12 1/13 1/14 1/15 3/1 1/16 1/17 1/18 1/19 1/20 1/21 1/22 2/2 1/23 1/24 1/25 4/1"},
    {0, 1, 20, 0, "1/1 1/2 2/1 1/3 1/4 1/5 1/6 3/1 1/7 1/8 2/2 1/9 1/10 1/11 4/1 1/12 1/13 1/14 2/3 1/15 2/4 5/1 3/2 1/16 1/17 1/18 2/5 1/19 1/20"},
    {1, 2, 11, 2, "1/1 2/1 1/2 3/1 1/3 4/1 2/2 1/4 5/1 1/5 3/2 2/3 1/6 6/1 1/7 2/4 7/1 1/8 4/2 1/9 3/3 2/5 2/6 8/1 1/10 1/11 9/1 5/2 3/4"},
    {1, 4, 8, 0, "1/1 2/1 3/1 4/1 1/2 5/1 2/2 6/1 1/3 7/1 3/2 8/1 1/4 2/3 9/1 4/2 1/5 10/1 3/3 5/2 2/4 11/1 1/6 12/1 1/7 6/2 13/1 2/5 1/8"},
    {0, kNoLimit, 5, 0, "1/1 2/1 3/1 4/1 5/1 6/1 7/1 8/1 1/2 9/1 10/1 11/1 2/2 12/1 13/1 3/2 14/1 1/3 15/1 4/2 16/1 17/1 5/2 1/4 2/3 18/1 6/2 19/1 1/5"},
};
// clang-format on

// Reads the next "L/R" pair of a row; false at the end of the text.
bool next_pair(const char *&p, int &mag, int &run) {
    while (*p == ' ') p++;
    if (*p == 0) return false;
    char *end = nullptr;
    mag = static_cast<int>(std::strtol(p, &end, 10));
    p = end + 1;  // skip '/'
    run = static_cast<int>(std::strtol(p, &end, 10));
    p = end;
    return true;
}

template <size_t N>
std::array<VlcSubTable, N> build_family(const VlcRow (&rows)[N]) {
    std::array<VlcSubTable, N> out{};
    // First sub-table index whose limit admits magnitude m.
    auto first_for = [&](int m) {
        for (size_t u = 0; u < N; u++)
            if (rows[u].switch_limit >= m) return static_cast<int>(u);
        return static_cast<int>(N) - 1;
    };
    for (size_t t = 0; t < N; t++) {
        const VlcRow &row = rows[t];
        VlcSubTable &s = out[t];
        s.golomb_order = row.golomb_order;
        s.switch_limit = row.switch_limit;
        s.max_run = row.max_run;
        s.eob_code = row.eob_code;
        for (auto &r : s.code_of)
            for (auto &c : r) c = -1;
        // The pairs take the code numbers other than the end-of-block code,
        // in increasing order, +L before -L.
        int numbers[kVlcTableCodes - 1];
        for (int c = 0, n = 0; c < kVlcTableCodes; c++)
            if (c != row.eob_code) numbers[n++] = c;
        int pair = 0;
        const char *p = row.pairs;
        int mag = 0, run = 0;
        while (next_pair(p, mag, run)) {
            const int step = std::max(static_cast<int>(t), first_for(mag)) - static_cast<int>(t);
            for (int sign = 0; sign < 2; sign++) {
                const int code = numbers[2 * pair + sign];
                s.level[code] = static_cast<int8_t>(sign ? -mag : mag);
                s.run[code] = static_cast<int8_t>(run);
                s.step[code] = static_cast<int8_t>(step);
                if (sign == 0) s.code_of[run][mag] = static_cast<int16_t>(code);
            }
            if (mag + 1 > s.level_base[run]) s.level_base[run] = static_cast<int8_t>(mag + 1);
            pair++;
        }
        s.level[row.eob_code] = 0;
        s.run[row.eob_code] = 0;
        s.step[row.eob_code] = 0;
    }
    return out;
}

}  // namespace

VlcFamilyTables vlc_family(VlcFamily family) {
    static const auto intra = build_family(kIntraRows);
    static const auto inter = build_family(kInterRows);
    static const auto chroma = build_family(kChromaRows);
    switch (family) {
        case VlcFamily::Intra:
            return {intra.data(), static_cast<int>(intra.size())};
        case VlcFamily::Inter:
            return {inter.data(), static_cast<int>(inter.size())};
        case VlcFamily::Chroma:
            break;
    }
    return {chroma.data(), static_cast<int>(chroma.size())};
}

int vlc_first_table_for(VlcFamily family, int magnitude) {
    const VlcFamilyTables f = vlc_family(family);
    for (int u = 0; u < f.count; u++)
        if (f.tables[u].switch_limit >= magnitude) return u;
    return f.count - 1;
}

}  // namespace svacenc
