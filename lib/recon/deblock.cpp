// Deblocking of one macroblock: boundary strengths from types, coded block
// patterns and motion; thresholds from the edge quantiser; then the edges in
// the fixed order left, internal vertical, top, internal horizontal (later
// edges see the results of earlier ones).
#include "recon/deblock.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dsp/loopfilter.h"
#include "dsp/qp_tables.h"

// clang-format off
const uint8_t SVAC_ALPHA_TABLE[56] = {
    0,  0,  0,  0,  0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   4,   4,   5,
    6,  7,  8,  9,  10,  12,  13,  15,  17,  20,  22,  25,  28,  32,  36,  40,  45,  50,  56,
    63, 71, 80, 90, 101, 113, 127, 144, 162, 182, 203, 226, 255, 255, 255, 255, 255, 255};

const uint8_t SVAC_BETA_TABLE[56] = {
    0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  2,  2,  2,
    3, 3, 3, 3, 4, 4, 4,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10, 11, 11,
    12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19, 20, 20};

const uint8_t SVAC_CLIP_TAB[56] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7};
// clang-format on

namespace {

constexpr uint32_t kLeftAvailable = 1;
constexpr uint32_t kTopAvailable = 2;
constexpr uint32_t kTypeI4x4 = 0;
constexpr uint32_t kTypeI8x8 = 1;
constexpr uint32_t kFirstBType = 7;
constexpr int kList1 = 12;  // list-1 entries follow the twelve of list 0

inline bool is_intra(uint32_t type) { return type == kTypeI4x4 || type == kTypeI8x8; }

// Entries copied over a partition are equal as a whole: one comparison
// settles them. Otherwise branch-free, as which test decides is unpredictable.
inline uint8_t motion_differs(const SvacMvEntry &a, const SvacMvEntry &b) {
    uint64_t ha, hb;  // vector, distance and reference index
    std::memcpy(&ha, &a, sizeof ha);
    std::memcpy(&hb, &b, sizeof hb);
    if (ha == hb) return 0;
    // |d| >= 4 as one unsigned comparison of d + 3 with 6.
    const uint32_t dx = static_cast<uint32_t>(a.mv_x - b.mv_x + 3);
    const uint32_t dy = static_cast<uint32_t>(a.mv_y - b.mv_y + 3);
    return static_cast<uint8_t>((dx > 6) | (dy > 6) | (a.ref_idx != b.ref_idx));
}

// Strength 1 for a motion discontinuity between cache entries a and b; B
// macroblocks also compare their list-1 vectors.
template <bool kB>
inline uint8_t motion_strength(const SvacMvEntry *mv, int a, int b) {
    uint8_t m = motion_differs(mv[a], mv[b]);
    if constexpr (kB) m |= motion_differs(mv[a + kList1], mv[b + kList1]);
    return m;
}

inline int clip_index(int64_t x) { return x < 0 ? 0 : (x > 55 ? 55 : static_cast<int>(x)); }

// Quantisers are 0..55; the clamp only keeps a corrupt record inside the table.
inline int chroma_qp(uint32_t qp) { return QP2_table[qp < 56 ? qp : 55]; }

// Thresholds of one edge quantiser, worked out once for every edge, plane
// and strength that shares it; `on` is false when alpha or beta is 0.
struct QuantThresholds {
    int alpha;
    int beta;
    int64_t clip_base;  // clip index of strength 0, at least 15 when on
    bool on;
};

[[gnu::always_inline]] inline QuantThresholds thresholds_of(int q, int64_t alpha_offset,
                                                            int64_t beta_offset) {
    QuantThresholds t;
    const int64_t qa = static_cast<int64_t>(q) + alpha_offset;
    t.alpha = SVAC_ALPHA_TABLE[clip_index(qa)];
    t.beta = SVAC_BETA_TABLE[clip_index(static_cast<int64_t>(q) + beta_offset)];
    // The alpha offset moves the clip index as well; alpha is 0 below
    // index 16, so an edge that is filtered needs only the upper clamp.
    t.clip_base = qa - 1;
    t.on = t.alpha && t.beta;
    return t;
}

[[gnu::always_inline]] inline QuantThresholds quant_thresholds(const SvacFilterParams &p, int q) {
    return thresholds_of(q, p.lf_alpha_offset, p.lf_beta_offset);
}

// Clip value of one strength; alpha must not be 0.
inline uint8_t clip_of(const QuantThresholds &t, uint8_t bs) {
    return SVAC_CLIP_TAB[std::min<int64_t>(t.clip_base + bs, 55)];
}

inline bool any(const uint8_t bs[2]) { return (bs[0] | bs[1]) != 0; }

[[gnu::always_inline]] inline void edge(SvacLoopFilterFunc kernel, uint8_t *pix, uint32_t stride,
                                        const QuantThresholds &t, const uint8_t bs[2]) {
    const uint8_t tc0[2] = {clip_of(t, bs[0]), clip_of(t, bs[1])};
    kernel(pix, stride, t.alpha, t.beta, tc0, bs);
}

}  // namespace

