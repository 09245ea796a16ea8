// The element writers against element readers written here from the
// element descriptions (bin strings, context increments, the coefficient
// level states), on the reference engine: random values of every element
// with random neighbour values must come back exactly. Until the decoder
// reads CABAC slices this is what checks the binarisations.
#include <gtest/gtest.h>

#include <vector>

#include "cabac_ref_decoder.h"
#include "cabac_syntax.h"
#include "rng.h"

namespace {

using cabac_ref::RefDecoder;
using svacenc::CabacCtx;

struct Reader {
    RefDecoder d;
    CabacCtx c[332];

    int bin(int ctx) { return d.symbol(c[ctx]); }
    // Bins with context `first` then `rest` up to a 1; the number read.
    int count_to_one(int first, int rest) {
        int n = 1;
        for (int ctx = first; !bin(ctx); ctx = rest) n++;
        return n;
    }
    int skip() { return bin(0) ? 0 : count_to_one(1, 1); }
    int type_tail() {
        int k = 1;
        while (!bin(2 + std::min(k, 4))) k++;
        return k;
    }
    int type_i() { return bin(2) ? -1 : type_tail() - 1; }
    int type_p() { return bin(2) ? 5 : type_tail() - 1; }
    int luma_mode() {  // -1: the predicted mode
        if (bin(22)) return -1;
        for (int i = 0; i < 3; i++)
            if (bin(23 + i)) return i + 1;
        return 0;
    }
    int chroma_mode(int inc) {
        if (!bin(26 + inc)) return 0;
        int m = 1;
        while (m < 3 && bin(29)) m++;
        return m;
    }
    int ref(int a, int b) {
        if (bin(30 + a + 2 * b)) return 0;
        if (bin(34)) return 1;
        return 1 + count_to_one(35, 35);
    }
    int mvd(int comp, int left) {
        const int c0 = comp ? 42 : 36;
        if (!bin(c0 + (left < 2 ? 0 : left < 16 ? 1 : 2))) return 0;
        int m;
        if (!bin(c0 + 3)) {
            m = 1;
            while (m < 8 && !bin(m == 1 ? c0 + 4 : c0 + 5)) m++;
        } else {
            int j = 3;
            m = 9;
            while (d.fixed(255)) m += 1 << j++;
            int v = 0;
            for (int i = 0; i < j; i++) v = 2 * v + d.fixed(255);
            m += v;
        }
        return d.fixed(255) ? -m : m;
    }
    int cbp(const svacenc::CbpNeighbours &n) {
        int v = 0;
        for (int k = 0; k < 4; k++) {
            int a = 0, b = 0;
            if (k == 1 || k == 3)
                a = !((v >> (k - 1)) & 1);
            else if (n.left)
                a = !((n.prev_cbp >> (k == 0 ? 1 : 3)) & 1);
            if (k >= 2)
                b = !((v >> (k - 2)) & 1);
            else if (n.top)
                b = !((n.top_cbp >> (k == 0 ? 2 : 3)) & 1);
            v |= bin(48 + a + 2 * b) << k;
        }
        const int a = !n.is422 && n.left && n.prev_cbp > 15, b = !n.is422 && n.top && n.top_cbp > 15;
        if (!bin(52 + a + 2 * b)) return v;
        const int a2 = n.left && n.prev_cbp >= 32 && n.prev_cbp < 48;
        const int b2 = n.top && ((n.top_cbp >> 4) & 15) == 2;
        if (bin(52 + a2 + 2 * b2)) return v + 48;
        return v + (bin(56 + a2 + 2 * b2) ? 32 : 16);
    }
    int qp_delta(int &last) {
        if (!bin(last ? 61 : 60)) return last = 0;
        int k = 1;
        for (int ctx = 62; bin(ctx); ctx = 63) k++;
        return last = k % 2 ? (k + 1) / 2 : -k / 2;
    }
    std::vector<SvacRunLevel> coefficients(int g, bool is4x4) {
        static const int kLimit[5] = {0, 1, 2, 4, 3000};
        std::vector<SvacRunLevel> out;
        int s = 0, p = 0;
        for (;;) {
            int m = bin(g + 7 * s + 1) ? 1 : 1 + count_to_one(g + 7 * s + 2, g + 7 * s + 2);
            const bool neg = d.fixed(255);
            const int f = m == 1 ? 3 : 5;
            const int z = bin(g + 7 * s + f) ? 0 : count_to_one(g + 7 * s + f + 1, g + 7 * s + f + 1);
            out.push_back({static_cast<uint16_t>(z + 1), static_cast<int16_t>(neg ? -m : m)});
            if (m > kLimit[s]) s = m < 3 ? m : m < 5 ? 3 : 4;
            p = std::min(p + z + 1, is4x4 ? 15 : 63);
            if (out.size() == (is4x4 ? 17u : 65u) || d.blend(c[g + 7 * s], c[g + 35 + p / 2])) return out;
        }
    }
};

TEST(CabacElements, RandomValuesComeBackExactly) {
    for (int seed = 1; seed <= 60; seed++) {
        svacenc::Rng rng(static_cast<uint64_t>(seed));
        struct Item {
            int kind, v, a, b;
            svacenc::CbpNeighbours n;
            std::vector<SvacRunLevel> pairs;
        };
        std::vector<Item> items;
        std::vector<uint8_t> bits;
        svacenc::CabacWriter w;
        svacenc::cabac_start(w, &bits);
        int last_w = 0;
        for (int i = 0; i < 400; i++) {
            Item it{rng.range(0, 9), 0, rng.range(0, 1), rng.range(0, 1), {}, {}};
            it.n = {rng.percent(70), rng.percent(70), rng.range(0, 255), rng.range(0, 255), rng.percent(30)};
            switch (it.kind) {
                case 0:
                    it.v = rng.percent(60) ? rng.range(0, 1) : rng.range(2, 40);
                    svacenc::put_skip_flag(w, it.v);
                    break;
                case 1:
                    it.v = rng.range(0, 1);
                    svacenc::put_mb_type_i(w, it.v);
                    break;
                case 2:
                    it.v = rng.range(0, 5);
                    svacenc::put_mb_type_p(w, it.v);
                    break;
                case 3:
                    it.v = rng.range(-1, 3);
                    svacenc::put_luma_mode(w, it.v < 0, it.v < 0 ? 0 : it.v);
                    break;
                case 4:
                    it.v = rng.range(0, 3);
                    it.a = rng.range(0, 2);
                    svacenc::put_chroma_mode(w, it.v, it.a);
                    break;
                case 5:
                    it.v = rng.range(0, 6);
                    svacenc::put_ref_idx(w, it.v, it.a, it.b);
                    break;
                case 6:
                    it.v = rng.percent(50) ? rng.range(-10, 10) : rng.range(-20000, 20000);
                    it.a = rng.range(0, 40);
                    svacenc::put_mvd(w, it.b, it.v, it.a);
                    break;
                case 7:
                    it.v = rng.range(0, 15) | (it.n.is422 ? 0 : rng.range(0, 3) << 4);
                    svacenc::put_cbp(w, it.n, it.v & 15, it.v >> 4);
                    break;
                case 8:
                    it.v = rng.percent(30) ? 0 : rng.range(-55, 55);
                    svacenc::put_qp_delta(w, it.v, last_w);
                    break;
                default: {
                    const bool is4x4 = it.a;
                    const int n = rng.percent(10) ? (is4x4 ? 17 : 65) : rng.range(1, is4x4 ? 17 : 65);
                    for (int k = 0; k < n; k++) {
                        const int m = rng.percent(80) ? rng.range(1, 6) : rng.range(1, 3000);
                        it.pairs.push_back({static_cast<uint16_t>(rng.range(1, is4x4 ? 16 : 64)),
                                            static_cast<int16_t>(rng.percent(50) ? -m : m)});
                    }
                    it.v = svacenc::coeff_group(it.b, rng.percent(50));
                    svacenc::put_coefficients(w, it.v, it.pairs, is4x4);
                }
            }
            items.push_back(it);
        }
        svacenc::cabac_put_end(w, 1);
        Reader r;
        r.d.init(svacenc::cabac_finish(w));
        int last_r = 0;
        for (size_t i = 0; i < items.size(); i++) {
            const Item &it = items[i];
            int got = 0;
            switch (it.kind) {
                case 0:
                    got = r.skip();
                    break;
                case 1:
                    got = r.type_i();
                    break;
                case 2:
                    got = r.type_p();
                    break;
                case 3:
                    got = r.luma_mode();
                    break;
                case 4:
                    got = r.chroma_mode(it.a);
                    break;
                case 5:
                    got = r.ref(it.a, it.b);
                    break;
                case 6:
                    got = r.mvd(it.b, it.a);
                    break;
                case 7:
                    got = r.cbp(it.n);
                    break;
                case 8:
                    got = r.qp_delta(last_r);
                    break;
                default: {
                    const std::vector<SvacRunLevel> p = r.coefficients(it.v, it.a);
                    ASSERT_EQ(p.size(), it.pairs.size()) << "seed " << seed << " item " << i;
                    for (size_t k = 0; k < p.size(); k++) {
                        ASSERT_EQ(p[k].run, it.pairs[k].run) << "seed " << seed << " item " << i;
                        ASSERT_EQ(p[k].level, it.pairs[k].level) << "seed " << seed << " item " << i;
                    }
                    continue;
                }
            }
            ASSERT_EQ(got, it.v) << "seed " << seed << " item " << i << " kind " << it.kind;
        }
        EXPECT_EQ(r.d.end_of_slice(), 1);
    }
}

}  // namespace
