// SSE2 deblocking kernels for 8-bit samples. The normal luma filter runs
// on all sixteen lines of an edge in 8-bit lanes; the strong filter and the
// chroma filters take eight lines at once in 16-bit lanes (one half of a
// luma edge, a whole chroma edge). Vertical edges are transposed in and
// out. Lines that fail the threshold test, and halves with strength 0, get
// their original samples back, so the edge ends exactly as the portable
// kernels leave it.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "arch/x86/simd.h"

namespace {

// p3 p2 p1 p0 q0 q1 q2 q3 of eight lines, one sample per 16-bit lane.
struct Lines {
    __m128i s[8];
};

struct Params {
    __m128i alpha, alpha4, beta, tc0, enable;
};

Params params(int alpha, int beta, __m128i tc0, __m128i enable) {
    // Differences of 8-bit samples are at most 255, so thresholds clamped
    // to 0..256 decide exactly as the full values do.
    auto clamp = [](int v) { return _mm_set1_epi16(static_cast<int16_t>(std::clamp(v, 0, 256))); };
    return {clamp(alpha), clamp((alpha >> 2) + 2), clamp(beta), tc0, enable};
}

inline __m128i absd(__m128i a, __m128i b) { return _mm_max_epi16(_mm_sub_epi16(a, b), _mm_sub_epi16(b, a)); }
inline __m128i lt(__m128i a, __m128i b) { return _mm_cmplt_epi16(a, b); }
inline __m128i sel(__m128i m, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
}
inline __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
inline __m128i add(__m128i a, __m128i b, __m128i c) { return add(add(a, b), c); }
inline __m128i k16(int v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
inline __m128i clip(__m128i v, __m128i t) {
    return _mm_min_epi16(_mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), t)), t);
}

inline __m128i line_passes(const Lines &l, const Params &k) {
    const __m128i &p1 = l.s[2], &p0 = l.s[3], &q0 = l.s[4], &q1 = l.s[5];
    const __m128i m =
        _mm_and_si128(lt(absd(p0, q0), k.alpha), lt(_mm_max_epi16(absd(p1, p0), absd(q1, q0)), k.beta));
    return _mm_and_si128(m, k.enable);
}

// Strong filter; Luma also rewrites p1, p2, q1, q2.
template <bool Luma>
[[gnu::always_inline]] inline bool strong(Lines &l, const Params &k) {
    const __m128i p3 = l.s[0], p2 = l.s[1], p1 = l.s[2], p0 = l.s[3];
    const __m128i q0 = l.s[4], q1 = l.s[5], q2 = l.s[6], q3 = l.s[7];
    const __m128i pass = line_passes(l, k);
    if (!_mm_movemask_epi8(pass)) return false;
    const __m128i small = lt(absd(p0, q0), k.alpha4);
    const __m128i ap = _mm_and_si128(lt(absd(p2, p0), k.beta), small);
    const __m128i aq = _mm_and_si128(lt(absd(q2, q0), k.beta), small);
    const __m128i pq = add(p0, q0);
    // (3p0 + 2q0 + p1 + q1 + p2 + 4) >> 3 and its mirror.
    const __m128i p0s = _mm_srli_epi16(add(add(pq, pq, p0), add(p1, q1, p2), k16(4)), 3);
    const __m128i q0s = _mm_srli_epi16(add(add(pq, pq, q0), add(p1, q1, q2), k16(4)), 3);
    const __m128i p0w = _mm_srli_epi16(add(add(p1, p1, p0), q1, k16(2)), 2);
    const __m128i q0w = _mm_srli_epi16(add(add(q1, q1, q0), p1, k16(2)), 2);
    l.s[3] = sel(pass, sel(ap, p0s, p0w), p0);
    l.s[4] = sel(pass, sel(aq, q0s, q0w), q0);
    if constexpr (Luma) {
        const __m128i pa = _mm_and_si128(pass, ap), qa = _mm_and_si128(pass, aq);
        l.s[2] = sel(pa, _mm_srli_epi16(add(add(p2, p1, pq), k16(2)), 2), p1);
        l.s[5] = sel(qa, _mm_srli_epi16(add(add(q2, q1, pq), k16(2)), 2), q1);
        const __m128i p321 = add(p3, p2, p1), q321 = add(q3, q2, q1);
        l.s[1] = sel(pa, _mm_srli_epi16(add(add(p321, p321, pq), k16(4)), 3), p2);
        l.s[6] = sel(qa, _mm_srli_epi16(add(add(q321, q321, pq), k16(4)), 3), q2);
    }
    return true;
}

