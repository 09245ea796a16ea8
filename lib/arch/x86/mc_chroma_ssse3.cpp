// SSSE3 eighth-sample chroma interpolation for 8-bit samples, 8 and 4 wide.
// Like the portable kernels they skip the samples of zero weights, so a
// block reads exactly what its portable kernel reads. Neighbouring samples
// are interleaved so that one multiply-add applies a pair of weights; every
// weighted sum is at most 64 * 255 + 32 and fits a 16-bit lane.
#include <tmmintrin.h>

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

inline __m128i weights(int w0, int w1) { return _mm_set1_epi16(static_cast<int16_t>(w1 << 8 | w0)); }

template <int W, bool Avg>
void chroma(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y) {
    if (static_cast<unsigned>(x) > 7 || static_cast<unsigned>(y) > 7) {
        // The portable kernel reports the bad fraction and writes nothing.
        constexpr SvacChromaMcFn portable = Avg ? (W == 8 ? avg_chroma_mc8_8_c : avg_chroma_mc4_8_c)
                                                : (W == 8 ? put_chroma_mc8_8_c : put_chroma_mc4_8_c);
        return portable(dst, src, stride, h, x, y);
    }
    const int a = (8 - x) * (8 - y), b = x * (8 - y), c = (8 - x) * y, d = x * y;
    const __m128i ab = weights(a, b), cd = weights(c, d), ac = weights(a, x ? b : c);
    const __m128i round = _mm_set1_epi16(32);
    const ptrdiff_t next = x ? 1 : stride;  // the second tap of the two-tap cases
    constexpr int step = W == 8 ? 1 : 2;
    if (W == 8 && x && y) {
        // Each interleaved row serves as the lower row of one output row and
        // the upper row of the next.
        __m128i upper = _mm_unpacklo_epi8(load<8>(src, stride, 1), load<8>(src + 1, stride, 1));
        for (int j = 0; j < h; j++, dst += stride, src += stride) {
            const __m128i lower =
                _mm_unpacklo_epi8(load<8>(src + stride, stride, 1), load<8>(src + stride + 1, stride, 1));
            const __m128i s = _mm_add_epi16(_mm_maddubs_epi16(upper, ab), _mm_maddubs_epi16(lower, cd));
            __m128i p = _mm_srli_epi16(_mm_add_epi16(s, round), 6);
            p = _mm_packus_epi16(p, p);
            if constexpr (Avg) p = _mm_avg_epu8(p, load<8>(dst, stride, 1));
            store<8>(dst, stride, 1, p);
            upper = lower;
        }
        return;
    }
    for (int j = 0; j < h; j += step, dst += step * stride, src += step * stride) {
        const int rows = h - j < step ? 1 : step;
        __m128i p;
        if (x && y) {
            const __m128i s = _mm_add_epi16(pair_sum<W>(src, 1, stride, rows, ab),
                                            pair_sum<W>(src + stride, 1, stride, rows, cd));
            p = _mm_srli_epi16(_mm_add_epi16(s, round), 6);
            p = _mm_packus_epi16(p, p);
        } else if (x || y) {
            p = _mm_srli_epi16(_mm_add_epi16(pair_sum<W>(src, next, stride, rows, ac), round), 6);
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
