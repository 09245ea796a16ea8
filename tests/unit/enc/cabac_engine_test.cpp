// The arithmetic coder against the reference decoding engine: random
// context, blended, fixed-probability and end bins must come back exactly,
// the end bin must read 0 until the last macroblock, and context adaptation
// follows the worked examples.
#include <gtest/gtest.h>

#include <vector>

#include "cabac_ref_decoder.h"
#include "rng.h"

namespace {

using cabac_ref::RefDecoder;
using svacenc::CabacCtx;

TEST(CabacEngine, RandomBinsComeBackExactly) {
    for (int seed = 1; seed <= 300; seed++) {
        svacenc::Rng rng(static_cast<uint64_t>(seed));
        // Each context codes bins of its own skew, so some runs of MPS grow
        // long (many pending shifts) and some contexts flip their MPS.
        int skew[8];
        for (int &s : skew) s = rng.percent(40) ? rng.range(0, 3) : rng.range(0, 100);
        struct Bin {
            int kind, a, b, lps, value;
        };
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
            if (b.kind < 6)
                svacenc::cabac_put(w, ctx[b.a], b.value);
            else if (b.kind < 8)
                svacenc::cabac_put_blend(w, ctx[b.a], ctx[8 + b.b], b.value);
            else if (b.kind < 10)
                svacenc::cabac_put_raw(w, static_cast<uint32_t>(b.lps), 0, b.value);
            else
                svacenc::cabac_put_end(w, b.value);
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
            if (b.kind < 6)
                got = d.symbol(dctx[b.a]);
            else if (b.kind < 8)
                got = d.blend(dctx[b.a], dctx[8 + b.b]);
            else if (b.kind < 10)
                got = d.fixed(static_cast<uint32_t>(b.lps));
            else
                got = d.end_of_slice();
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