// Normal filter; results leave 0..255 only to be clipped by the final pack.
// Clip values are zeroed in lines that are not filtered, so the clipped
// corrections vanish there and no selection is needed.
template <bool Luma>
[[gnu::always_inline]] inline bool normal(Lines &l, const Params &k) {
    const __m128i p3 = l.s[0], p2 = l.s[1], p1 = l.s[2], p0 = l.s[3];
    const __m128i q0 = l.s[4], q1 = l.s[5], q2 = l.s[6], q3 = l.s[7];
    const __m128i pass = line_passes(l, k);
    if (!_mm_movemask_epi8(pass)) return false;
    __m128i tc;
    __m128i ap = _mm_setzero_si128(), aq = _mm_setzero_si128();
    if constexpr (Luma) {
        ap = _mm_and_si128(lt(absd(p2, p0), k.beta), pass);
        aq = _mm_and_si128(lt(absd(q2, q0), k.beta), pass);
        tc = _mm_sub_epi16(_mm_sub_epi16(_mm_and_si128(k.tc0, pass), ap), aq);
    } else {
        tc = _mm_and_si128(add(k.tc0, k16(1)), pass);
    }
    const __m128i d = _mm_add_epi16(_mm_slli_epi16(_mm_sub_epi16(q0, p0), 2), _mm_sub_epi16(p1, q1));
    const __m128i delta = clip(_mm_srai_epi16(add(d, k16(4)), 3), tc);
    l.s[3] = add(p0, delta);
    l.s[4] = _mm_sub_epi16(q0, delta);
    if constexpr (Luma) {
        const __m128i pq2 = add(add(p0, q0), k16(2));
        const __m128i dp = _mm_srai_epi16(_mm_sub_epi16(add(p3, p2, pq2), _mm_slli_epi16(p1, 2)), 2);
        const __m128i dq = _mm_srai_epi16(_mm_sub_epi16(add(q3, q2, pq2), _mm_slli_epi16(q1, 2)), 2);
        l.s[2] = add(p1, clip(dp, _mm_and_si128(k.tc0, ap)));
        l.s[5] = add(q1, clip(dq, _mm_and_si128(k.tc0, aq)));
    }
    return true;
}

// The normal luma filter on sixteen lines at once in 8-bit lanes (lines
// 0..7 take the first half's clip value, 8..15 the second's); v holds
// p3 p2 p1 p0 q0 q1 q2 q3. False when no line passes.
inline __m128i absd8(__m128i a, __m128i b) { return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)); }
// x < t for t in 1..256, given as t - 1.
inline __m128i lt8(__m128i x, __m128i t_minus_1) {
    return _mm_cmpeq_epi8(_mm_subs_epu8(x, t_minus_1), _mm_setzero_si128());
}
inline __m128i k8(int v) { return _mm_set1_epi8(static_cast<char>(v)); }
inline __m128i halves8(int lo, int hi) { return _mm_unpacklo_epi64(k8(lo), k8(hi)); }

// (a + b + c + d + 2) >> 2: the average of two rounded averages is at most
// one too high, and the low bit of the exact result follows from the sum
// modulo 256.
inline __m128i avg4(__m128i a, __m128i b, __m128i cd_avg, __m128i cd_sum) {
    const __m128i approx = _mm_avg_epu8(_mm_avg_epu8(a, b), cd_avg);
    const __m128i sum = _mm_add_epi8(_mm_add_epi8(a, b), cd_sum);
    const __m128i bit = _mm_avg_epu8(_mm_srli_epi16(sum, 1), _mm_setzero_si128());
    return _mm_sub_epi8(approx, _mm_and_si128(_mm_xor_si128(bit, approx), k8(1)));
}

constexpr int kMaxTc0 = 90;  // larger clip values take the 16-bit filters

