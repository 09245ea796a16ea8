// Counts of the syntax and reconstruction paths a stream takes, so tests and
// the tool can show that random mode reaches the rare ones.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace svacenc {

struct PathStats {
    int64_t mb_4x4 = 0, mb_8x8 = 0;
    int64_t luma_modes[8] = {};  // modes used for prediction, after edge replacement
    int64_t chroma_modes[7] = {};
    int64_t cbp_zero = 0, cbp_full = 0;
    int64_t empty_blocks = 0;    // coded blocks whose first code ends them
    int64_t full_blocks = 0;     // blocks with the most pairs (no end-of-block code)
    int64_t wrapped_blocks = 0;  // runs summing past the end of the scan
    int64_t escapes = 0;
    int64_t qp_wraps = 0;  // macroblock QP deltas that wrap around 0..55
    int64_t slices = 0, slices_mid_row = 0;
    int64_t slices_fixed_qp = 0, slices_lf_disabled = 0, slices_lf_override = 0;
    // P pictures
    int64_t p_types[5] = {};  // P_16X16, P_16X8, P_8X16, P_8X8, P_SKIP
    int64_t intra_in_p = 0;
    int64_t ref1_partitions = 0;  // partitions predicted from the older reference
    int64_t single_ref_slices = 0, two_bit_ref_slices = 0;
    int64_t phases[16] = {};     // quarter phases (4 y + x) of coded vectors
    int64_t outside_partly = 0;  // reference areas crossing the picture edge
    int64_t outside_fully = 0;   // reference areas entirely outside the picture
    int64_t skip_runs_at_slice_end = 0, skip_runs_to_picture_end = 0;
    int64_t longest_skip_run = 0;
    int64_t field_pictures = 0;
    // B pictures
    int64_t b_pictures = 0;
    int64_t b_types[24] = {};      // internal types 7..30
    int64_t b_sub_types[4] = {};   // sub-types of B_8X8
    int64_t b_direct_col[2] = {};  // direct blocks with an intra / inter co-located block
    int64_t b_bi_blocks = 0;       // 8x8 blocks predicted from both lists
    int64_t b_sym_far = 0;         // symmetric vectors of 128 quarter samples or more
    int64_t intra_in_b = 0;
    int64_t b_field_ref_slices = 0;  // field B slices with reference index syntax
    // CABAC slices
    int64_t cabac_ctx_bins[332] = {};   // bins coded with each context
    int64_t cabac_long_skip_flags = 0;  // skip values above 1
    int64_t cabac_mvd_classes[5] = {};  // |mvd| 0, 1..7, 8, 9..255, 256 and more
    int64_t cabac_qp_delta_min = 0, cabac_qp_delta_max = 0;
    int64_t cabac_full_blocks = 0;  // blocks of 65 (17) pairs: no end-of-block bin
    int64_t cabac_longest_run = 0, cabac_largest_level = 0;
    // Regions of interest
    int64_t roi_slices = 0;             // slices that start inside a region
    int64_t roi_enh_slices = 0;         // of them in the enhancement layer
    int64_t roi_split_passes = 0;       // region passes cut into several slices
    int64_t roi_overlaps = 0;           // macroblocks inside two or more regions
    int64_t roi_edge_regions = 0;       // regions touching a picture edge
    int64_t roi_empty_regions = 0;      // regions whose macroblocks all belong to lower indices
    int64_t roi_outside_joined = 0;     // outside passes continuing the last region's slice
    int64_t roi_outside_own = 0;        // outside passes in slices of their own
    int64_t roi_outside_skips[2] = {};  // outside macroblocks without data, in P and in B pictures
    int64_t roi_runs_into_outside = 0;  // skip runs reaching past the last region
    int64_t roi_lone_corners = 0;       // upper-left neighbour available, its motion entry not
    // Scalable streams: enhancement macroblocks predicted from the base
    // picture, those with a residual, those in each picture corner (top-left,
    // top-right, bottom-left, bottom-right), flag values above 1 (CABAC), and
    // enhancement intra macroblocks predicted as usual.
    int64_t inter_layer_mbs = 0, inter_layer_coded = 0;
    int64_t inter_layer_corners[4] = {};
    int64_t inter_layer_long_flags = 0;
    int64_t enh_plain_intra = 0;
};

// Adds the counts of `b` to `a`; the extremes combine as extremes.
inline void add_stats(PathStats &a, const PathStats &b) {
    const PathStats old = a;
    auto *d = reinterpret_cast<int64_t *>(&a);
    const auto *s = reinterpret_cast<const int64_t *>(&b);
    for (size_t i = 0; i < sizeof a / sizeof(int64_t); i++) d[i] += s[i];
    a.cabac_qp_delta_min = std::min(old.cabac_qp_delta_min, b.cabac_qp_delta_min);
    a.cabac_qp_delta_max = std::max(old.cabac_qp_delta_max, b.cabac_qp_delta_max);
    a.cabac_longest_run = std::max(old.cabac_longest_run, b.cabac_longest_run);
    a.cabac_largest_level = std::max(old.cabac_largest_level, b.cabac_largest_level);
    a.longest_skip_run = std::max(old.longest_skip_run, b.longest_skip_run);
}

}  // namespace svacenc
