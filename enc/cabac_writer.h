// Arithmetic coder of CABAC slices: the inverse of the log-domain decoding
// engine. The range is kept as the decoder keeps it (a fraction t1 of 256..511
// and s1 pending halvings); the low end of the interval is kept as bits below
// the ones already emitted, with carries propagated into the emitted bits.
#pragma once

#include <cstdint>
#include <vector>

namespace svacenc {

inline constexpr int kCabacContexts = 332;

struct CabacCtx {
    uint8_t mps = 0;
    uint8_t cycno = 0;
    uint16_t lg_pmps = 1023;
};

struct CabacWriter {
    uint32_t s1 = 0, t1 = 255;
    uint32_t low = 0;                     // 9 bits below the emitted ones, in units of the range
    int64_t emitted = 0;                  // bits emitted so far (also counted without `out`)
    std::vector<uint8_t> *out = nullptr;  // one byte per emitted bit; null: count only
    int64_t *ctx_bins = nullptr;          // bins per context, when counted
    CabacCtx ctx[kCabacContexts];
};

// Starts a slice: every context back to its initial model.
void cabac_start(CabacWriter &w, std::vector<uint8_t> *bits, int64_t *ctx_bins = nullptr);

// One bin with a given LPS sub-range and MPS, nothing adapted.
void cabac_put_raw(CabacWriter &w, uint32_t lps, int mps, int bin);

// One bin with context c, which then adapts.
void cabac_put(CabacWriter &w, CabacCtx &c, int bin);

// One bin with the blend of contexts a and b; both adapt.
void cabac_put_blend(CabacWriter &w, CabacCtx &a, CabacCtx &b, int bin);

// One equiprobable bin (signs, flags, escape bits).
inline void cabac_put_fixed(CabacWriter &w, int bin) { cabac_put_raw(w, 255, 0, bin); }

// The bin after every macroblock: 1 ends the slice.
inline void cabac_put_end(CabacWriter &w, int last) { cabac_put_raw(w, 1, 0, last); }

// After the final end bin: emits the bits that place every continuation of
// the data inside the final interval and pads to a byte. Returns the bytes.
std::vector<uint8_t> cabac_finish(CabacWriter &w);

// Bits the slice costs so far, pending halvings included (trial coding).
inline int64_t cabac_cost(const CabacWriter &w) { return w.emitted + w.s1; }

// Context adaptation after coding `bin` with context c.
void cabac_adapt(CabacCtx &c, int bin);

}  // namespace svacenc