[[gnu::always_inline]] inline bool normal_luma16(__m128i v[8], int alpha, int beta, const uint8_t tc0[2],
                                                 const uint8_t bs[2]) {
    if (alpha <= 0 || beta <= 0) return false;
    const __m128i am1 = k8(std::min(alpha, 256) - 1), bm1 = k8(std::min(beta, 256) - 1);
    const __m128i p2 = v[1], p1 = v[2], p0 = v[3], q0 = v[4], q1 = v[5], q2 = v[6];
    const __m128i enable = _mm_unpacklo_epi64(bs[0] ? k8(-1) : k8(0), bs[1] ? k8(-1) : k8(0));
    const __m128i pass = _mm_and_si128(
        _mm_and_si128(lt8(absd8(p0, q0), am1), lt8(_mm_max_epu8(absd8(p1, p0), absd8(q1, q0)), bm1)), enable);
    if (!_mm_movemask_epi8(pass)) return false;
    const __m128i ap = _mm_and_si128(lt8(absd8(p2, p0), bm1), pass);
    const __m128i aq = _mm_and_si128(lt8(absd8(q2, q0), bm1), pass);
    const __m128i tc0v = halves8(tc0[0], tc0[1]);
    const __m128i tc = _mm_sub_epi8(_mm_sub_epi8(_mm_and_si128(tc0v, pass), ap), aq);

    // ((q0 - p0) * 4 + (p1 - q1) + 4) >> 3 biased by 161, from rounded
    // averages; split into its positive and negative parts, each clipped.
    // The biased sum saturates at 255, above every clip value below 95.
    const __m128i ones = _mm_cmpeq_epi8(p0, p0);
    const __m128i parity = _mm_and_si128(_mm_xor_si128(p0, q0), k8(1));
    __m128i d = _mm_avg_epu8(_mm_avg_epu8(_mm_xor_si128(q1, ones), p1), k8(3));
    d = _mm_adds_epu8(_mm_avg_epu8(d, parity), _mm_avg_epu8(_mm_xor_si128(p0, ones), q0));
    const __m128i up = _mm_min_epu8(_mm_subs_epu8(d, k8(161)), tc);
    const __m128i down = _mm_min_epu8(_mm_subs_epu8(k8(161), d), tc);
    v[3] = _mm_adds_epu8(_mm_subs_epu8(p0, down), up);
    v[4] = _mm_adds_epu8(_mm_subs_epu8(q0, up), down);

    // p1 + clip(avg - p1) is avg clipped to p1 -+ the clip value.
    const __m128i pq_avg = _mm_avg_epu8(p0, q0), pq_sum = _mm_add_epi8(p0, q0);
    const __m128i tp = _mm_and_si128(tc0v, ap), tq = _mm_and_si128(tc0v, aq);
    const __m128i p_avg = avg4(v[0], p2, pq_avg, pq_sum), q_avg = avg4(v[7], q2, pq_avg, pq_sum);
    v[2] = _mm_min_epu8(_mm_max_epu8(p_avg, _mm_subs_epu8(p1, tp)), _mm_adds_epu8(p1, tp));
    v[5] = _mm_min_epu8(_mm_max_epu8(q_avg, _mm_subs_epu8(q1, tq)), _mm_adds_epu8(q1, tq));
    return true;
}

// False when no line passes: the samples are left as they are.
template <bool Luma>
inline bool filter(Lines &l, const Params &k, bool is_strong) {
    return is_strong ? strong<Luma>(l, k) : normal<Luma>(l, k);
}

// 8x8 byte transpose: eight rows of eight bytes in, v[c] holding columns
// 2c and 2c+1 out (eight bytes each).
inline void transpose8(const __m128i r[8], __m128i v[4]) {
    const __m128i t0 = _mm_unpacklo_epi8(r[0], r[1]), t1 = _mm_unpacklo_epi8(r[2], r[3]);
    const __m128i t2 = _mm_unpacklo_epi8(r[4], r[5]), t3 = _mm_unpacklo_epi8(r[6], r[7]);
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1), u1 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi16(t2, t3), u3 = _mm_unpackhi_epi16(t2, t3);
    v[0] = _mm_unpacklo_epi32(u0, u2);
    v[1] = _mm_unpackhi_epi32(u0, u2);
    v[2] = _mm_unpacklo_epi32(u1, u3);
    v[3] = _mm_unpackhi_epi32(u1, u3);
}

// 16-bit lane I of v to line I, `stride` bytes apart.
template <size_t... I>
inline void store_lanes16(uint8_t *p, ptrdiff_t stride, __m128i v, std::index_sequence<I...>) {
    auto one = [&](auto lane) {
        const uint16_t w = static_cast<uint16_t>(_mm_extract_epi16(v, decltype(lane)::value));
        std::memcpy(p + decltype(lane)::value * stride, &w, 2);
    };
    (one(std::integral_constant<int, I>{}), ...);
}

