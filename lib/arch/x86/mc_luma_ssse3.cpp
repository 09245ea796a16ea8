// SSSE3 quarter-sample luma interpolation for 8-bit samples, eight columns
// at a time in 16-bit lanes. Loads are eight bytes wide at each tap offset
// (sixteen wide rows: two 16-byte loads shuffled into tap pairs), so a
// block reads exactly the samples its portable kernel reads. Taps are
// applied in pairs by one multiply-add over interleaved samples; the
// quarter filters' fifth tap, of weight -1, is a plain subtraction. The
// pairs are chosen so that no pair sum leaves 16 bits (96 and 42 never meet).
//
// Filter sums are formed in 16 bits modulo 2^16: every sum spans fewer than
// 2^16 values, so a known bias brings it back exactly (a biased logical
// shift for the quarter filters, whose sums reach 35190).
#include <tmmintrin.h>

#include <array>
#include <utility>

#include "arch/x86/simd.h"

namespace {

enum class Tap { hpel, qpel_l, qpel_r };

template <Tap F>
struct Taps;
// Pairs of taps (offsets off, weights w) and, for the quarter filters, the
// offset of the tap of weight -1 (`single`; none: 0 with has_single false).
template <>
struct Taps<Tap::hpel> {
    static constexpr int first = -1, count = 4, shift = 3;
    static constexpr int c[5] = {-1, 5, 5, -1, 0};
    static constexpr int off[2][2] = {{-1, 0}, {1, 2}}, w[2][2] = {{-1, 5}, {5, -1}};
    static constexpr bool has_single = false;
    static constexpr int single = 0;
};
template <>
struct Taps<Tap::qpel_l> {
    static constexpr int first = -2, count = 5, shift = 7;
    static constexpr int c[5] = {-1, -2, 96, 42, -7};
    static constexpr int off[2][2] = {{0, 2}, {-1, 1}}, w[2][2] = {{96, -7}, {-2, 42}};
    static constexpr bool has_single = true;
    static constexpr int single = -2;
};
template <>
struct Taps<Tap::qpel_r> {
    static constexpr int first = -1, count = 5, shift = 7;
    static constexpr int c[5] = {-7, 42, 96, -2, -1};
    static constexpr int off[2][2] = {{-1, 1}, {0, 2}}, w[2][2] = {{-7, 96}, {42, -2}};
    static constexpr bool has_single = true;
    static constexpr int single = 3;
};

inline __m128i load8(const uint8_t *p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)), _mm_setzero_si128());
}

inline __m128i load8b(const uint8_t *p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)); }

// Weights of pair k as the byte pair of a multiply-add.
template <Tap F>
inline __m128i pair_weights(int k) {
    using T = Taps<F>;
    return _mm_set1_epi16(static_cast<int16_t>((T::w[k][1] & 0xff) << 8 | (T::w[k][0] & 0xff)));
}

// Pair sums m0, m1 and the samples of the single tap s (16-bit lanes) into
// one filter sum. Pair 0 less the single tap stays within -2040..24480, so
// with Sat only a sum above 32767 (an output past 255 either way) changes,
// to 32767; without it the sum is modulo 2^16.
template <Tap F, bool Sat>
inline __m128i combine(__m128i m0, __m128i m1, __m128i s) {
    if constexpr (Taps<F>::has_single) m0 = _mm_sub_epi16(m0, s);
    return Sat ? _mm_adds_epi16(m0, m1) : _mm_add_epi16(m0, m1);
}

// Filter sum modulo 2^16 (or saturated, Sat) of eight outputs, taps `step`
// bytes apart.
template <Tap F, bool Sat = false>
inline __m128i sum8(const uint8_t *p, ptrdiff_t step) {
    using T = Taps<F>;
    __m128i m[2];
    for (int k = 0; k < 2; k++)
        m[k] = _mm_maddubs_epi16(
            _mm_unpacklo_epi8(load8b(p + T::off[k][0] * step), load8b(p + T::off[k][1] * step)),
            pair_weights<F>(k));
    return combine<F, Sat>(m[0], m[1], T::has_single ? load8(p + T::single * step) : _mm_setzero_si128());
}

