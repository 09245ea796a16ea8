// The encoder's copy of the two-dimensional VLC sub-tables of the residual
// coder, with the derived columns (table step, level base) and a reverse
// index from (run, magnitude) to code number.
#pragma once

#include <cstdint>

namespace svacenc {

enum class VlcFamily : int { Intra = 0, Inter = 1, Chroma = 2 };

// Code numbers 0..58 are table entries; from 59 on they are escapes.
inline constexpr int kVlcTableCodes = 59;
inline constexpr int kVlcEscapeBase = 59;
// Largest run and magnitude that any regular code carries.
inline constexpr int kVlcRegularRunMax = 26;
inline constexpr int kVlcRegularLevelMax = 26;
inline constexpr int32_t kVlcNoLimit = 2147483647;

struct VlcSubTable {
    int golomb_order;
    int32_t switch_limit;
    int max_run;
    int eob_code;
    int8_t level[kVlcTableCodes];  // signed value of each code; 0 for the end-of-block code
    int8_t run[kVlcTableCodes];
    int8_t step[kVlcTableCodes];  // sub-tables to advance after the code
    // For run r <= max_run: one more than the largest magnitude with a
    // regular code of run r, i.e. the smallest magnitude an escape codes.
    int8_t level_base[kVlcRegularRunMax + 1];
    // Code number of +L with run r (the -L code follows it); -1 when none.
    int16_t code_of[kVlcRegularRunMax + 1][kVlcRegularLevelMax + 1];
};

struct VlcFamilyTables {
    const VlcSubTable *tables;
    int count;
};

VlcFamilyTables vlc_family(VlcFamily family);

// Index of the first sub-table of the family whose switch limit is at least m.
int vlc_first_table_for(VlcFamily family, int magnitude);

}  // namespace svacenc