// Eight lines across a vertical edge, p3 at `p`.
template <bool Luma>
void vertical8(uint8_t *p, ptrdiff_t stride, const Params &k, bool is_strong) {
    __m128i r[8], v[4];
    for (int i = 0; i < 8; i++) r[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + i * stride));
    transpose8(r, v);
    Lines l;
    const __m128i z = _mm_setzero_si128();
    for (int c = 0; c < 4; c++) {
        l.s[2 * c] = _mm_unpacklo_epi8(v[c], z);
        l.s[2 * c + 1] = _mm_unpackhi_epi8(v[c], z);
    }
    if (!filter<Luma>(l, k, is_strong)) return;
    if constexpr (!Luma) {
        // Chroma changes p0 and q0 only: two bytes a line go back, no transpose.
        const __m128i pq = _mm_packus_epi16(l.s[3], l.s[4]);
        const __m128i pairs = _mm_unpacklo_epi8(pq, _mm_srli_si128(pq, 8));
        store_lanes16(p + 3, stride, pairs, std::make_index_sequence<8>{});
        return;
    }
    for (int c = 0; c < 4; c++) {
        const __m128i pair = _mm_packus_epi16(l.s[2 * c], l.s[2 * c + 1]);
        r[2 * c] = pair;
        r[2 * c + 1] = _mm_unpackhi_epi64(pair, pair);
    }
    transpose8(r, v);
    for (int c = 0; c < 4; c++) {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p + 2 * c * stride), v[c]);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p + (2 * c + 1) * stride),
                         _mm_unpackhi_epi64(v[c], v[c]));
    }
}

inline __m128i half_enable(const uint8_t bs[2], bool is_strong, int h) {
    return is_strong || bs[h] ? _mm_set1_epi16(-1) : _mm_setzero_si128();
}

// Sixteen lines of eight bytes (p3 at `p`) to v[c]: column c of every line.
inline void load_columns16(const uint8_t *p, ptrdiff_t stride, __m128i v[8]) {
    __m128i a[8], b[8];
    for (int i = 0; i < 8; i++)
        a[i] =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + 2 * i * stride)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + (2 * i + 1) * stride)));
    for (int j = 0; j < 4; j++) {
        b[2 * j] = _mm_unpacklo_epi16(a[2 * j], a[2 * j + 1]);  // columns 0..3 of lines 4j..4j+3
        b[2 * j + 1] = _mm_unpackhi_epi16(a[2 * j], a[2 * j + 1]);
    }
    for (int h = 0; h < 2; h++) {  // columns 4h..4h+3
        const __m128i lo0 = _mm_unpacklo_epi32(b[h], b[2 + h]), hi0 = _mm_unpackhi_epi32(b[h], b[2 + h]);
        const __m128i lo1 = _mm_unpacklo_epi32(b[4 + h], b[6 + h]),
                      hi1 = _mm_unpackhi_epi32(b[4 + h], b[6 + h]);
        v[4 * h] = _mm_unpacklo_epi64(lo0, lo1);
        v[4 * h + 1] = _mm_unpackhi_epi64(lo0, lo1);
        v[4 * h + 2] = _mm_unpacklo_epi64(hi0, hi1);
        v[4 * h + 3] = _mm_unpackhi_epi64(hi0, hi1);
    }
}

// The inverse: columns v[0..7] back to sixteen lines of eight bytes.
inline void store_columns16(uint8_t *p, ptrdiff_t stride, const __m128i v[8]) {
    __m128i a[8], b[8];
    for (int k = 0; k < 4; k++) {
        a[2 * k] = _mm_unpacklo_epi8(v[2 * k], v[2 * k + 1]);  // lines 0..7
        a[2 * k + 1] = _mm_unpackhi_epi8(v[2 * k], v[2 * k + 1]);
    }
    for (int h = 0; h < 2; h++)
        for (int g = 0; g < 2; g++) {  // lines 8h + 4g..8h + 4g + 3, columns 0..3 and 4..7
            const auto mix = [g](__m128i x, __m128i y) {
                return g ? _mm_unpackhi_epi16(x, y) : _mm_unpacklo_epi16(x, y);
            };
            b[4 * h + 2 * g] = mix(a[h], a[2 + h]);
            b[4 * h + 2 * g + 1] = mix(a[4 + h], a[6 + h]);
        }
    for (int i = 0; i < 4; i++) {  // lines 4i..4i+3
        const __m128i l01 = _mm_unpacklo_epi32(b[2 * i], b[2 * i + 1]);
        const __m128i l23 = _mm_unpackhi_epi32(b[2 * i], b[2 * i + 1]);
        uint8_t *q = p + 4 * i * stride;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(q), l01);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(q + stride), _mm_unpackhi_epi64(l01, l01));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(q + 2 * stride), l23);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(q + 3 * stride), _mm_unpackhi_epi64(l23, l23));
    }
}

