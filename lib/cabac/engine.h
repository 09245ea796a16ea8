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
    // The offset's 8-bit fraction v heads a window of bits: lo holds v then
    // the k bits read ahead of the position (bits are read a few bytes at a
    // time, not as each decision needs them).
    uint64_t lo;
    int32_t k;
    // The range is s1 pending shifts and an 8-bit fraction t1, the offset
    // value_s pending shifts and the fraction v; kept as
    // a = (value_s - s1) * 256 + t1 - v, whose sign decides a bin in one
    // compare: a - lps > 0 on the MPS path. s1 never exceeds value_s.
    int32_t a;
    int32_t v;
    const uint8_t *next;
    const uint8_t *start;
    const uint8_t *end;
    const uint8_t *limit;  // first byte that must not be read
    uint32_t past;         // bytes read at or beyond limit
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

// Bytes read ahead into the window do not count until they are used.
inline bool svac_cabac_broken(const SvacCabac *c) { return c->e.past > SVAC_CABAC_MAX_PAST + (c->e.k >> 3); }
// Marks the slice broken (an element that no valid stream can hold). Bytes
// read ahead from beyond the limit become ones, as they would be when read
// now; past then stays above what any window can hold ahead.
inline void svac_cabac_break(SvacCabac *c) {
    SvacCabacEngine &e = c->e;
    const uint32_t whole = static_cast<uint32_t>(e.k >> 3);
    const uint32_t beyond = e.past < whole ? e.past : whole;
    e.lo |= (uint64_t{1} << (8 * beyond)) - 1;
    e.past = SVAC_CABAC_MAX_PAST + 8;
}

// ---- the bin decoder, inline so that element decoders can keep the
// registers in locals ----

inline uint32_t svac_cabac_byte(SvacCabacEngine &e) {
    if (SVAC_LIKELY(e.next < e.limit)) return *e.next++;
    return ++e.past > SVAC_CABAC_MAX_PAST ? 0xFFu : 0u;
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