namespace {

template <bool kB>
SvacDeblockStrengths strengths(const SvacFilterParams &p, const SvacMvEntry *mv) {
    SvacDeblockStrengths s = {};
    // Strength 2 where coefficients are coded on either side, else the motion test.
    const auto inter = [mv](bool coded, int a, int b) -> uint8_t {
        return coded ? 2 : motion_strength<kB>(mv, a, b);
    };
    const uint32_t cbp = p.cbp;
    const bool intra = is_intra(p.mb_type);
    if (p.neighbour_flags & kLeftAvailable) {
        if (intra || is_intra(p.prev_type)) {
            s.left[0] = s.left[1] = 3;
        } else {
            s.left[0] = inter((p.prev_cbp & 2) || (cbp & 1), 4, 5);
            s.left[1] = inter((p.prev_cbp & 8) || (cbp & 4), 8, 9);
        }
    }
    if (p.neighbour_flags & kTopAvailable) {
        if (intra || is_intra(p.top_type)) {
            s.top[0] = s.top[1] = 3;
        } else {
            s.top[0] = inter((p.top_cbp & 4) || (cbp & 1), 1, 5);
            s.top[1] = inter((p.top_cbp & 8) || (cbp & 2), 2, 6);
        }
    }
    if (intra) {
        s.vert[0] = s.vert[1] = s.horiz[0] = s.horiz[1] = 2;
        if (p.mb_type == kTypeI4x4) s.grid[0] = s.grid[1] = 2;
    } else {
        s.vert[0] = inter(cbp & 3, 5, 6);
        s.vert[1] = inter(cbp & 12, 9, 10);
        s.horiz[0] = inter(cbp & 5, 5, 9);
        s.horiz[1] = inter(cbp & 10, 6, 10);
    }
    return s;
}

}  // namespace

SvacDeblockStrengths svac_deblock_strengths(const SvacFilterParams &p, const SvacMvEntry *mv) {
    return p.mb_type >= kFirstBType ? strengths<true>(p, mv) : strengths<false>(p, mv);
}

bool svac_deblock_strengths_zero(const SvacDeblockStrengths &s) {
    return !(s.left[0] | s.left[1] | s.vert[0] | s.vert[1] | s.top[0] | s.top[1] | s.horiz[0] | s.horiz[1] |
             s.grid[0] | s.grid[1]);
}

SvacEdgeThresholds svac_edge_thresholds(int q, int32_t alpha_offset, int32_t beta_offset,
                                        const uint8_t bs[2]) {
    const QuantThresholds t = thresholds_of(q, alpha_offset, beta_offset);
    SvacEdgeThresholds e;
    e.alpha = t.alpha;
    e.beta = t.beta;
    e.tc0[0] = t.alpha ? clip_of(t, bs[0]) : 0;
    e.tc0[1] = t.alpha ? clip_of(t, bs[1]) : 0;
    return e;
}

void VQ_SVACDEC_svac_filter(const SvacFilterParams *params) { svac_filter_mb(*params, params->mv_cache); }

