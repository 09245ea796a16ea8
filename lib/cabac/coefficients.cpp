#include "cabac/coefficients.h"

namespace {

// Largest magnitude that leaves each level state unchanged.
constexpr uint32_t kThreshold[5] = {0, 1, 2, 4, 3000};
// Longer unary runs than this hold no valid coefficient: the slice is broken.
constexpr uint32_t kMaxUnary = 1u << 16;

// The hot loop keeps the engine registers in a local and writes them back
// once at the end.
template <int MaxPairs, int MaxPos>
int decode_block(SvacCabac *c, int group, SvacRunLevel *pairs) {
    SvacCabacEngine e = c->e;
    SvacCabacCtx *g = c->ctx + group;
    uint32_t s = 0, p = 0;
    int n = 0;
    bool broken = false;
    for (;;) {
        SvacCabacCtx *row = g + 7 * s;
        uint32_t mag = 1;
        if (!svac_cabac_bin(e, row[1])) do {
                broken |= ++mag > kMaxUnary;
            } while (!broken && !svac_cabac_bin(e, row[2]));
        const uint32_t negative = svac_cabac_fixed(e, 255);
        SvacCabacCtx *run_ctx = row + (mag == 1 ? 3 : 5);
        uint32_t z = 0;
        if (!svac_cabac_bin(e, run_ctx[0])) do {
                broken |= ++z > kMaxUnary;
            } while (!broken && !svac_cabac_bin(e, run_ctx[1]));
        // Levels keep their low 16 bits, as VLC escapes do.
        const uint32_t level = negative ? 0u - mag : mag;
        pairs[n] = {static_cast<uint16_t>(z + 1), static_cast<int16_t>(static_cast<uint16_t>(level))};
        if (mag > kThreshold[s]) s = mag <= 2 ? mag : mag <= 4 ? 3 : 4;
        n++;
        p = p + z + 1 < MaxPos ? p + z + 1 : MaxPos;
        if (n == MaxPairs || broken) break;
        if (svac_cabac_bin2(e, g[7 * s], g[35 + (p >> 1)])) break;
    }
    c->e = e;
    if (broken) svac_cabac_break(c);
    return n;
}

}  // namespace

int cabac_decode_trans_coefficient(SvacCabac *c, int group, SvacRunLevel *pairs) {
    return decode_block<65, 63>(c, group, pairs);
}

int cabac_decode_trans_coefficient_4x4(SvacCabac *c, int group, SvacRunLevel *pairs) {
    return decode_block<17, 15>(c, group, pairs);
}
