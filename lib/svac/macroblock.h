// The per-layer macroblock record: position, neighbour caches, line buffers
// and the picture progress of the slice loop.
#pragma once

#include <cstdint>

struct SvacMacroblock {
    int32_t mb_x;
    int32_t mb_y;
    int32_t mb_addr;
    uint32_t neighbour_flags;

    // Picture progress (slice loop).
    int32_t picture_complete;
    int32_t mbs_remaining;
    int32_t roi_remaining;
};
