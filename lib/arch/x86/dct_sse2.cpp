// SSE2 inverse transforms with reconstruction for 8-bit samples. Four
// 32-bit lanes hold four columns of the block; products by the small
// constants are shifts and adds, so everything wraps modulo 2^32 exactly
// like the portable arithmetic. 8x8 blocks of small coefficients, the
// usual case, take 16-bit multiply-adds whose sums cannot overflow.
#include <emmintrin.h>

#include <cstring>

#include "arch/x86/simd.h"

namespace {

inline __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
inline __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
inline __m128i shl(__m128i a, int n) { return _mm_slli_epi32(a, n); }

inline void idct4_1d(const __m128i x[4], __m128i y[4]) {
    const __m128i e0 = shl(add(x[0], x[2]), 2), e1 = shl(sub(x[0], x[2]), 2);
    const __m128i o0 = add(add(shl(x[1], 2), x[1]), shl(x[3], 1));
    const __m128i o1 = sub(shl(x[1], 1), add(shl(x[3], 2), x[3]));
    y[0] = add(e0, o0);
    y[1] = add(e1, o1);
    y[2] = sub(e1, o1);
    y[3] = sub(e0, o0);
}

inline void idct8_1d(const __m128i x[8], __m128i y[8]) {
    const __m128i a0 = shl(add(x[0], x[4]), 3), a1 = shl(sub(x[0], x[4]), 3);
    const __m128i b0 = add(add(shl(x[2], 3), shl(x[2], 1)), shl(x[6], 2));
    const __m128i b1 = sub(shl(x[2], 2), add(shl(x[6], 3), shl(x[6], 1)));
    const __m128i e0 = add(a0, b0), e1 = add(a1, b1), e2 = sub(a1, b1), e3 = sub(a0, b0);
    // 3x, 6x, 10x and 12x of each odd input.
    __m128i m3[4], m6[4], m10[4], m12[4];
    for (int k = 0; k < 4; k++) {
        const __m128i v = x[2 * k + 1], v2 = shl(v, 1);
        m3[k] = add(v2, v);
        m6[k] = shl(m3[k], 1);
        m12[k] = shl(m3[k], 2);
        m10[k] = add(shl(v, 3), v2);
    }
    const __m128i o0 = add(add(m12[0], m10[1]), add(m6[2], m3[3]));
    const __m128i o1 = sub(sub(m10[0], m3[1]), add(m12[2], m6[3]));
    const __m128i o2 = add(sub(m6[0], m12[1]), add(m3[2], m10[3]));
    const __m128i o3 = sub(add(sub(m3[0], m6[1]), m10[2]), m12[3]);
    y[0] = add(e0, o0);
    y[1] = add(e1, o1);
    y[2] = add(e2, o2);
    y[3] = add(e3, o3);
    y[4] = sub(e3, o3);
    y[5] = sub(e2, o2);
    y[6] = sub(e1, o1);
    y[7] = sub(e0, o0);
}

inline void transpose4(__m128i &a, __m128i &b, __m128i &c, __m128i &d) {
    const __m128i t0 = _mm_unpacklo_epi32(a, b), t1 = _mm_unpacklo_epi32(c, d);
    const __m128i t2 = _mm_unpackhi_epi32(a, b), t3 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(t0, t1);
    b = _mm_unpackhi_epi64(t0, t1);
    c = _mm_unpacklo_epi64(t2, t3);
    d = _mm_unpackhi_epi64(t2, t3);
}

inline __m128i residual(__m128i r, int round, int shift) {
    return _mm_srai_epi32(add(r, _mm_set1_epi32(round)), shift);
}

// Adds eight (or four) 16-bit residuals to a row with saturation: a
// residual clamped to 16 bits still drives the sum to the same clip.
inline __m128i add_row(__m128i pixels, __m128i res16) {
    return _mm_packus_epi16(_mm_adds_epi16(_mm_unpacklo_epi8(pixels, _mm_setzero_si128()), res16), res16);
}

void idct4_add(uint8_t *dst, int32_t *block, int stride) {
    __m128i x[4], t[4], r[4];
    for (int u = 0; u < 4; u++) x[u] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 4 * u));
    idct4_1d(x, t);                      // t[c], lanes v
    transpose4(t[0], t[1], t[2], t[3]);  // t[v], lanes c
    idct4_1d(t, r);
    for (int y = 0; y < 4; y += 2) {
        const __m128i res = _mm_packs_epi32(residual(r[y], 512, 10), residual(r[y + 1], 512, 10));
        uint32_t a, b;
        std::memcpy(&a, dst + y * stride, 4);
        std::memcpy(&b, dst + (y + 1) * stride, 4);
        const __m128i px = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(a)),
                                              _mm_cvtsi32_si128(static_cast<int>(b)));
        const __m128i out =
            _mm_packus_epi16(_mm_adds_epi16(_mm_unpacklo_epi8(px, _mm_setzero_si128()), res), res);
        a = static_cast<uint32_t>(_mm_cvtsi128_si32(out));
        b = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(out, 4)));
        std::memcpy(dst + y * stride, &a, 4);
        std::memcpy(dst + (y + 1) * stride, &b, 4);
    }
}

