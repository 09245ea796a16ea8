// SSSE3 intra predictors for 8-bit 4x4 and 8x8 blocks. The smoothed
// neighbours of a whole edge are formed at once in 16-bit lanes; the
// diagonal modes build their line of values once and store each row as a
// window of it.
#include <tmmintrin.h>

#include <cstring>

#include "arch/x86/simd.h"

namespace {

// N samples (4, 8 or 16 bytes) at p.
template <int N>
inline __m128i load(const uint8_t *p) {
    if constexpr (N == 16) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    } else if constexpr (N == 8) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(static_cast<int>(v));
    }
}

template <int N>
inline void store(uint8_t *p, __m128i v) {
    if constexpr (N == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p), v);
    } else {
        const uint32_t w = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
        std::memcpy(p, &w, 4);
    }
}

// (a[i-1] + 2 a[i] + a[i+1] + 2) >> 2 for i = 1..16 as bytes (lane i-1).
// It reads a[0..17], which every neighbour array of an 8x8 block holds.
inline __m128i smooth16(const uint8_t *a) {
    const __m128i z = _mm_setzero_si128();
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + 1));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + 2));
    auto half = [&](__m128i x, __m128i y, __m128i w) {
        const __m128i s =
            _mm_add_epi16(_mm_add_epi16(x, w), _mm_add_epi16(_mm_slli_epi16(y, 1), _mm_set1_epi16(2)));
        return _mm_srli_epi16(s, 2);
    };
    return _mm_packus_epi16(half(_mm_unpacklo_epi8(l, z), _mm_unpacklo_epi8(c, z), _mm_unpacklo_epi8(r, z)),
                            half(_mm_unpackhi_epi8(l, z), _mm_unpackhi_epi8(c, z), _mm_unpackhi_epi8(r, z)));
}

// The same for i = 1..8 from a[0..9] (4x4 neighbour arrays hold ten).
inline __m128i smooth8(const uint8_t *a) {
    const __m128i z = _mm_setzero_si128();
    const __m128i l = _mm_unpacklo_epi8(load<8>(a), z), c = _mm_unpacklo_epi8(load<8>(a + 1), z);
    const __m128i r = _mm_unpacklo_epi8(load<8>(a + 2), z);
    const __m128i s =
        _mm_add_epi16(_mm_add_epi16(l, r), _mm_add_epi16(_mm_slli_epi16(c, 1), _mm_set1_epi16(2)));
    const __m128i v = _mm_srli_epi16(s, 2);
    return _mm_packus_epi16(v, v);
}

template <int N>
inline __m128i smooth(const uint8_t *a) {
    if constexpr (N == 8)
        return smooth16(a);
    else
        return smooth8(a);
}