// The same for sixteen outputs, as two halves of eight.
template <Tap F, bool Sat = false>
inline void sum16(const uint8_t *p, ptrdiff_t step, __m128i &lo, __m128i &hi) {
    using T = Taps<F>;
    const auto load = [&](int o) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + o * step)); };
    __m128i ml[2], mh[2];
    for (int k = 0; k < 2; k++) {
        const __m128i a = load(T::off[k][0]), b = load(T::off[k][1]), w = pair_weights<F>(k);
        ml[k] = _mm_maddubs_epi16(_mm_unpacklo_epi8(a, b), w);
        mh[k] = _mm_maddubs_epi16(_mm_unpackhi_epi8(a, b), w);
    }
    const __m128i s = T::has_single ? load(T::single) : _mm_setzero_si128(), z = _mm_setzero_si128();
    lo = combine<F, Sat>(ml[0], ml[1], _mm_unpacklo_epi8(s, z));
    hi = combine<F, Sat>(mh[0], mh[1], _mm_unpackhi_epi8(s, z));
}

// Byte shuffles for sixteen horizontal outputs from two loads: outputs 0..7
// from the load at the first tap of output 0, outputs 8..15 from the load
// ending at the last tap of output 15, so the two read exactly the samples
// the block needs. masks[k][h] picks the pair k of each output of half h.
template <Tap F>
constexpr std::array<std::array<std::array<int8_t, 16>, 2>, 2> make_masks() {
    using T = Taps<F>;
    std::array<std::array<std::array<int8_t, 16>, 2>, 2> m{};
    for (int k = 0; k < 2; k++)
        for (int h = 0; h < 2; h++) {
            const int base = h ? T::first + T::count - 1 - 8 : T::first;
            for (int j = 0; j < 8; j++)
                for (int e = 0; e < 2; e++) m[k][h][2 * j + e] = static_cast<int8_t>(j + T::off[k][e] - base);
        }
    return m;
}
template <Tap F>
constexpr auto kMasks = make_masks<F>();

// sum16 for horizontal taps (step 1): two loads and a shuffle per pair. The
// single tap is the first or the last, whose samples one load holds in order.
template <Tap F, bool Sat = false>
inline void hsum16(const uint8_t *p, __m128i &lo, __m128i &hi) {
    using T = Taps<F>;
    static_assert(!T::has_single || T::single == T::first || T::single == T::first + T::count - 1);
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + T::first));
    const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + T::first + T::count - 1));
    __m128i ml[2], mh[2];
    for (int k = 0; k < 2; k++) {
        const auto mask = [&](int half) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i *>(kMasks<F>[k][half].data()));
        };
        ml[k] = _mm_maddubs_epi16(_mm_shuffle_epi8(l, mask(0)), pair_weights<F>(k));
        mh[k] = _mm_maddubs_epi16(_mm_shuffle_epi8(h, mask(1)), pair_weights<F>(k));
    }
    // Outputs 0..15 take the single tap from l at 0..15 or from h at 0..15.
    const __m128i s = T::single == T::first ? l : h, z = _mm_setzero_si128();
    lo = combine<F, Sat>(ml[0], ml[1], _mm_unpacklo_epi8(s, z));
    hi = combine<F, Sat>(mh[0], mh[1], _mm_unpackhi_epi8(s, z));
}

// Rounded, shifted one-pass result of a saturated sum as signed 16-bit
// lanes (clipped by the pack): (s + 2^(n-1)) >> n is the rounded high half
// of s * 2^(15-n), and 32767 still gives 256.
template <Tap F>
inline __m128i round1(__m128i sum) {
    return _mm_mulhrs_epi16(sum, _mm_set1_epi16(1 << (15 - Taps<F>::shift)));
}

template <bool Avg>
inline void store8(uint8_t *d, __m128i q16) {
    __m128i q = _mm_packus_epi16(q16, q16);
    if constexpr (Avg) q = _mm_avg_epu8(q, _mm_loadl_epi64(reinterpret_cast<const __m128i *>(d)));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(d), q);
}