// A block with only a DC coefficient adds one residual to every sample:
// both passes reduce to 8 * DC with the shifts of the full transform.
void dc8_add(uint8_t *dst, int32_t dc, int stride) {
    const int32_t t = static_cast<int32_t>(8u * static_cast<uint32_t>(dc)) >> 3;
    const int32_t r = static_cast<int32_t>(8u * static_cast<uint32_t>(t) + 1024u) >> 11;
    const __m128i res = _mm_packs_epi32(_mm_set1_epi32(r), _mm_set1_epi32(r));
    for (int y = 0; y < 8; y++) {
        uint8_t *row = dst + y * stride;
        const __m128i px = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(row));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(row), add_row(px, res));
    }
}

// Weight pair (a, b) for _mm_madd_epi16 over interleaved 16-bit lanes.
inline __m128i pw(int a, int b) {
    return _mm_set1_epi32(
        static_cast<int>((static_cast<uint32_t>(b) << 16) | (static_cast<uint32_t>(a) & 0xffff)));
}

// One 8-point transform over x[0..7] (eight 16-bit lanes each) by
// multiply-adds of interleaved pairs; y[k] gets lanes 0..3 and y[8 + k]
// lanes 4..7 as 32-bit sums, with `round` added to every output. Halves
// is 1 when only lanes 0..3 matter; Low drops the terms of zero x[4..7].
template <int Halves, bool Low>
inline void idct8_madd(const __m128i x[8], __m128i y[16], __m128i round) {
    for (int h = 0; h < Halves; h++) {
        const auto mix = [h](__m128i a, __m128i b) {
            return h ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
        };
        const __m128i z = _mm_setzero_si128();
        const __m128i x04 = mix(x[0], Low ? z : x[4]), x26 = mix(x[2], Low ? z : x[6]);
        const __m128i x13 = mix(x[1], x[3]), x57 = Low ? z : mix(x[5], x[7]);
        const __m128i a0 = add(_mm_madd_epi16(x04, pw(8, 8)), round);
        const __m128i a1 = add(_mm_madd_epi16(x04, pw(8, -8)), round);
        const __m128i b0 = _mm_madd_epi16(x26, pw(10, 4)), b1 = _mm_madd_epi16(x26, pw(4, -10));
        const __m128i e0 = add(a0, b0), e1 = add(a1, b1), e2 = sub(a1, b1), e3 = sub(a0, b0);
        __m128i o0 = _mm_madd_epi16(x13, pw(12, 10)), o1 = _mm_madd_epi16(x13, pw(10, -3));
        __m128i o2 = _mm_madd_epi16(x13, pw(6, -12)), o3 = _mm_madd_epi16(x13, pw(3, -6));
        if constexpr (!Low) {
            o0 = add(o0, _mm_madd_epi16(x57, pw(6, 3)));
            o1 = add(o1, _mm_madd_epi16(x57, pw(-12, -6)));
            o2 = add(o2, _mm_madd_epi16(x57, pw(3, 10)));
            o3 = add(o3, _mm_madd_epi16(x57, pw(10, -12)));
        }
        __m128i *out = y + 8 * h;
        out[0] = add(e0, o0);
        out[1] = add(e1, o1);
        out[2] = add(e2, o2);
        out[3] = add(e3, o3);
        out[4] = sub(e3, o3);
        out[5] = sub(e2, o2);
        out[6] = sub(e1, o1);
        out[7] = sub(e0, o0);
    }
}

