// The arithmetic decoder in a form for long runs of bins (the coefficient
// loop): it decodes exactly what the engine of engine.h decodes, with the
// registers in a shape that makes the common path one compare.
//
// The MPS test (s2 < value_s, or s2 == value_s and value_t < t2) is a sign
// test on a = (value_s - s1) * 256 + t1 - value_t: the MPS path is taken
// when a > lps and then only subtracts. The offset fraction sits in a
// 64-bit window followed by up to 54 bits read ahead, so that the LPS
// path shifts instead of reading bit by bit. Bits read ahead are given
// back when the registers are written back.
#pragma once

#include "cabac/engine.h"

class SvacCabacLocal {
  public:
    explicit SvacCabacLocal(SvacCabacEngine &e) : e_(e) {
        vs_ = static_cast<int32_t>(e.value_s);
        t1_ = e.t1;
        a_ = (vs_ - static_cast<int32_t>(e.s1)) * 256 + static_cast<int32_t>(e.t1) -
             static_cast<int32_t>(e.value_t);
        k_ = e.bit_pos;
        lo_ = (static_cast<uint64_t>(e.value_t) << k_) | (e.cur_byte & ((1u << k_) - 1));
    }
    SvacCabacLocal(const SvacCabacLocal &) = delete;
    SvacCabacLocal &operator=(const SvacCabacLocal &) = delete;

    // Writes the registers back and returns the bytes read ahead.
    ~SvacCabacLocal() {
        const uint32_t value_t = static_cast<uint32_t>(lo_ >> k_) & 255;
        e_.value_s = static_cast<uint32_t>(vs_);
        e_.value_t = value_t;
        e_.t1 = t1_;
        e_.s1 = static_cast<uint32_t>(
            vs_ - ((a_ - static_cast<int32_t>(t1_) + static_cast<int32_t>(value_t)) >> 8));
        // The window ends on a byte boundary: k_ % 8 bits remain of the byte
        // last read from, then whole unread bytes.
        const int whole = k_ >> 3;
        e_.bit_pos = k_ & 7;
        e_.cur_byte = static_cast<uint32_t>(lo_ >> (8 * whole)) & ((1u << e_.bit_pos) - 1);
        // Bytes read beyond the limit were the last ones read.
        for (int i = 0; i < whole; i++) {
            if (e_.past > 0)
                e_.past--;
            else
                e_.next--;
        }
    }

    // false on the MPS path, true on the LPS path, as svac_cabac_decide.
    bool decide(uint32_t lps) {
        const int32_t q = a_ - static_cast<int32_t>(lps);
        if (SVAC_LIKELY(q > 0)) {
            a_ = q;
            t1_ = (t1_ - lps) & 255;
            return false;
        }
        lps_path(lps, q);
        return true;
    }

    uint32_t bin(SvacCabacCtx &c) {
        const uint32_t mps = c.mps;
        const bool lps = decide(c.lg_pmps >> 2);
        svac_cabac_update(c, lps);
        return mps ^ lps;
    }

    uint32_t bin2(SvacCabacCtx &a, SvacCabacCtx &b) {
        uint32_t mps, lg;
        if (a.mps == b.mps) {
            mps = a.mps;
            lg = (a.lg_pmps + b.lg_pmps) >> 1u;
        } else {
            mps = a.lg_pmps < b.lg_pmps ? a.mps : b.mps;
            const uint32_t d = a.lg_pmps > b.lg_pmps ? a.lg_pmps - b.lg_pmps : b.lg_pmps - a.lg_pmps;
            lg = 1023 - (d >> 1);
        }
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

    __attribute__((always_inline)) void lps_path(uint32_t lps, int32_t q) {
        if (k_ < 25) refill();
        const uint32_t s_flag = t1_ < lps;
        uint32_t r = s_flag ? t1_ + lps : lps;
        const uint64_t below = lo_ & ((uint64_t{1} << k_) - 1);
        const int32_t value_t = static_cast<int32_t>(lo_ >> k_);
        uint64_t v;
        if (((a_ - static_cast<int32_t>(t1_) + value_t) >> 8) == static_cast<int32_t>(s_flag)) {
            v = static_cast<uint32_t>(-q);  // as many pending shifts as the range: value_t - t2
        } else {
            // One pending shift more: the offset takes the next bit first.
            const uint32_t t2 = (t1_ - lps) & 255;
            v = (lo_ >> --k_) + 256 - t2;
        }
        lo_ = (v << k_) | (below & ((uint64_t{1} << k_) - 1));
        if (r < 256) {
            const int n = __builtin_clz(r) - 23;  // doublings that bring r to 256..511
            r <<= n;
            k_ -= n;
        }
        // Offset doublings until it reaches 256: their count is value_s.
        int32_t m = 0;
        while ((lo_ >> k_) < 256) {
            if (lo_ >= 256) {
                const int top = 63 - __builtin_clzll(lo_);
                m += 8 + k_ - top;
                k_ = top - 8;
                break;
            }
            // Nothing but zeros ahead: take the whole window and read more.
            m += k_;
            k_ = 0;
            lo_ = (lo_ << 8) | svac_cabac_byte(e_);
            k_ = 8;
        }
        vs_ = m;
        lo_ &= (uint64_t{256} << k_) - 1;
        t1_ = r & 255;
        a_ = vs_ * 256 + static_cast<int32_t>(t1_) - static_cast<int32_t>(lo_ >> k_);
    }

    SvacCabacEngine &e_;
    uint64_t lo_;  // value_t, then k_ bits read ahead
    int k_;
    int32_t a_;
    int32_t vs_;
    uint32_t t1_;
};
