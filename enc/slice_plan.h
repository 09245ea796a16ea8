// How a picture is cut into slices: ranges in raster order, or, with
// regions of interest, one raster pass per region and one for the
// macroblocks outside every region, each pass cut into slices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder.h"

namespace svacenc {

struct SlicePlan {
    std::vector<int> addrs;  // macroblocks in decoding order
    // From this position on, the macroblocks lie outside every region of a
    // P or B picture that skips them: they carry no data.
    size_t outside_from = SIZE_MAX;
};

// The slices of the next picture. With regions, `enc.roi` must hold the
// picture's region index and scan state.
std::vector<SlicePlan> plan_slices(Encoder &enc, bool inter_picture);

}  // namespace svacenc
