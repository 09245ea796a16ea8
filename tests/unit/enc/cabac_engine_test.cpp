// The arithmetic coder against a decoder written here from the engine's
// formulas (range and offset as fraction plus pending shifts, bits read most
// significant first, zero bytes past the data): random context, blended,
// fixed-probability and end bins must come back exactly, the end bin must
// read 0 until the last macroblock, and context adaptation follows the
// worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "cabac_writer.h"
#include "rng.h"

namespace {

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

TEST(CabacEngine, RandomBinsComeBackExactly) {
    for (int seed = 1; seed <= 300; seed++) {
        svacenc::Rng rng(static_cast<uint64_t>(seed));
        // Each context codes bins of its own skew, so some runs of MPS grow
        // long (many pending shifts) and some contexts flip their MPS.
        int skew[8];
        for (int &s : skew) s = rng.percent(40) ? rng.range(0, 3) : rng.range(0, 100);
        struct Bin { int kind, a, b, lps, value; };
        std::vector<Bin> bins;
        const int mbs = rng.range(1, 30);
        for (int m = 0; m < mbs; m++) {
            const int n = rng.range(0, seed % 5 ? 40 : 3000);
            for (int i = 0; i < n; i++) {
                Bin b{rng.range(0, 9), rng.range(0, 7), rng.range(0, 7), rng.range(1, 255), 0};
                const int k = b.kind < 6 ? b.a : b.kind < 8 ? b.b : 0;
                b.value = rng.range(0, 99) < skew[k];
                if (b.kind == 9) b.lps = rng.percent(50) ? 255 : b.lps;
                bins.push_back(b);
            }
            bins.push_back({10, 0, 0, 1, m == mbs - 1});
        }
        std::vector<uint8_t> bits;
        svacenc::CabacWriter w;
        svacenc::cabac_start(w, &bits);
        CabacCtx *ctx = w.ctx;
        for (const Bin &b : bins) {
            if (b.kind < 6) svacenc::cabac_put(w, ctx[b.a], b.value);
            else if (b.kind < 8) svacenc::cabac_put_blend(w, ctx[b.a], ctx[8 + b.b], b.value);
            else if (b.kind < 10) svacenc::cabac_put_raw(w, static_cast<uint32_t>(b.lps), 0, b.value);
            else svacenc::cabac_put_end(w, b.value);
        }
        const int64_t cost = svacenc::cabac_cost(w);
        const std::vector<uint8_t> bytes = svacenc::cabac_finish(w);
        ASSERT_GE(bytes.size() * 8, static_cast<size_t>(cost)) << "seed " << seed;

        RefDecoder d;
        d.init(bytes);
        CabacCtx dctx[16];
        for (size_t i = 0; i < bins.size(); i++) {
            const Bin &b = bins[i];
            int got;
            if (b.kind < 6) got = d.symbol(dctx[b.a]);
            else if (b.kind < 8) got = d.blend(dctx[b.a], dctx[8 + b.b]);
            else if (b.kind < 10) got = d.fixed(static_cast<uint32_t>(b.lps));
            else got = d.end_of_slice();
            ASSERT_EQ(got, b.value) << "seed " << seed << " bin " << i << " kind " << b.kind;
        }
    }
}

TEST(CabacEngine, AdaptationWorkedExamples) {
    CabacCtx c;
    svacenc::cabac_adapt(c, 1);  // LPS from the initial model: 1023 + 197 folds to 827
    EXPECT_EQ(c.lg_pmps, 827);
    EXPECT_EQ(c.mps, 1);
    EXPECT_EQ(c.cycno, 1);
    svacenc::cabac_adapt(c, 1);  // MPS at stage 1: 827 - 103 - 25
    EXPECT_EQ(c.lg_pmps, 699);
    svacenc::cabac_adapt(c, 0);  // LPS at stage 1: + 197, stage 2
    svacenc::cabac_adapt(c, 0);  // LPS at stage 2: + 95 = 991, stage 3
    EXPECT_EQ(c.lg_pmps, 991);
    EXPECT_EQ(c.cycno, 3);
    svacenc::cabac_adapt(c, 0);  // LPS at stage 3: 991 + 46 = 1037 folds to 1010, MPS flips
    EXPECT_EQ(c.lg_pmps, 1010);
    EXPECT_EQ(c.mps, 0);
    svacenc::cabac_adapt(c, 0);  // MPS at stage 3: 1010 - 31 - 7
    EXPECT_EQ(c.lg_pmps, 972);
}

}  // namespace
