// SSE2 deblocking kernels for 8-bit samples. Eight lines are filtered at
// once in 16-bit lanes (one half of a luma edge, a whole chroma edge);
// vertical edges are transposed in and out. Lines that fail the threshold
// test, and halves with strength 0, get their original samples back, so
// the edge ends exactly as the portable kernels leave it.
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

void filter_lv(uint8_t *edge, ptrdiff_t stride, int alpha, int beta, const uint8_t tc0[2],
               const uint8_t bs[2]) {
    const bool is_strong = bs[0] == 3;
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
