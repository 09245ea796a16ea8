// One entry of the motion caches: a vector with its reference and the
// decoded difference.
#pragma once

#include <cstdint>

struct SvacMvEntry {
    int16_t mv_x;  // quarter samples
    int16_t mv_y;
    int16_t ref_dist;  // temporal distance of the reference
    int16_t ref_idx;   // >= 0 a reference index, or one of the markers below
    int16_t mvd_x;
    int16_t mvd_y;
};

// The motion cache of a macroblock: per list, rows of four entries. Row 0
// holds the upper-left (0), upper (1, 2) and upper-right (3) neighbours,
// column 0 the left neighbours (4, 8); the macroblock's own 8x8 blocks sit at
// 5, 6, 9 and 10, in decoding order.
inline constexpr int MV_CACHE_STRIDE = 4;
inline constexpr int MV_CACHE_SIZE = 12;
inline constexpr int kMvOwnBlocks[4] = {5, 6, 9, 10};

inline constexpr int16_t REF_UNAVAILABLE = -1;
inline constexpr int16_t REF_INTRA = -2;
inline constexpr int16_t REF_DIRECT = -3;

inline constexpr SvacMvEntry svac_unavail_mv = {0, 0, 1, REF_UNAVAILABLE, 0, 0};
inline constexpr SvacMvEntry svac_intra_mv = {0, 0, 1, REF_INTRA, 0, 0};
inline constexpr SvacMvEntry svac_dir_mv = {0, 0, 1, REF_DIRECT, 0, 0};