template <bool Avg>
inline void store8_32(uint8_t *d, __m128i lo, __m128i hi) {
    store8<Avg>(d, _mm_packs_epi32(lo, hi));
}

template <int N, bool Avg>
void copy(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    for (int j = 0; j < N; j++, dst += stride, src += stride) {
        if constexpr (N == 16) {
            __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
            if constexpr (Avg) s = _mm_avg_epu8(s, _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), s);
        } else {
            __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src));
            if constexpr (Avg) s = _mm_avg_epu8(s, _mm_loadl_epi64(reinterpret_cast<const __m128i *>(dst)));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), s);
        }
    }
}

template <int N, Tap F, bool Vertical, bool Avg>
void one_pass(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    const ptrdiff_t step = Vertical ? stride : 1;
    for (int j = 0; j < N; j++, dst += stride, src += stride) {
        if constexpr (N == 16) {
            __m128i lo, hi;
            if constexpr (Vertical)
                sum16<F, true>(src, step, lo, hi);
            else
                hsum16<F, true>(src, lo, hi);
            __m128i q = _mm_packus_epi16(round1<F>(lo), round1<F>(hi));
            if constexpr (Avg) q = _mm_avg_epu8(q, _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), q);
        } else {
            store8<Avg>(dst, round1<F>(sum8<F, true>(src, step)));
        }
    }
}

// Weight pair (a, b) for _mm_madd_epi16 over interleaved rows.
inline __m128i pair(int a, int b) {
    return _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) | (a & 0xffff)));
}

// Vertical filter FV over 16-bit intermediates (eight columns), as two
// vectors of four 32-bit sums. lo[r] and hi[r] interleave the rows r and
// r + 1 (lanes 0..3 and 4..7), so that one multiply-add takes a tap pair.
template <Tap FV>
inline void vsum(const __m128i *lo_pairs, const __m128i *hi_pairs, __m128i &lo, __m128i &hi) {
    using T = Taps<FV>;
    lo = _mm_setzero_si128();
    hi = _mm_setzero_si128();
    for (int k = 0; k < T::count; k += 2) {
        const __m128i w = pair(T::c[k], k + 1 < T::count ? T::c[k + 1] : 0);
        lo = _mm_add_epi32(lo, _mm_madd_epi16(lo_pairs[k], w));
        hi = _mm_add_epi32(hi, _mm_madd_epi16(hi_pairs[k], w));
    }
}