void svac_filter_mb(const SvacFilterParams &p, const SvacMvEntry *mv) {
    if (p.lf_disable_flag) return;
    if (p.bit_depth_idx != 0 && p.bit_depth_idx != 2) {
        svac_report_check("bit_depth_idx == 0 || bit_depth_idx == 2", __FILE__, __LINE__);
        return;
    }
    const SvacDeblockStrengths s = svac_deblock_strengths(p, mv);
    if (svac_deblock_strengths_zero(s)) return;

    const int bd = static_cast<int>(p.bit_depth_idx);
    const int sample_shift = bd ? 1 : 0;  // columns count samples, offsets are bytes
    const uint32_t sy = p.stride_y;
    const uint32_t sc = p.stride_c;
    const bool chroma = p.chroma_format_idc > 0;
    const bool is_422 = p.chroma_format_idc == 2;
    const int qp = static_cast<int>(p.qp);
    const int qp_c = chroma_qp(p.qp);
    const SvacLoopFilterFunc lv = svac_filter_lv[bd], lh = svac_filter_lh[bd];
    const SvacLoopFilterFunc cv = svac_filter_cv[bd], ch = svac_filter_ch[bd];

    // Vertical edges: the left one, then those inside the macroblock.
    if (any(s.left)) {
        const QuantThresholds t = quant_thresholds(p, (qp + static_cast<int>(p.prev_qp) + 1) >> 1);
        if (t.on) edge(lv, p.dst_y, sy, t, s.left);
        if (chroma) {
            const QuantThresholds c = quant_thresholds(p, (qp_c + chroma_qp(p.prev_qp) + 1) >> 1);
            if (c.on && is_422) {
                // Each half of the luma edge covers eight chroma lines here.
                const uint8_t upper[2] = {s.left[0], s.left[0]};
                const uint8_t lower[2] = {s.left[1], s.left[1]};
                if (s.left[0]) {
                    edge(cv, p.dst_u, sc, c, upper);
                    edge(cv, p.dst_v, sc, c, upper);
                }
                if (s.left[1]) {
                    edge(cv, p.dst_u + 8 * sc, sc, c, lower);
                    edge(cv, p.dst_v + 8 * sc, sc, c, lower);
                }
            } else if (c.on) {
                edge(cv, p.dst_u, sc, c, s.left);
                edge(cv, p.dst_v, sc, c, s.left);
            }
        }
    }

    const bool inner = any(s.vert) || any(s.horiz) || any(s.grid);
    const QuantThresholds t = inner ? quant_thresholds(p, qp) : QuantThresholds{};
    const bool grid = t.on && any(s.grid);
    if (grid) edge(lv, p.dst_y + (4 << sample_shift), sy, t, s.grid);
    if (t.on && any(s.vert)) edge(lv, p.dst_y + (8 << sample_shift), sy, t, s.vert);
    if (grid) edge(lv, p.dst_y + (12 << sample_shift), sy, t, s.grid);

    // Horizontal edges in the same order.
    if (any(s.top)) {
        const QuantThresholds e = quant_thresholds(p, (qp + static_cast<int>(p.top_qp) + 1) >> 1);
        if (e.on) edge(lh, p.dst_y, sy, e, s.top);
        if (chroma) {
            const QuantThresholds c = quant_thresholds(p, (qp_c + chroma_qp(p.top_qp) + 1) >> 1);
            if (c.on) {
                edge(ch, p.dst_u, sc, c, s.top);
                edge(ch, p.dst_v, sc, c, s.top);
            }
        }
    }

    if (grid) edge(lh, p.dst_y + 4 * sy, sy, t, s.grid);
    if (t.on && any(s.horiz)) edge(lh, p.dst_y + 8 * sy, sy, t, s.horiz);
    if (grid) edge(lh, p.dst_y + 12 * sy, sy, t, s.grid);

    if (is_422 && any(s.horiz)) {
        const QuantThresholds c = quant_thresholds(p, qp_c);
        if (c.on) {
            edge(ch, p.dst_u + 8 * sc, sc, c, s.horiz);
            edge(ch, p.dst_v + 8 * sc, sc, c, s.horiz);
        }
    }
}
