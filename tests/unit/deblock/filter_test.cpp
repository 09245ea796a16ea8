// Whole-macroblock deblocking on a synthetic 48x48 picture against the plain
// reference of the edges, their thresholds and their order.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "dsp/dsp_init.h"
#include "recon/deblock.h"
#include "ref_deblock.h"

namespace {

constexpr int kMbs = 3;     // 3x3 macroblocks
constexpr int kMargin = 8;  // samples of 0x99 around each plane

struct PlaneBuf {
    int width = 0, height = 0;  // samples
    ptrdiff_t stride = 0;       // bytes
    bool hbd = false;
    std::vector<uint8_t> bytes;
    void init(int w, int h, bool high) {
        width = w;
        height = h;
        hbd = high;
        stride = (w + 2 * kMargin) * (hbd ? 2 : 1) + 4;
        bytes.assign(static_cast<size_t>(stride) * (h + 2 * kMargin), 0x99);
    }
    // Read access for const pictures goes through the same view.
    refdb::Plane plane() const {
        uint8_t *base = const_cast<uint8_t *>(bytes.data());
        return refdb::Plane{base + kMargin * stride + kMargin * (hbd ? 2 : 1), stride, hbd};
    }
    uint8_t *at(int x, int y) { return plane().origin + y * stride + x * (hbd ? 2 : 1); }
};

struct Picture {
    PlaneBuf y, u, v;
    int chroma_format = 1;
    bool hbd = false;
    int cw() const { return chroma_format ? 8 : 0; }
    int ch() const { return chroma_format == 2 ? 16 : (chroma_format ? 8 : 0); }
    void init(int cf, bool high) {
        chroma_format = cf;
        hbd = high;
        y.init(16 * kMbs, 16 * kMbs, high);
        u.init(cw() * kMbs, ch() * kMbs, high);
        v.init(cw() * kMbs, ch() * kMbs, high);
    }
    bool operator==(const Picture &o) const {
        return y.bytes == o.y.bytes && u.bytes == o.u.bytes && v.bytes == o.v.bytes;
    }
};

// Blocky content: 4x4 patches of a level plus small noise, so most block
// edges carry steps around the thresholds; some patches near the extremes.
void fill_blocky(PlaneBuf &pb, std::mt19937 &rng) {
    const int maxv = pb.hbd ? 1023 : 255;
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const refdb::Plane pl = pb.plane();
    for (int by = 0; by < pb.height; by += 4) {
        for (int bx = 0; bx < pb.width; bx += 4) {
            int level;
            switch (uni(0, 7)) {
                case 0:
                    level = uni(0, 4);
                    break;
                case 1:
                    level = maxv - uni(0, 4);
                    break;
                default:
                    level = uni(0, maxv);
            }
            const int noise = uni(0, 3);
            for (int y = by; y < by + 4; y++)
                for (int x = bx; x < bx + 4; x++)
                    pl.set(x, y, refdb::limit(0, maxv, level + uni(-noise, noise)));
        }
    }
    // Smooth the levels towards their neighbours now and then so steps stay small.
    for (int y = 0; y < pb.height; y++)
        for (int x = 1; x < pb.width; x++)
            if (uni(0, 2)) pl.set(x, y, (pl.get(x, y) + 3 * pl.get(x - 1, y) + 2) / 4);
}

// A random record for macroblock (mx, my): types, quantisers, patterns and
// motion entries (3 and 4 quarter samples apart both occur), offsets mostly
// small, now and then a neighbour hidden by a slice start.
SvacFilterParams record_for(Picture &pic, int mx, int my, int kind, std::mt19937 &rng) {
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto type = [&]() {
        if (kind == 0 || uni(0, 3) == 0) return static_cast<uint32_t>(uni(0, 1));
        return static_cast<uint32_t>(kind == 1 ? uni(2, 6) : uni(7, 30));
    };
    auto qp = [&]() { return static_cast<uint32_t>(uni(0, 4) ? uni(16, 55) : uni(0, 55)); };
    auto cbp = [&]() { return static_cast<uint32_t>(uni(0, 2) ? 0 : uni(0, 255)); };
    SvacFilterParams p = {};
    p.dst_y = pic.y.at(16 * mx, 16 * my);
    p.dst_u = pic.u.at(pic.cw() * mx, pic.ch() * my);
    p.dst_v = pic.v.at(pic.cw() * mx, pic.ch() * my);
    p.neighbour_flags = (mx > 0 && uni(0, 7) ? 1u : 0u) | (my > 0 && uni(0, 7) ? 2u : 0u);
    p.mb_type = type();
    p.prev_type = type();
    p.top_type = type();
    p.qp = qp();
    p.prev_qp = qp();
    p.top_qp = qp();
    p.cbp = cbp();
    p.prev_cbp = cbp();
    p.top_cbp = cbp();
    p.lf_disable_flag = uni(0, 30) == 0;
    p.stride_y = static_cast<uint32_t>(pic.y.stride);
    p.stride_c = static_cast<uint32_t>(pic.u.stride);
    p.chroma_format_idc = static_cast<uint32_t>(pic.chroma_format);
    p.bit_depth_idx = pic.hbd ? 2 : 0;
    p.lf_alpha_offset = uni(0, 9) ? uni(-6, 6) : uni(-100, 100);
    p.lf_beta_offset = uni(0, 9) ? uni(-6, 6) : uni(-100, 100);
    p.mb_x = mx;
    p.mb_y = my;
    const SvacMvEntry base{static_cast<int16_t>(uni(-6, 6)), static_cast<int16_t>(uni(-6, 6)), 1, 0, 0, 0};
    for (SvacMvEntry &e : p.mv_cache) {
        e = base;
        if (uni(0, 2)) continue;
        e.mv_x = static_cast<int16_t>(uni(-6, 6));
        e.mv_y = static_cast<int16_t>(uni(-6, 6));
        e.ref_idx = static_cast<int16_t>(uni(0, 4) ? 0 : 1);
    }
    return p;
}

class DeblockPicture : public ::testing::Test {
  protected:
    void SetUp() override { VQ_SVACDEC_loopfilter_init(0); }
};

TEST_F(DeblockPicture, MatchesReferenceMacroblockByMacroblock) {
    const uint32_t seed = std::random_device{}();
    std::printf("deblock picture seed %u\n", seed);
    int filtered = 0;
    for (uint32_t s : {1u, seed}) {
        std::mt19937 rng(s);
        for (int round = 0; round < 150; round++) {
            for (int cf = 0; cf <= 2; cf++) {
                for (bool hbd : {false, true}) {
                    Picture got;
                    got.init(cf, hbd);
                    fill_blocky(got.y, rng);
                    if (cf) {
                        fill_blocky(got.u, rng);
                        fill_blocky(got.v, rng);
                    }
                    Picture want = got;
                    for (int my = 0; my < kMbs; my++) {
                        for (int mx = 0; mx < kMbs; mx++) {
                            std::mt19937 rec_rng = rng;
                            const SvacFilterParams pg = record_for(got, mx, my, round % 3, rec_rng);
                            const SvacFilterParams pw = record_for(want, mx, my, round % 3, rng);
                            const Picture before = got;
                            VQ_SVACDEC_svac_filter(&pg);
                            const SvacDeblockStrengths st = svac_deblock_strengths(pw);
                            const int bs[10] = {st.left[0], st.left[1],  st.vert[0],  st.vert[1], st.top[0],
                                                st.top[1],  st.horiz[0], st.horiz[1], st.grid[0], st.grid[1]};
                            refdb::filter_mb(pw, bs);
                            if (!(got == before)) filtered++;
                            ASSERT_TRUE(got == want)
                                << "seed " << s << " round " << round << " chroma " << cf << " 10-bit " << hbd
                                << " mb " << mx << "," << my << " type " << pg.mb_type << " qp " << pg.qp
                                << " flags " << pg.neighbour_flags;
                        }
                    }
                }
            }
        }
    }
    // The content must actually exercise the filter.
    EXPECT_GT(filtered, 1000);
}

}  // namespace
