// One entry of the motion caches: a vector with its reference and the
// decoded difference.
#pragma once

#include <cstdint>

struct SvacMvEntry {
    int16_t mv_x;      // quarter samples
    int16_t mv_y;
    int16_t ref_dist;  // temporal distance of the reference
    int16_t ref_idx;   // >= 0 a reference index, or one of the markers below
    int16_t mvd_x;
    int16_t mvd_y;
};

inline constexpr int16_t REF_UNAVAILABLE = -1;
inline constexpr int16_t REF_INTRA = -2;
inline constexpr int16_t REF_DIRECT = -3;

inline constexpr SvacMvEntry svac_unavail_mv = {0, 0, 1, REF_UNAVAILABLE, 0, 0};
inline constexpr SvacMvEntry svac_intra_mv = {0, 0, 1, REF_INTRA, 0, 0};
inline constexpr SvacMvEntry svac_dir_mv = {0, 0, 1, REF_DIRECT, 0, 0};