void filter_lv(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
               const uint8_t bs[2]) {
    const bool is_strong = bs[0] == 3;
    if (!is_strong && tc0[0] <= kMaxTc0 && tc0[1] <= kMaxTc0) {
        if (!bs[0] && !bs[1]) return;
        __m128i v[8];
        load_columns16(edge - 4, stride, v);
        if (normal_luma16(v, alpha, beta, tc0, bs)) store_columns16(edge - 4, stride, v);
        return;
    }
    for (int h = 0; h < 2; h++) {
        if (!is_strong && !bs[h]) continue;
        const Params k = params(alpha, beta, k16(tc0[h]), half_enable(bs, is_strong, h));
        vertical8<true>(edge - 4 + 8 * h * stride, stride, k, is_strong);
    }
}

void filter_cv(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
               const uint8_t bs[2]) {
    const bool is_strong = bs[0] == 3;
    if (!is_strong && !bs[0] && !bs[1]) return;
    const __m128i tc = _mm_unpacklo_epi64(k16(tc0[0]), k16(tc0[1]));
    const __m128i en = _mm_unpacklo_epi64(half_enable(bs, is_strong, 0), half_enable(bs, is_strong, 1));
    vertical8<false>(edge - 4, stride, params(alpha, beta, tc, en), is_strong);
}

void filter_lh(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
               const uint8_t bs[2]) {
    const bool is_strong = bs[0] == 3;
    if (!is_strong && !bs[0] && !bs[1]) return;
    __m128i row[8];
    for (int i = 0; i < 8; i++)
        row[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(edge + (i - 4) * stride));
    if (!is_strong && tc0[0] <= kMaxTc0 && tc0[1] <= kMaxTc0) {
        if (!normal_luma16(row, alpha, beta, tc0, bs)) return;
        for (int i = 2; i < 6; i++)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(edge + (i - 4) * stride), row[i]);
        return;
    }
    Lines lo, hi;
    const __m128i z = _mm_setzero_si128();
    for (int i = 0; i < 8; i++) {
        lo.s[i] = _mm_unpacklo_epi8(row[i], z);
        hi.s[i] = _mm_unpackhi_epi8(row[i], z);
    }
    const bool lo_changed =
        filter<true>(lo, params(alpha, beta, k16(tc0[0]), half_enable(bs, is_strong, 0)), is_strong);
    const bool hi_changed =
        filter<true>(hi, params(alpha, beta, k16(tc0[1]), half_enable(bs, is_strong, 1)), is_strong);
    if (!lo_changed && !hi_changed) return;
    for (int i = 1; i < 7; i++)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(edge + (i - 4) * stride),
                         _mm_packus_epi16(lo.s[i], hi.s[i]));
}

void filter_ch(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
               const uint8_t bs[2]) {
    const bool is_strong = bs[0] == 3;
    if (!is_strong && !bs[0] && !bs[1]) return;
    Lines l;
    const __m128i z = _mm_setzero_si128();
    for (int i = 1; i < 7; i++)
        l.s[i] =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(edge + (i - 4) * stride)), z);
    l.s[0] = l.s[7] = z;  // chroma never reads p3 and q3
    const __m128i tc = _mm_unpacklo_epi64(k16(tc0[0]), k16(tc0[1]));
    const __m128i en = _mm_unpacklo_epi64(half_enable(bs, is_strong, 0), half_enable(bs, is_strong, 1));
    if (!filter<false>(l, params(alpha, beta, tc, en), is_strong)) return;
    for (int i = 3; i < 5; i++)
        _mm_storel_epi64(reinterpret_cast<__m128i *>(edge + (i - 4) * stride),
                         _mm_packus_epi16(l.s[i], l.s[i]));
}

}  // namespace

void svac_loopfilter_init_sse2(SvacLoopFilterFunc *lv, SvacLoopFilterFunc *lh, SvacLoopFilterFunc *cv,
                               SvacLoopFilterFunc *ch) {
    *lv = filter_lv;
    *lh = filter_lh;
    *cv = filter_cv;
    *ch = filter_ch;
}
