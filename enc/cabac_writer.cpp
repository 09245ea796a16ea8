#include "cabac_writer.h"

#include <algorithm>
#include <cstdlib>

namespace svacenc {

namespace {

// The unit of the range halves: the top bit of `low` leaves the register.
void shift(CabacWriter &w) {
    w.low <<= 1;
    const uint8_t bit = static_cast<uint8_t>(w.low >> 9);
    w.low &= 511;
    w.emitted++;
    if (w.out) w.out->push_back(bit);
}

// `low` passed 1.0 in the register's scale: add one to the emitted bits.
// The interval never leaves [0, 1), so a 0 is always found.
void carry(CabacWriter &w) {
    w.low -= 512;
    if (!w.out) return;
    size_t j = w.out->size();
    while (j > 0 && (*w.out)[j - 1] == 1) (*w.out)[--j] = 0;
    if (j > 0) (*w.out)[j - 1] = 1;
}

}  // namespace

void cabac_start(CabacWriter &w, std::vector<uint8_t> *bits, int64_t *ctx_bins) {
    w = CabacWriter{};
    w.out = bits;
    w.ctx_bins = ctx_bins;
}

// The more probable symbol takes the lower part of the interval: coding it
// leaves `low` alone and shrinks the range (borrowing a pending halving when
// the fraction is too small). The less probable one moves `low` past the
// MPS part, takes the LPS range and renormalises it to 256..511.
void cabac_put_raw(CabacWriter &w, uint32_t lps, int mps, int bin) {
    const uint32_t s_flag = w.t1 < lps ? 1 : 0;
    const uint32_t t2 = s_flag ? w.t1 + 256 - lps : w.t1 - lps;
    const uint32_t s2 = w.s1 + s_flag;
    if (bin == mps) {
        w.s1 = s2;
        w.t1 = t2;
        return;
    }
    uint32_t r = s_flag ? w.t1 + lps : lps;
    for (uint32_t i = 0; i < s2; i++) shift(w);
    w.low += 256 + t2;
    if (w.low >= 512) carry(w);
    while (r < 256) {
        r <<= 1;
        shift(w);
    }
    w.s1 = 0;
    w.t1 = r & 255;
}

void cabac_adapt(CabacCtx &c, int bin) {
    const int shift_by = c.cycno <= 1 ? 3 : c.cycno == 2 ? 4 : 5;
    if (bin == c.mps) {
        if (c.cycno == 0) c.cycno = 1;
        c.lg_pmps =
            static_cast<uint16_t>(c.lg_pmps - (c.lg_pmps >> shift_by) - (c.lg_pmps >> (shift_by + 2)));
        return;
    }
    c.cycno = static_cast<uint8_t>(std::min(c.cycno + 1, 3));
    const int sum = c.lg_pmps + (shift_by == 3 ? 197 : shift_by == 4 ? 95 : 46);
    if (sum >= 1024) {
        c.lg_pmps = static_cast<uint16_t>(2047 - sum);
        c.mps ^= 1;
    } else {
        c.lg_pmps = static_cast<uint16_t>(sum);
    }
}

void cabac_put(CabacWriter &w, CabacCtx &c, int bin) {
    cabac_put_raw(w, c.lg_pmps >> 2, c.mps, bin);
    cabac_adapt(c, bin);
    if (w.ctx_bins) w.ctx_bins[&c - w.ctx]++;
}

void cabac_put_blend(CabacWriter &w, CabacCtx &a, CabacCtx &b, int bin) {
    int mps, lg;
    if (a.mps == b.mps) {
        mps = a.mps;
        lg = (a.lg_pmps + b.lg_pmps) >> 1;
    } else {
        mps = a.lg_pmps < b.lg_pmps ? a.mps : b.mps;
        lg = 1023 - (std::abs(a.lg_pmps - b.lg_pmps) >> 1);
    }
    cabac_put_raw(w, static_cast<uint32_t>(lg >> 2), mps, bin);
    cabac_adapt(a, bin);
    cabac_adapt(b, bin);
    if (w.ctx_bins) w.ctx_bins[&a - w.ctx]++, w.ctx_bins[&b - w.ctx]++;
}

// The final range is 256 units: a value rounded up to 128 units, followed by
// anything at all, stays inside it. Two more bits reach that precision.
std::vector<uint8_t> cabac_finish(CabacWriter &w) {
    w.low += 127;
    if (w.low >= 512) carry(w);
    w.low &= 384;
    shift(w);
    shift(w);
    std::vector<uint8_t> bytes;
    if (!w.out) return bytes;
    std::vector<uint8_t> &bits = *w.out;
    while (bits.size() % 8) bits.push_back(0);
    bytes.resize(bits.size() / 8);
    for (size_t i = 0; i < bits.size(); i++)
        bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] | bits[i] << (7 - i % 8));
    return bytes;
}

}  // namespace svacenc
