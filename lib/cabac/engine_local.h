// The registers of the arithmetic decoder in locals, for runs of bins (the
// coefficient loop) and for the LPS path of the engine: the common path is
// one compare; the LPS path shifts the window instead of reading bit by bit.
#pragma once

#include "cabac/engine.h"

class SvacCabacLocal {
  public:
    explicit SvacCabacLocal(SvacCabacEngine &e) : e_(e), lo_(e.lo), k_(e.k), a_(e.a), v_(e.v) {}
    SvacCabacLocal(const SvacCabacLocal &) = delete;
    SvacCabacLocal &operator=(const SvacCabacLocal &) = delete;

    ~SvacCabacLocal() {
        e_.lo = lo_;
        e_.k = k_;
        e_.a = a_;
        e_.v = v_;
    }

    // false on the MPS path, true on the LPS path, as svac_cabac_decide.
    [[gnu::always_inline]] bool decide(uint32_t lps) {
        const int32_t q = a_ - static_cast<int32_t>(lps);
        if (SVAC_LIKELY(q > 0)) {
            a_ = q;
            return false;
        }
        lps_path(lps, q);
        return true;
    }

    // The LPS path alone, for a decision known to take it.
    void take_lps(uint32_t lps) { lps_path(lps, a_ - static_cast<int32_t>(lps)); }

    // Start of a slice: the offset is the first nine bits, doubled until it
    // reaches 256; the range fraction is 255.
    void start() {
        lo_ = svac_cabac_byte(e_) << 8;
        lo_ |= svac_cabac_byte(e_);
        k_ = 7;
        refill();
        renormalise(255);
    }

    uint32_t bin(SvacCabacCtx &c) {
        const uint32_t mps = c.mps;
        const bool lps = decide(c.lg_pmps >> 2);
        svac_cabac_update(c, lps);
        return mps ^ lps;
    }

    uint32_t bin2(SvacCabacCtx &a, SvacCabacCtx &b) {
        const uint32_t mps_a = a.mps;
        if (SVAC_LIKELY(mps_a == b.mps)) {
            // Both adapt as the blend does.
            const bool lps = decide((a.lg_pmps + b.lg_pmps) >> 3u);
            svac_cabac_update(a, lps);
            svac_cabac_update(b, lps);
            return mps_a ^ lps;
        }
        const uint32_t mps = a.lg_pmps < b.lg_pmps ? a.mps : b.mps;
        const uint32_t d = a.lg_pmps > b.lg_pmps ? a.lg_pmps - b.lg_pmps : b.lg_pmps - a.lg_pmps;
        const uint32_t lg = 1023 - (d >> 1);
        const uint32_t bin = mps ^ decide(lg >> 2);
        svac_cabac_update(a, bin != a.mps);
        svac_cabac_update(b, bin != b.mps);
        return bin;
    }

    uint32_t fixed(uint32_t lps) { return decide(lps); }

  private:
    static constexpr int kWindow = 54;  // read-ahead bits; the offset may need 10 more

    void refill() {
        const int bytes = (kWindow - k_) >> 3;
        if (SVAC_LIKELY(e_.limit - e_.next >= 8)) {
            uint64_t w;
            __builtin_memcpy(&w, e_.next, 8);
            w = __builtin_bswap64(w);
            lo_ = (lo_ << (8 * bytes)) | (w >> (64 - 8 * bytes));
            e_.next += bytes;
        } else {
            for (int i = 0; i < bytes; i++) lo_ = (lo_ << 8) | svac_cabac_byte(e_);
        }
        k_ += 8 * bytes;
    }

    // a_ + v_ is (value_s - s1) * 256 + t1, so neither s1 nor t1 is kept.
    [[gnu::always_inline]] void lps_path(uint32_t lps, int32_t q) {
        if (k_ < 25) refill();
        const int32_t x = a_ + v_;
        const uint32_t t1 = static_cast<uint32_t>(x) & 255;
        const uint32_t s_flag = t1 < lps;
        uint32_t r = s_flag ? t1 + lps : lps;
        // The offset becomes value_t - t2 = -q. When the range borrowed a
        // shift the offset has not, it takes the next bit first: 2 value_t +
        // bit + 256 - t2, which is -q plus the window's gain from the bit.
        k_ -= static_cast<int>(s_flag) - (x >> 8);
        lo_ += static_cast<uint64_t>(static_cast<int64_t>(-q - v_)) << k_;
        const int n = __builtin_clz(r) - 23;  // doublings that bring r to 256..511
        r <<= n;
        k_ -= n;
        renormalise(r & 255);
    }

    // Offset doublings until it reaches 256: their count is value_s (none
    // when damaged data leaves it at 512 or more). t1 is the new range
    // fraction.
    [[gnu::always_inline]] void renormalise(uint32_t t1) {
        while (SVAC_UNLIKELY(lo_ < 256)) {
            // Nothing but zeros ahead: read more.
            lo_ = (lo_ << 8) | svac_cabac_byte(e_);
            k_ += 8;
        }
        const int top = 55 - __builtin_clzll(lo_);  // highest one less 8
        const int k = top < k_ ? top : k_;
        const int32_t value_s = k_ - k;
        k_ = k;
        lo_ &= (uint64_t{256} << k_) - 1;
        v_ = static_cast<int32_t>(lo_ >> k_);
        a_ = value_s * 256 + static_cast<int32_t>(t1) - v_;
    }

    SvacCabacEngine &e_;
    uint64_t lo_;  // v_, then k_ bits read ahead
    int k_;
    int32_t a_;
    int32_t v_;
};
