#include "cabac/coefficients.h"

#include "cabac/engine_local.h"

namespace {

// The level state a magnitude leads to (5 for all larger ones); a level
// never lowers the state, so the new state is the larger of the two.
constexpr uint8_t kLevelState[6] = {0, 1, 2, 3, 3, 4};
// Longer unary runs than this hold no valid coefficient: the slice is broken.
constexpr uint32_t kMaxUnary = 1u << 16;

template <int MaxPairs, int MaxPos>
int decode_pairs(SvacCabac *c, int group, SvacRunLevel *pairs, bool &broken_out) {
    SvacCabacLocal e(c->e);
    bool broken = false;  // a local: it stays in a register
    SvacCabacCtx *g = c->ctx + group;
    uint32_t s = 0, p = 0;
    int n = 0;
    for (;;) {
        SvacCabacCtx *row = g + 7 * s;
        // The unary tails reuse one context: it stays in registers meanwhile
        // rather than going through memory from bin to bin.
        uint32_t mag = 1;
        if (!e.bin(row[1])) {
            SvacCabacCtx tail = row[2];
            do {
                broken |= ++mag > kMaxUnary;
            } while (!broken && !e.bin(tail));
            row[2] = tail;
        }
        const uint32_t negative = e.fixed(255);
        SvacCabacCtx *run_ctx = row + (mag == 1 ? 3 : 5);
        uint32_t z = 0;
        if (!e.bin(run_ctx[0])) {
            SvacCabacCtx tail = run_ctx[1];
            do {
                broken |= ++z > kMaxUnary;
            } while (!broken && !e.bin(tail));
            run_ctx[1] = tail;
        }
        // Levels keep their low 16 bits, as VLC escapes do.
        const uint32_t level = negative ? 0u - mag : mag;
        pairs[n] = {static_cast<uint16_t>(z + 1), static_cast<int16_t>(static_cast<uint16_t>(level))};
        const uint32_t to = kLevelState[mag < 5 ? mag : 5];
        s = to > s ? to : s;
        n++;
        p = p + z + 1 < MaxPos ? p + z + 1 : MaxPos;
        if (n == MaxPairs || broken) break;
        if (e.bin2(g[7 * s], g[35 + (p >> 1)])) break;
    }
    broken_out = broken;
    return n;
}

// The registers are written back (bytes read ahead returned) before the
// slice is marked broken.
template <int MaxPairs, int MaxPos>
int decode_block(SvacCabac *c, int group, SvacRunLevel *pairs) {
    bool broken = false;
    const int n = decode_pairs<MaxPairs, MaxPos>(c, group, pairs, broken);
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
