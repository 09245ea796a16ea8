// Motion vector prediction from the left (A), upper (B) and upper-right (C)
// neighbours, with the fallback to the upper-left (D) neighbour.
#pragma once

#include <cstdint>

#include "common.h"
#include "recon/mv.h"

struct SvacMacroblock;

// Preference of a partition for one neighbour when its reference index
// matches; kPrefNoMvd and above also mean "no vector difference follows".
enum SvacMvPref : int32_t { PREF_NONE = 0, PREF_A = 1, PREF_B = 2, PREF_C = 3, PREF_NO_MVD = 4 };

enum SvacMvShape : int32_t { SHAPE_16X16 = 0, SHAPE_16X8 = 1, SHAPE_8X16 = 2, SHAPE_8X8 = 3 };

struct SvacMv {
    int32_t x, y;
};

// The predicted vector of a partition with reference index `ref_idx` and
// temporal distance `ref_dist`, from its neighbours as they stand in the
// motion cache (C already replaced by D where it must be). `inv_dist` is the
// reciprocal distance table (512 / distance) of the two reference indices.
// A pure function of its inputs, shared with the stream generator.
SvacMv svac_predict_mv(const SvacMvEntry &a, const SvacMvEntry &b, const SvacMvEntry &c, int32_t ref_idx,
                       int32_t ref_dist, int32_t pref, const int32_t inv_dist[2]);

// Direct prediction of one 8x8 block from the co-located entry `col` of the
// backward reference: `col_inv_dist` is 16384 / (the distance of col's
// reference), df and db the forward and backward distances. Writes vector,
// distance and reference index of both lists; the differences stay.
void svac_direct_mv(const SvacMvEntry &col, int32_t col_inv_dist, int32_t df, int32_t db, SvacMvEntry &l0,
                    SvacMvEntry &l1);

// The backward entry a symmetric partition derives from its forward entry
// `f`: the vector mirrored and scaled by sym_scale / 512, reference 0 at
// distance db, no differences.
SvacMvEntry svac_symmetric_mv(const SvacMvEntry &f, int32_t sym_scale, int32_t db);

// The neighbour that stands in for C: D when C is unavailable or the block
// is the lower-right one (its upper-right is never decoded yet).
inline const SvacMvEntry &svac_mv_neighbour_c(const SvacMvEntry *cache, int block, int c_index) {
    const bool use_d = cache[c_index].ref_idx == REF_UNAVAILABLE || block == 10 || block == 22;
    return cache[use_d ? block - 5 : c_index];
}

// Copies the entry at `block` over the other blocks of its partition.
inline void svac_copy_partition(SvacMvEntry *cache, int block, int shape) {
    static constexpr int kCopies[4][3] = {{1, 4, 5}, {1, 0, 0}, {4, 0, 0}, {0, 0, 0}};
    for (int off : kCopies[shape])
        if (off) cache[block + off] = cache[block];
}

// Predicts the vector of the partition at `block`, whose reference index,
// distance and vector difference already stand in the cache, adds the
// difference and copies the entry over the partition's blocks. `block`
// indexes the two lists' caches as one array of 24 entries.
SVAC_EXTERN_C void VQ_SVACDEC_svac_mv(SvacMacroblock *mb, int32_t block, int32_t c_index, int32_t pref,
                                      int32_t shape, const int32_t inv_dist[2]);
