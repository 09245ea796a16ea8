// SSSE3 eighth-sample chroma interpolation for 8-bit samples, 8 and 4 wide.
// Like the portable kernels they skip the samples of zero weights, so a
// block reads exactly what its portable kernel reads. Neighbouring samples
// are interleaved so that one multiply-add applies a pair of weights; every
// weighted sum is at most 64 * 255 + 32 and fits a 16-bit lane.
#include <tmmintrin.h>

#include <array>
#include <cstring>

#include "arch/x86/simd.h"

namespace {

// One row of 8 samples, or `rows` (1 or 2) rows of 4, as bytes.
template <int W>
inline __m128i load(const uint8_t *p, ptrdiff_t stride, int rows) {
    if constexpr (W == 8) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
    } else {
        uint32_t a, b = 0;
        std::memcpy(&a, p, 4);
        if (rows == 2) std::memcpy(&b, p + stride, 4);
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(a)),
                                  _mm_cvtsi32_si128(static_cast<int>(b)));
    }
}

template <int W>
inline void store(uint8_t *p, ptrdiff_t stride, int rows, __m128i v) {
    if constexpr (W == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p), v);
    } else {
        const uint32_t a = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
        const uint32_t b = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
        std::memcpy(p, &a, 4);
        if (rows == 2) std::memcpy(p + stride, &b, 4);
    }
}

// Byte pairs (p[i], p[i + next]) of one step, weighted by (w0, w1).
template <int W>
inline __m128i pair_sum(const uint8_t *p, ptrdiff_t next, ptrdiff_t stride, int rows, __m128i w) {
    return _mm_maddubs_epi16(_mm_unpacklo_epi8(load<W>(p, stride, rows), load<W>(p + next, stride, rows)), w);
}

// The weight pairs (a, b) and (c, d) of every fraction [y][x], as bytes
// repeated over a 32-bit word. The pair (a, c) of x = 0 is (a, b) of the
// fractions swapped.
constexpr auto kWeights = [] {
    std::array<std::array<std::array<uint32_t, 2>, 8>, 8> t{};
    for (uint32_t y = 0; y < 8; y++)
        for (uint32_t x = 0; x < 8; x++) {
            const uint32_t a = (8 - x) * (8 - y), b = x * (8 - y), c = (8 - x) * y, d = x * y;
            t[y][x] = {(b << 8 | a) * 0x10001u, (d << 8 | c) * 0x10001u};
        }
    return t;
}();

inline __m128i weights(uint32_t pair) {
    return _mm_shuffle_epi32(_mm_cvtsi32_si128(static_cast<int>(pair)), 0);
}

// (s + 32) >> 6 as the rounded high half of s * 512 (s is never negative).
inline __m128i round6(__m128i s) { return _mm_mulhrs_epi16(s, _mm_set1_epi16(512)); }

inline __m128i load2x8(const uint8_t *p, ptrdiff_t stride) {
    return _mm_unpacklo_epi64(load<8>(p, stride, 1), load<8>(p + stride, stride, 1));
}

// Two rows of eight output samples (8-bit in the low and high halves) to
// dst and dst + stride; avg rounds them with what is there.
template <bool Avg>
inline void store2x8(uint8_t *dst, ptrdiff_t stride, __m128i lo, __m128i hi) {
    __m128i p = _mm_packus_epi16(lo, hi);
    if constexpr (Avg) p = _mm_avg_epu8(p, load2x8(dst, stride));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), p);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + stride), _mm_unpackhi_epi64(p, p));
}

// Eight wide, two output rows per step. pairs(p) gives the interleaved
// sample pairs of the input row at p; out(u, l) turns the pairs of an input
// row and of the row below into an output row. Lower: the row below is
// read (otherwise out ignores it).
template <bool Avg, bool Lower, typename Pairs, typename Out>
inline void rows8(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, Pairs pairs, Out out) {
    const __m128i z = _mm_setzero_si128();
    __m128i cur = pairs(src);
    int j = 0;
    for (; j + 2 <= h; j += 2, dst += 2 * stride, src += 2 * stride) {
        const __m128i next = pairs(src + stride);
        const __m128i after = Lower ? pairs(src + 2 * stride) : z;
        store2x8<Avg>(dst, stride, out(cur, next), out(next, after));
        cur = Lower ? after : pairs(src + 2 * stride);
    }
    if (j < h) {
        __m128i p = out(cur, Lower ? pairs(src + stride) : z);
        p = _mm_packus_epi16(p, p);
        if constexpr (Avg) p = _mm_avg_epu8(p, load<8>(dst, stride, 1));
        store<8>(dst, stride, 1, p);
    }
}