inline void transpose8x16(__m128i r[8]) {
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

// Coefficients within -4096..4095, as 16-bit x[u] (lanes v): every output
// of the first pass has weights of absolute sum 61, so shifted right by 3
// it fits 16 bits, and both passes run as 16-bit multiply-adds with exact
// 32-bit sums. LowU: horizontal frequencies 4..7 are zero; LowV: vertical.
template <bool LowU, bool LowV>
void idct8_add_small(uint8_t *dst, __m128i x[8], int stride) {
    __m128i y[16];
    idct8_madd<LowV ? 1 : 2, LowU>(x, y, _mm_setzero_si128());
    for (int c = 0; c < 8; c++)
        x[c] = _mm_packs_epi32(_mm_srai_epi32(y[c], 3),
                               LowV ? _mm_setzero_si128() : _mm_srai_epi32(y[8 + c], 3));
    transpose8x16(x);  // x[v], lanes c
    idct8_madd<2, LowV>(x, y, _mm_set1_epi32(1024));
    for (int r = 0; r < 8; r++) {
        uint8_t *row = dst + r * stride;
        const __m128i res = _mm_packs_epi32(_mm_srai_epi32(y[r], 11), _mm_srai_epi32(y[8 + r], 11));
        const __m128i px = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(row));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(row), add_row(px, res));
    }
}

// Any 32-bit coefficients: four 32-bit lanes, wrapping like the portable code.
void idct8_add_wide(uint8_t *dst, const int32_t *block, int stride) {
    // x[h][u]: coefficients of horizontal frequency u, vertical 4h..4h+3.
    __m128i x[2][8], t[2][8];
    for (int h = 0; h < 2; h++) {
        for (int u = 0; u < 8; u++)
            x[h][u] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 8 * u + 4 * h));
        idct8_1d(x[h], t[h]);  // t[h][c], lanes v = 4h..4h+3
        for (int c = 0; c < 8; c++) t[h][c] = _mm_srai_epi32(t[h][c], 3);
    }
    // Transpose to x[g][v], lanes c = 4g..4g+3.
    for (int g = 0; g < 2; g++)
        for (int h = 0; h < 2; h++) {
            __m128i a = t[h][4 * g], b = t[h][4 * g + 1], c = t[h][4 * g + 2], d = t[h][4 * g + 3];
            transpose4(a, b, c, d);
            x[g][4 * h] = a;
            x[g][4 * h + 1] = b;
            x[g][4 * h + 2] = c;
            x[g][4 * h + 3] = d;
        }
    __m128i r[2][8];
    for (int g = 0; g < 2; g++) idct8_1d(x[g], r[g]);
    for (int y = 0; y < 8; y++) {
        uint8_t *row = dst + y * stride;
        const __m128i res = _mm_packs_epi32(residual(r[0][y], 1024, 11), residual(r[1][y], 1024, 11));
        const __m128i px = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(row));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(row), add_row(px, res));
    }
}

void idct8_add(uint8_t *dst, int32_t *block, int stride) {
    // Saturating packs keep zero and nonzero apart and push values out of
    // 16 bits beyond -4096..4095, so the tests below hold for the 32-bit block.
    __m128i x[8];
    __m128i any = _mm_setzero_si128(), high_u = _mm_setzero_si128(), range = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(4096);
    for (int u = 0; u < 8; u++) {
        const auto *p = reinterpret_cast<const __m128i *>(block + 8 * u);
        x[u] = _mm_packs_epi32(_mm_loadu_si128(p), _mm_loadu_si128(p + 1));              // lanes v
        any = _mm_or_si128(any, u ? x[u] : _mm_slli_si128(_mm_srli_si128(x[u], 2), 2));  // all but the DC
        if (u >= 4) high_u = _mm_or_si128(high_u, x[u]);
        range = _mm_or_si128(range, _mm_add_epi16(x[u], bias));
    }
    const auto zero = [](__m128i v) {
        return _mm_movemask_epi8(_mm_cmpeq_epi16(v, _mm_setzero_si128())) == 0xffff;
    };
    if (zero(any)) return dc8_add(dst, block[0], stride);
    // All biased values in 0..8191 leave no bit from 13 up in their union.
    if (!zero(_mm_srli_epi16(range, 13))) {
        // The rare wide path loads the block again rather than keep sixteen
        // vectors across the common paths.
        __asm__("" : "+r"(block));
        return idct8_add_wide(dst, block, stride);
    }
    const bool low_u = zero(high_u), low_v = zero(_mm_srli_si128(any, 8));
    if (low_u && low_v) return idct8_add_small<true, true>(dst, x, stride);
    if (low_u) return idct8_add_small<true, false>(dst, x, stride);
    if (low_v) return idct8_add_small<false, true>(dst, x, stride);
    idct8_add_small<false, false>(dst, x, stride);
}

}  // namespace

void svac_dct_init_sse2(SvacIdctAddFn *idct4, SvacIdctAddFn *idct8) {
    *idct4 = idct4_add;
    *idct8 = idct8_add;
}
