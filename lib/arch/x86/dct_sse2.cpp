// SSE2 inverse transforms with reconstruction for 8-bit samples. Four
// 32-bit lanes hold four columns of the block; products by the small
// constants are shifts and adds, so everything wraps modulo 2^32 exactly
// like the portable arithmetic.
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

// Low: inputs 4..7 are known to be zero, and the compiler drops their terms.
template <bool Low = false>
inline void idct8_1d(const __m128i in[8], __m128i y[8]) {
    __m128i x[8];
    for (int k = 0; k < 8; k++) x[k] = Low && k >= 4 ? _mm_setzero_si128() : in[k];
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

void idct8_add(uint8_t *dst, int32_t *block, int stride) {
    // x[h][u]: coefficients of horizontal frequency u, vertical 4h..4h+3.
    __m128i x[2][8], t[2][8];
    __m128i ac = _mm_setzero_si128();
    for (int h = 0; h < 2; h++)
        for (int u = 0; u < 8; u++) {
            x[h][u] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 8 * u + 4 * h));
            ac = _mm_or_si128(ac, h || u ? x[h][u] : _mm_srli_si128(x[h][u], 4));
        }
    const auto zero = [](__m128i v) {
        return _mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_setzero_si128())) == 0xffff;
    };
    if (zero(ac)) return dc8_add(dst, block[0], stride);
    // Low-frequency blocks skip the terms of the zero upper half of either
    // direction: horizontal frequencies 4..7, or vertical frequencies 4..7.
    __m128i high_u = _mm_setzero_si128(), high_v = _mm_setzero_si128();
    for (int u = 0; u < 8; u++) {
        high_v = _mm_or_si128(high_v, x[1][u]);
        if (u >= 4) high_u = _mm_or_si128(high_u, _mm_or_si128(x[0][u], x[1][u]));
    }
    const bool low_u = zero(high_u), low_v = zero(high_v);
    for (int h = 0; h < 2; h++) {
        if (h == 1 && low_v) {
            for (int c = 0; c < 8; c++) t[1][c] = _mm_setzero_si128();
            break;
        }
        if (low_u)
            idct8_1d<true>(x[h], t[h]);
        else
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
    for (int g = 0; g < 2; g++) {
        if (low_v)
            idct8_1d<true>(x[g], r[g]);
        else
            idct8_1d(x[g], r[g]);
    }
    for (int y = 0; y < 8; y++) {
        uint8_t *row = dst + y * stride;
        const __m128i res = _mm_packs_epi32(residual(r[0][y], 1024, 11), residual(r[1][y], 1024, 11));
        const __m128i px = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(row));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(row), add_row(px, res));
    }
}

}  // namespace

void svac_dct_init_sse2(SvacIdctAddFn *idct4, SvacIdctAddFn *idct8) {
    *idct4 = idct4_add;
    *idct8 = idct8_add;
}
