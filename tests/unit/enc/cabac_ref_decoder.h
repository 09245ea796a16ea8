// A CABAC decoding engine written from the engine's formulas (range and
// offset as a fraction plus pending shifts, bits read most significant
// first, the stop byte and then zero bytes past the data): the independent
// reader that the generator's coder and element writers are checked against.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cabac_writer.h"

namespace cabac_ref {

using svacenc::CabacCtx;

struct RefDecoder {
    std::vector<uint8_t> data;  // the slice data followed by the stop byte
    size_t end = 0, next = 0;
    uint32_t cur = 0;
    int bit_pos = 0;
    uint32_t s1 = 0, t1 = 0, vs = 0, vt = 0;

    uint32_t bit() {
        if (--bit_pos < 0) {
            cur = next < data.size() ? data[next] : 0;
            next++;
            bit_pos = 7;
        }
        return (cur >> bit_pos) & 1;
    }
    void init(const std::vector<uint8_t> &bytes) {
        data = bytes;
        end = bytes.size();
        data.push_back(0x80);
        uint32_t v = (uint32_t(data[0]) << 1) | (data[1] >> 7);
        cur = data[1];
        bit_pos = 7;
        next = 2;
        vs = 0;
        while (v < 256) v = 2 * v + bit(), vs++;
        vt = v & 255;
        s1 = 0;
        t1 = 255;
    }
    // Steps 1..4 of a bin with LPS sub-range lps; true on the MPS path.
    bool decide(uint32_t lps) {
        const uint32_t sf = t1 < lps, t2 = sf ? t1 + 256 - lps : t1 - lps, s2 = s1 + sf;
        if (s2 < vs || (s2 == vs && vt < t2)) {
            s1 = s2;
            t1 = t2;
            return true;
        }
        uint32_t r = sf ? t1 + lps : lps;
        vt = s2 == vs ? vt - t2 : (2 * vt + bit()) + 256 - t2;
        while (r < 256) r *= 2, vt = 2 * vt + bit();
        vs = 0;
        while (vt < 256) vt = 2 * vt + bit(), vs++;
        s1 = 0;
        t1 = r & 255;
        vt &= 255;
        return false;
    }
    static void adapt(CabacCtx &c, int bin) {
        const int sh = c.cycno < 2 ? 3 : c.cycno == 2 ? 4 : 5;
        if (bin == c.mps) {
            c.cycno = c.cycno ? c.cycno : 1;
            c.lg_pmps = uint16_t(c.lg_pmps - (c.lg_pmps >> sh) - (c.lg_pmps >> (sh + 2)));
        } else {
            c.cycno = uint8_t(std::min(c.cycno + 1, 3));
            int sum = c.lg_pmps + (sh == 3 ? 197 : sh == 4 ? 95 : 46);
            if (sum >= 1024) sum = 2047 - sum, c.mps ^= 1;
            c.lg_pmps = uint16_t(sum);
        }
    }
    int symbol(CabacCtx &c) {
        const int b = decide(c.lg_pmps >> 2) ? c.mps : 1 - c.mps;
        adapt(c, b);
        return b;
    }
    int blend(CabacCtx &a, CabacCtx &b) {
        int mps = a.mps, lg = (a.lg_pmps + b.lg_pmps) >> 1;
        if (a.mps != b.mps) {
            mps = a.lg_pmps < b.lg_pmps ? a.mps : b.mps;
            lg = 1023 - (std::abs(a.lg_pmps - b.lg_pmps) >> 1);
        }
        const int bin = decide(uint32_t(lg) >> 2) ? mps : 1 - mps;
        adapt(a, bin);
        adapt(b, bin);
        return bin;
    }
    int fixed(uint32_t lps) { return decide(lps) ? 0 : 1; }
    int end_of_slice() {
        if (!decide(1)) return 1;
        return next > end || (next == end && bit_pos == 0);
    }
};

}  // namespace cabac_ref
