#include "recon/mv_pred.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "recon/macroblock.h"

namespace {

// Scaled to the partition's distance; halves move away from zero. 64-bit so
// far references with large vectors cannot overflow.
int32_t scale(int32_t v, int64_t factor) {
    const int64_t m = (std::llabs(v) * factor + 256) >> 9;
    return static_cast<int32_t>(v < 0 ? -m : m);
}

bool has_ref(const SvacMvEntry &e) { return e.ref_idx >= 0; }

bool same(const SvacMv &p, const SvacMv &q) { return p.x == q.x && p.y == q.y; }

int32_t city_block(const SvacMv &p, const SvacMv &q) { return std::abs(p.x - q.x) + std::abs(p.y - q.y); }

}  // namespace

SvacMv svac_predict_mv(const SvacMvEntry &a, const SvacMvEntry &b, const SvacMvEntry &c, int32_t ref_idx,
                       int32_t ref_dist, int32_t pref, const int32_t inv_dist[2]) {
    const int with_ref = has_ref(a) + has_ref(b) + has_ref(c);
    if (with_ref == 1) {
        const SvacMvEntry &e = has_ref(a) ? a : has_ref(b) ? b : c;
        return {e.mv_x, e.mv_y};
    }
    if (pref == PREF_A && a.ref_idx == ref_idx) return {a.mv_x, a.mv_y};
    if (pref == PREF_B && b.ref_idx == ref_idx) return {b.mv_x, b.mv_y};
    if (pref == PREF_C && c.ref_idx == ref_idx) return {c.mv_x, c.mv_y};

    auto scaled = [&](const SvacMvEntry &e) {
        const int64_t factor = static_cast<int64_t>(ref_dist) * inv_dist[std::clamp<int>(e.ref_idx, 0, 1)];
        // The usual case, a neighbour at the block's own distance: scaling by 512/512 keeps it.
        if (factor == 512) return SvacMv{e.mv_x, e.mv_y};
        return SvacMv{scale(e.mv_x, factor), scale(e.mv_y, factor)};
    };
    const SvacMv sa = scaled(a), sb = scaled(b), sc = scaled(c);
    // Two alike win whatever the third: their side is the shortest.
    if (same(sa, sb)) return sa;
    if (same(sb, sc) || same(sa, sc)) return sc;
    const int32_t ab = city_block(sa, sb), bc = city_block(sb, sc), ca = city_block(sc, sa);
    // The median of the three distances; the vector opposite its side wins.
    const int32_t lo = std::min({ab, bc, ca}), hi = std::max({ab, bc, ca});
    const int32_t median = ab + bc + ca - lo - hi;
    if (median == ab) return sc;
    if (median == bc) return sa;
    return sb;
}

namespace {

// Rounded up away from zero; the product is kept to 32 bits and shifted as
// an unsigned value.
int16_t direct_component(int32_t c, int32_t dist, int32_t s) {
    const uint32_t m =
        static_cast<uint32_t>(std::abs(c)) * static_cast<uint32_t>(dist) * static_cast<uint32_t>(s) +
        static_cast<uint32_t>(s) - 1u;
    const int32_t v = static_cast<int32_t>(m >> 14);
    return static_cast<int16_t>(c < 0 ? -v : c > 0 ? v : 0);
}

int16_t mirrored(int32_t v, int32_t sym_scale) {
    return static_cast<int16_t>(-((static_cast<int64_t>(v) * sym_scale + 256) >> 9));
}

}  // namespace

void svac_direct_mv(const SvacMvEntry &col, int32_t col_inv_dist, int32_t df, int32_t db, SvacMvEntry &l0,
                    SvacMvEntry &l1) {
    const int16_t x0 = direct_component(col.mv_x, df, col_inv_dist);
    const int16_t y0 = direct_component(col.mv_y, df, col_inv_dist);
    const int16_t x1 = direct_component(col.mv_x, db, col_inv_dist);
    const int16_t y1 = direct_component(col.mv_y, db, col_inv_dist);
    svac_set_mv_entry(l0, {x0, y0, static_cast<int16_t>(df), 1, l0.mvd_x, l0.mvd_y});
    svac_set_mv_entry(l1, {static_cast<int16_t>(-x1), static_cast<int16_t>(-y1), static_cast<int16_t>(db), 0,
                           l1.mvd_x, l1.mvd_y});
}

SvacMvEntry svac_symmetric_mv(const SvacMvEntry &f, int32_t sym_scale, int32_t db) {
    return {mirrored(f.mv_x, sym_scale), mirrored(f.mv_y, sym_scale), static_cast<int16_t>(db), 0, 0, 0};
}

void VQ_SVACDEC_svac_mv(SvacMacroblock *mb, int32_t block, int32_t c_index, int32_t pref, int32_t shape,
                        const int32_t inv_dist[2]) {
    SvacMvEntry *cache = &mb->mv_cache[0][0];
    SvacMvEntry &cur = cache[block];
    const SvacMv p =
        svac_predict_mv(cache[block - 1], cache[block - 4], svac_mv_neighbour_c(cache, block, c_index),
                        cur.ref_idx, cur.ref_dist, pref, inv_dist);
    // The sum is kept in 16 bits and wraps; distance, reference and
    // difference stay. Every block of the partition is written whole from
    // the value, none read back.
    uint8_t bytes[sizeof(SvacMvEntry)];
    std::memcpy(bytes, &cur, sizeof bytes);
    const int16_t mv[2] = {static_cast<int16_t>(static_cast<uint16_t>(p.x + cur.mvd_x)),
                           static_cast<int16_t>(static_cast<uint16_t>(p.y + cur.mvd_y))};
    std::memcpy(bytes, mv, sizeof mv);
    auto put = [&](int off) { std::memcpy(&cache[block + off], bytes, sizeof bytes); };
    put(0);
    if (shape == SHAPE_16X16) {
        put(1);
        put(4);
        put(5);
    } else if (shape == SHAPE_16X8) {
        put(1);
    } else if (shape == SHAPE_8X16) {
        put(4);
    }
}