// H: the block height when known at compile time (the loops unroll), else 0.
template <bool Avg, int H>
void chroma8(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h_, int x, int y) {
    const int h = H ? H : h_;
    const __m128i ab = weights(kWeights[y][x][0]), cd = weights(kWeights[y][x][1]);
    // Each sample with its right neighbour; or alone, the pairs running down.
    const auto across = [](const uint8_t *p) {
        return _mm_unpacklo_epi8(load<8>(p, 0, 1), load<8>(p + 1, 0, 1));
    };
    const auto alone = [](const uint8_t *p) { return load<8>(p, 0, 1); };
    if (x && y) {
        rows8<Avg, true>(dst, src, stride, h, across, [=](__m128i u, __m128i l) {
            return round6(_mm_add_epi16(_mm_maddubs_epi16(u, ab), _mm_maddubs_epi16(l, cd)));
        });
    } else if (x) {
        rows8<Avg, false>(dst, src, stride, h, across,
                          [=](__m128i u, __m128i) { return round6(_mm_maddubs_epi16(u, ab)); });
    } else if (y) {
        const __m128i ac = weights(kWeights[0][y][0]);
        rows8<Avg, true>(dst, src, stride, h, alone, [=](__m128i u, __m128i l) {
            return round6(_mm_maddubs_epi16(_mm_unpacklo_epi8(u, l), ac));
        });
    } else {
        for (int j = 0; j < h; j++, dst += stride, src += stride) {
            __m128i p = load<8>(src, stride, 1);
            if constexpr (Avg) p = _mm_avg_epu8(p, load<8>(dst, stride, 1));
            store<8>(dst, stride, 1, p);
        }
    }
}

template <int W, bool Avg>
void chroma(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y) {
    if (static_cast<unsigned>(x) > 7 || static_cast<unsigned>(y) > 7) {
        // The portable kernel reports the bad fraction and writes nothing.
        constexpr SvacChromaMcFn portable = Avg ? (W == 8 ? avg_chroma_mc8_8_c : avg_chroma_mc4_8_c)
                                                : (W == 8 ? put_chroma_mc8_8_c : put_chroma_mc4_8_c);
        return portable(dst, src, stride, h, x, y);
    }
    if constexpr (W == 8) {
        // Whole macroblocks and 8x8 partitions give 8 and 4 rows.
        if (h == 8) return chroma8<Avg, 8>(dst, src, stride, h, x, y);
        if (h == 4) return chroma8<Avg, 4>(dst, src, stride, h, x, y);
        return chroma8<Avg, 0>(dst, src, stride, h, x, y);
    }
    const __m128i ab = weights(kWeights[y][x][0]), cd = weights(kWeights[y][x][1]);
    const __m128i ac = x ? ab : weights(kWeights[0][y][0]);
    const ptrdiff_t next = x ? 1 : stride;  // the second tap of the two-tap cases
    for (int j = 0; j < h; j += 2, dst += 2 * stride, src += 2 * stride) {
        const int rows = h - j < 2 ? 1 : 2;
        __m128i p;
        if (x && y) {
            p = round6(_mm_add_epi16(pair_sum<W>(src, 1, stride, rows, ab),
                                     pair_sum<W>(src + stride, 1, stride, rows, cd)));
            p = _mm_packus_epi16(p, p);
        } else if (x || y) {
            p = round6(pair_sum<W>(src, next, stride, rows, ac));
            p = _mm_packus_epi16(p, p);
        } else {
            p = load<W>(src, stride, rows);
        }
        if constexpr (Avg) p = _mm_avg_epu8(p, load<W>(dst, stride, rows));
        store<W>(dst, stride, rows, p);
    }
}

}  // namespace

void svac_chroma_init_ssse3(SvacChromaMcFn put[4], SvacChromaMcFn avg[4]) {
    put[0] = chroma<8, false>;
    put[1] = chroma<4, false>;
    avg[0] = chroma<8, true>;
    avg[1] = chroma<4, true>;
}
