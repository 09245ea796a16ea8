// The arithmetic decoder in a form for long runs of bins (the coefficient
// loop): it decodes exactly what the engine of engine.h decodes, with the
// registers in a shape that makes the common path one compare.
//
// The MPS path is taken when the engine's a exceeds lps and then only
// subtracts, as in the engine. The offset fraction sits in a
// 64-bit window followed by up to 54 bits read ahead, so that the LPS
// path shifts instead of reading bit by bit. Bits read ahead are given
// back when the registers are written back.
#pragma once

#include "cabac/engine.h"

class SvacCabacLocal {
  public:
    explicit SvacCabacLocal(SvacCabacEngine &e) : e_(e) {
        vs_ = static_cast<int32_t>(e.value_s);
        v_ = static_cast<int32_t>(e.value_t);
        a_ = e.a;
        k_ = e.bit_pos;
        lo_ = (static_cast<uint64_t>(e.value_t) << k_) | (e.cur_byte & ((1u << k_) - 1));
    }
    SvacCabacLocal(const SvacCabacLocal &) = delete;
    SvacCabacLocal &operator=(const SvacCabacLocal &) = delete;

    // Writes the registers back and returns the bytes read ahead.
    ~SvacCabacLocal() {
        e_.value_s = static_cast<uint32_t>(vs_);
        e_.value_t = static_cast<uint32_t>(v_);
        e_.a = a_;
        // The window ends on a byte boundary: k_ % 8 bits remain of the byte
        // last read from, then whole unread bytes.
        const int whole = k_ >> 3;
        e_.bit_pos = k_ & 7;
        e_.cur_byte = static_cast<uint32_t>(lo_ >> (8 * whole)) & ((1u << e_.bit_pos) - 1);
        // Bytes read beyond the limit were the last ones read.
        const uint32_t beyond =
            e_.past < static_cast<uint32_t>(whole) ? e_.past : static_cast<uint32_t>(whole);
        e_.past -= beyond;
        e_.next -= whole - static_cast<int>(beyond);
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
    __attribute__((always_inline)) void lps_path(uint32_t lps, int32_t q) {
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
        // Offset doublings until it reaches 256: their count is value_s
        // (none when damaged data leaves it at 512 or more).
        while (SVAC_UNLIKELY(lo_ < 256)) {
            // Nothing but zeros ahead: read more.
            lo_ = (lo_ << 8) | svac_cabac_byte(e_);
            k_ += 8;
        }
        const int top = 55 - __builtin_clzll(lo_);  // highest one less 8
        const int k = top < k_ ? top : k_;
        vs_ = k_ - k;
        k_ = k;
        lo_ &= (uint64_t{256} << k_) - 1;
        v_ = static_cast<int32_t>(lo_ >> k_);
        a_ = vs_ * 256 + static_cast<int32_t>(r & 255) - v_;
    }

    SvacCabacEngine &e_;
    uint64_t lo_;  // value_t, then k_ bits read ahead
    int k_;
    int32_t a_;
    int32_t v_;  // value_t
    int32_t vs_;
};