// Truncating average (a + b) >> 1 of bytes: the rounding average minus
// the carry of odd sums.
inline __m128i avg_down(__m128i a, __m128i b) {
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

template <int N>
void vert(uint8_t *dst, const uint8_t *top, const uint8_t *, int stride) {
    const __m128i t = load<N>(top + 1);
    for (int y = 0; y < N; y++) store<N>(dst + y * stride, t);
}

template <int N>
void horiz(uint8_t *dst, const uint8_t *, const uint8_t *left, int stride) {
    // Each left sample broadcast across its row.
    const __m128i l = load<N>(left + 1);
    for (int y = 0; y < N; y++)
        store<N>(dst + y * stride, _mm_shuffle_epi8(l, _mm_set1_epi8(static_cast<char>(y))));
}

template <int N>
void lp(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    const __m128i tf = smooth<N>(top), lf = smooth<N>(left);
    for (int y = 0; y < N; y++)
        store<N>(dst + y * stride, avg_down(tf, _mm_shuffle_epi8(lf, _mm_set1_epi8(static_cast<char>(y)))));
}

template <int N>
void lp_left(uint8_t *dst, const uint8_t *, const uint8_t *left, int stride) {
    const __m128i lf = smooth<N>(left);
    for (int y = 0; y < N; y++)
        store<N>(dst + y * stride, _mm_shuffle_epi8(lf, _mm_set1_epi8(static_cast<char>(y))));
}

template <int N>
void lp_top(uint8_t *dst, const uint8_t *top, const uint8_t *, int stride) {
    const __m128i tf = smooth<N>(top);
    for (int y = 0; y < N; y++) store<N>(dst + y * stride, tf);
}

// Row y holds smoothed positions y+2 .. y+N+1 of both edges, averaged.
template <int N>
void down_left(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    __m128i d = avg_down(smooth<N>(top), smooth<N>(left));  // lane i-1: position i
    d = _mm_srli_si128(d, 1);
    for (int y = 0; y < N; y++, d = _mm_srli_si128(d, 1)) store<N>(dst + y * stride, d);
}

// One line of 2N-1 values from bottom-left to top-right: smoothed left
// reversed, the corner, smoothed top; row y starts N-1-y values in.
template <int N>
void down_right(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    const __m128i tf = smooth<N>(top), lf = smooth<N>(left);  // lane k-1: position k
    const int corner = (top[1] + 2 * top[0] + left[1] + 2) >> 2;
    // Bytes 0..N-2: lf positions N-1..1; byte N-1: corner; bytes N..2N-2: tf positions 1..N-1.
    alignas(16) int8_t rev[16], fwd[16];
    for (int i = 0; i < 16; i++) {
        rev[i] = static_cast<int8_t>(i < N - 1 ? N - 2 - i : -1);
        fwd[i] = static_cast<int8_t>(i >= N && i < 2 * N - 1 ? i - N : -1);
    }
    __m128i line = _mm_or_si128(_mm_shuffle_epi8(lf, _mm_load_si128(reinterpret_cast<const __m128i *>(rev))),
                                _mm_shuffle_epi8(tf, _mm_load_si128(reinterpret_cast<const __m128i *>(fwd))));
    alignas(16) uint8_t buf[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(buf), line);
    buf[N - 1] = static_cast<uint8_t>(corner);
    for (int y = 0; y < N; y++) store<N>(dst + y * stride, load<N>(buf + N - 1 - y));
}

template <int N>
void dc_128(uint8_t *dst, const uint8_t *, const uint8_t *, int stride) {
    const __m128i v = _mm_set1_epi8(static_cast<char>(128));
    for (int y = 0; y < N; y++) store<N>(dst + y * stride, v);
}

// 8x8 only. Every intermediate stays within 16 bits: |b|, |c| <= 1355.
void plane(uint8_t *dst, const uint8_t *top, const uint8_t *left, int stride) {
    int h = 0, v = 0;
    for (int i = 1; i <= 4; i++) {
        h += i * (top[4 + i] - top[4 - i]);
        v += i * (left[4 + i] - left[4 - i]);
    }
    const int b = (17 * h + 16) >> 5, c = (17 * v + 16) >> 5, a = 16 * (top[8] + left[8]);
    __m128i row = _mm_add_epi16(
        _mm_set1_epi16(static_cast<int16_t>(a - 3 * c + 16)),
        _mm_mullo_epi16(_mm_set1_epi16(static_cast<int16_t>(b)), _mm_setr_epi16(-3, -2, -1, 0, 1, 2, 3, 4)));
    const __m128i step = _mm_set1_epi16(static_cast<int16_t>(c));
    for (int y = 0; y < 8; y++, row = _mm_add_epi16(row, step)) {
        const __m128i s = _mm_srai_epi16(row, 5);
        store<8>(dst + y * stride, _mm_packus_epi16(s, s));
    }
}

}  // namespace

void svac_predict_init_ssse3(SvacIntraPredFn l4[8], SvacIntraPredFn l8[8], SvacIntraPredFn c[7]) {
    const SvacIntraPredFn four[8] = {vert<4>,       horiz<4>,   lp<4>,     down_left<4>,
                                     down_right<4>, lp_left<4>, lp_top<4>, dc_128<4>};
    const SvacIntraPredFn eight[8] = {vert<8>,       horiz<8>,   lp<8>,     down_left<8>,
                                      down_right<8>, lp_left<8>, lp_top<8>, dc_128<8>};
    const SvacIntraPredFn chroma[7] = {lp<8>, horiz<8>, vert<8>, plane, lp_left<8>, lp_top<8>, dc_128<8>};
    std::memcpy(l4, four, sizeof(four));
    std::memcpy(l8, eight, sizeof(eight));
    std::memcpy(c, chroma, sizeof(chroma));
}
