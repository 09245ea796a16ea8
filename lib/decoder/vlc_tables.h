// The two-dimensional VLC sub-tables of the residual coder and the cbp code
// tables. The regular codes are transcribed rows; the table steps and the
// escape base magnitudes are derived from them at compile time.
#pragma once

#include <array>
#include <cstdint>

struct SvacVlcCode {
    int8_t level;       // signed coefficient value; 0 marks end of block
    int8_t run;         // 1..26
    int8_t table_step;  // sub-tables to advance after this code
    int8_t next_order;  // Exp-Golomb order of the sub-table stepped to
};

struct SvacVlc2dTable {
    SvacVlcCode codes[59];
    int8_t level_base[27];
    int8_t golomb_order;
    int32_t switch_limit;
    int8_t max_run;
};

extern const SvacVlc2dTable intra_dec[7];
extern const SvacVlc2dTable inter_dec[7];
extern const SvacVlc2dTable chroma_dec[5];

// cbp_tab[code][0] intra, [1] inter (4:2:0); cbp_tab_4x4 for 4-bit patterns.
extern const uint8_t cbp_tab[64][2];
extern const uint8_t cbp_tab_4x4[16][2];
