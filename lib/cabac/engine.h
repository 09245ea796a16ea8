// The arithmetic decoder of CABAC slices. Probabilities live in a
// logarithmic domain; range and offset are each an 8-bit fraction plus a
// count of pending renormalisation shifts.
//
// Bins are read from the byte-aligned slice data. Past the data the engine
// reads the payload's remaining bytes (the stop bit), then zero bytes; it
// never reads at or beyond `limit`. A slice that reads more than
// SVAC_CABAC_MAX_PAST zero bytes is broken: from then on the engine reads
// one bits, so that no renormalisation can run forever, and the slice loop
// ends the slice with a bitstream error.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacCabacCtx {
    uint8_t mps;       // more probable symbol
    uint8_t cycno;     // adaptation stage 0..3
    uint16_t lg_pmps;  // LPS probability, log domain 0..1023
};

inline constexpr int SVAC_CABAC_CONTEXTS = 332;
inline constexpr uint32_t SVAC_CABAC_MAX_PAST = 4096;

// The registers of the arithmetic decoder. Element decoders copy them into
// a local, decode their bins and write them back once.
struct SvacCabacEngine {
    uint32_t cur_byte;
    int32_t bit_pos;  // bit of cur_byte last consumed, 7..0
    const uint8_t *next;
    const uint8_t *start;
    const uint8_t *end;
    const uint8_t *limit;  // first byte that must not be read
    uint32_t past;         // bytes read at or beyond limit
    // The range is s1 pending shifts and an 8-bit fraction t1; kept as
    // a = (value_s - s1) * 256 + t1 - value_t, whose sign decides a bin in
    // one compare: a - lps > 0 on the MPS path. s1 never exceeds value_s.
    int32_t a;
    uint32_t value_s;
    uint32_t value_t;
};

struct SvacCabac {
    SvacCabacEngine e;
    int32_t last_qp_delta;
    SvacCabacCtx ctx[SVAC_CABAC_CONTEXTS];
};

// Starts a slice at `data` with `length` bytes of slice data; bytes from
// data + length up to `limit` (the rest of the payload) are readable too.
SVAC_EXTERN_C void VQ_SVACDEC_cabac_init(SvacCabac *c, const uint8_t *data, int32_t length,
                                         const uint8_t *limit);
// 1 when the slice ends after the current macroblock.
SVAC_EXTERN_C int32_t VQ_SVACDEC_cabac_decode_end_of_slice_flag(SvacCabac *c);

inline bool svac_cabac_broken(const SvacCabac *c) { return c->e.past > SVAC_CABAC_MAX_PAST; }
// Marks the slice broken (an element that no valid stream can hold).
inline void svac_cabac_break(SvacCabac *c) { c->e.past = SVAC_CABAC_MAX_PAST + 1; }

// ---- the bin decoder, inline so that element decoders can keep the
// registers in locals ----

inline uint32_t svac_cabac_byte(SvacCabacEngine &e) {
    if (SVAC_LIKELY(e.next < e.limit)) return *e.next++;
    return ++e.past > SVAC_CABAC_MAX_PAST ? 0xFFu : 0u;
}

inline uint32_t svac_cabac_bit(SvacCabacEngine &e) {
    if (--e.bit_pos < 0) {
        e.cur_byte = svac_cabac_byte(e);
        e.bit_pos = 7;
    }
    return (e.cur_byte >> e.bit_pos) & 1;
}

// The next n bits (n <= 8), most significant first.
inline uint32_t svac_cabac_bits(SvacCabacEngine &e, int n) {
    uint32_t v;
    if (n <= e.bit_pos) {
        e.bit_pos -= n;
        v = e.cur_byte >> e.bit_pos;
    } else {
        // The rest of cur_byte, then the top bits of the next byte.
        const int k = n - e.bit_pos;
        v = e.cur_byte << k;
        e.cur_byte = svac_cabac_byte(e);
        e.bit_pos = 8 - k;
        v |= e.cur_byte >> e.bit_pos;
    }
    return v & ((1u << n) - 1);
}