// Two passes: unscaled horizontal FH sums (stored minus a bias when they
// exceed 16 bits), then the vertical FV sum in 32 bits (16 bits for the
// centre phases, whose sums fit) and one rounding.
// Egpr adds 64 times the integer sample at `p` (the diagonal phases).
template <int N, Tap FH, Tap FV, bool Avg, bool Egpr>
void two_pass(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, const uint8_t *p) {
    constexpr int bias = FH == Tap::hpel ? 0 : 16384;
    constexpr int shift = Egpr ? 7 : Taps<FH>::shift + Taps<FV>::shift;
    constexpr int gain_v = 1 << Taps<FV>::shift;
    const __m128i offset = _mm_set1_epi32((1 << (shift - 1)) + bias * gain_v);
    constexpr int rows = N - 1 + Taps<FV>::count;
    __m128i hs[N / 8][rows];
    const uint8_t *s = src + Taps<FV>::first * stride;
    for (int r = 0; r < rows; r++, s += stride) {
        if constexpr (N == 16)
            hsum16<FH>(s, hs[0][r], hs[1][r]);
        else
            hs[0][r] = sum8<FH>(s, 1);
        for (int k = 0; k < N / 8; k++)
            hs[k][r] = _mm_sub_epi16(hs[k][r], _mm_set1_epi16(static_cast<int16_t>(bias)));
    }
    for (int i = 0; i < N; i += 8) {
        const __m128i *h = hs[i / 8];
        // Neighbouring rows interleaved once for every output row that uses them.
        __m128i lo_pairs[rows], hi_pairs[rows];
        if constexpr (!(FH == Tap::hpel && FV == Tap::hpel))
            for (int r = 0; r < rows; r++) {
                const __m128i next = r + 1 < rows ? h[r + 1] : _mm_setzero_si128();
                lo_pairs[r] = _mm_unpacklo_epi16(h[r], next);
                hi_pairs[r] = _mm_unpackhi_epi16(h[r], next);
            }
        uint8_t *d = dst + i;
        const uint8_t *q = p + i;
        for (int j = 0; j < N; j++, d += stride, q += stride) {
            if constexpr (FH == Tap::hpel && FV == Tap::hpel) {
                // The centre sum J = 5 (H1 + H2) - (H0 + H3) lies in -10200..26520;
                // J + 64 P + 64 spans under 2^16 and is biased by 80 * 128.
                const __m128i h12 = _mm_add_epi16(h[j + 1], h[j + 2]);
                const __m128i v =
                    _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(h12, 2), h12), _mm_add_epi16(h[j], h[j + 3]));
                if constexpr (Egpr) {
                    const __m128i t = _mm_add_epi16(_mm_add_epi16(v, _mm_slli_epi16(load8(q), 6)),
                                                    _mm_set1_epi16(64 + 80 * 128));
                    store8<Avg>(d, _mm_sub_epi16(_mm_srli_epi16(t, 7), _mm_set1_epi16(80)));
                } else {
                    store8<Avg>(d, _mm_srai_epi16(_mm_add_epi16(v, _mm_set1_epi16(32)), 6));
                }
                continue;
            }
            __m128i lo, hi;
            vsum<FV>(lo_pairs + j, hi_pairs + j, lo, hi);
            lo = _mm_add_epi32(lo, offset);
            hi = _mm_add_epi32(hi, offset);
            if constexpr (Egpr) {
                const __m128i px = load8(q);
                lo = _mm_add_epi32(lo, _mm_slli_epi32(_mm_unpacklo_epi16(px, _mm_setzero_si128()), 6));
                hi = _mm_add_epi32(hi, _mm_slli_epi32(_mm_unpackhi_epi16(px, _mm_setzero_si128()), 6));
            }
            store8_32<Avg>(d, _mm_srai_epi32(lo, shift), _mm_srai_epi32(hi, shift));
        }
    }
}

constexpr Tap tap_of(int phase) { return phase == 1 ? Tap::qpel_l : phase == 2 ? Tap::hpel : Tap::qpel_r; }

template <int N, int X, int Y, bool Avg>
void qpel(uint8_t *dst, const uint8_t *src, ptrdiff_t stride) {
    if constexpr (X == 0 && Y == 0) {
        copy<N, Avg>(dst, src, stride);
    } else if constexpr (Y == 0) {
        one_pass<N, tap_of(X), false, Avg>(dst, src, stride);
    } else if constexpr (X == 0) {
        one_pass<N, tap_of(Y), true, Avg>(dst, src, stride);
    } else if constexpr ((X & 1) && (Y & 1)) {
        const uint8_t *p = src + (X == 3 ? 1 : 0) + (Y == 3 ? stride : 0);
        two_pass<N, Tap::hpel, Tap::hpel, Avg, true>(dst, src, stride, p);
    } else {
        two_pass<N, tap_of(X), tap_of(Y), Avg, false>(dst, src, stride, src);
    }
}

template <int N, bool Avg, size_t... Pos>
void fill(SvacQpelFn *row, std::index_sequence<Pos...>) {
    ((row[Pos] = &qpel<N, Pos % 4, Pos / 4, Avg>), ...);
}

}  // namespace

void svac_qpel_init_ssse3(SvacQpelFn put[2][16], SvacQpelFn avg[2][16]) {
    fill<16, false>(put[0], std::make_index_sequence<16>());
    fill<8, false>(put[1], std::make_index_sequence<16>());
    fill<16, true>(avg[0], std::make_index_sequence<16>());
    fill<8, true>(avg[1], std::make_index_sequence<16>());
}