// Offset renormalisation: doubles value_t until it reaches 256, counting
// the pending shifts in value_s.
inline void svac_cabac_norm_offset(SvacCabacEngine &e) {
    e.value_s = 0;
    while (e.value_t == 0) {
        e.value_t = svac_cabac_bit(e);
        e.value_s++;
    }
    if (e.value_t < 256) {
        const int n = __builtin_clz(e.value_t) - 23;
        e.value_t = (e.value_t << n) | svac_cabac_bits(e, n);
        e.value_s += n;
    }
}

// The LPS path of svac_cabac_decide, out of line: element decoders inline
// only the compare of the MPS path.
bool svac_cabac_lps(SvacCabacEngine &e, uint32_t lps);

// One arithmetic decision with LPS sub-range lps (1..255): false on the
// MPS path, true on the LPS path.
[[gnu::always_inline]] inline bool svac_cabac_decide(SvacCabacEngine &e, uint32_t lps) {
    const int32_t q = e.a - static_cast<int32_t>(lps);
    if (SVAC_LIKELY(q > 0)) {
        e.a = q;
        return false;
    }
    return svac_cabac_lps(e, lps);
}

inline void svac_cabac_fold(SvacCabacCtx &c, uint32_t lg) {
    if (lg >= 1024) {
        lg = 2047 - lg;
        c.mps ^= 1;
    }
    c.lg_pmps = static_cast<uint16_t>(lg);
}

[[gnu::always_inline]] inline void svac_cabac_update(SvacCabacCtx &c, bool lps) {
    const uint32_t lg = c.lg_pmps;
    // Contexts reach the last stage after three LPS bins and stay there:
    // constant shifts for them.
    if (SVAC_LIKELY(c.cycno == 3)) {
        if (!lps)
            c.lg_pmps = static_cast<uint16_t>(lg - (lg >> 5) - (lg >> 7));
        else
            svac_cabac_fold(c, lg + 46);
        return;
    }
    const int shift = c.cycno < 2 ? 3 : 4;
    if (!lps) {
        if (c.cycno == 0) c.cycno = 1;
        c.lg_pmps = static_cast<uint16_t>(lg - (lg >> shift) - (lg >> (shift + 2)));
        return;
    }
    c.cycno++;
    svac_cabac_fold(c, lg + (shift == 3 ? 197 : 95));
}

[[gnu::always_inline]] inline uint32_t svac_cabac_bin(SvacCabacEngine &e, SvacCabacCtx &c) {
    const uint32_t mps = c.mps;
    const bool lps = svac_cabac_decide(e, c.lg_pmps >> 2);
    svac_cabac_update(c, lps);
    return mps ^ lps;
}

// A bin from the blend of two contexts; both adapt to the result.
inline uint32_t svac_cabac_bin2(SvacCabacEngine &e, SvacCabacCtx &a, SvacCabacCtx &b) {
    uint32_t mps, lg;
    if (a.mps == b.mps) {
        mps = a.mps;
        lg = (a.lg_pmps + b.lg_pmps) >> 1;
    } else {
        mps = a.lg_pmps < b.lg_pmps ? a.mps : b.mps;
        const uint32_t d = a.lg_pmps > b.lg_pmps ? a.lg_pmps - b.lg_pmps : b.lg_pmps - a.lg_pmps;
        lg = 1023 - (d >> 1);
    }
    const uint32_t bin = mps ^ svac_cabac_decide(e, lg >> 2);
    svac_cabac_update(a, bin != a.mps);
    svac_cabac_update(b, bin != b.mps);
    return bin;
}

// A bin of fixed LPS sub-range: 1 on the LPS path; nothing adapts.
inline uint32_t svac_cabac_fixed(SvacCabacEngine &e, uint32_t lps) { return svac_cabac_decide(e, lps); }

inline uint32_t cabac_decode_symbol(SvacCabac *c, SvacCabacCtx &ctx) { return svac_cabac_bin(c->e, ctx); }
inline uint32_t cabac_decode_symbol_weight(SvacCabac *c, SvacCabacCtx &a, SvacCabacCtx &b) {
    return svac_cabac_bin2(c->e, a, b);
}
// The equiprobable bin of flags, suffixes and signs.
inline uint32_t cabac_decode_equiprobable(SvacCabac *c) { return svac_cabac_fixed(c->e, 255); }
