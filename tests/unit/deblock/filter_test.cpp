// Whole-macroblock deblocking on a synthetic 48x48 picture against the plain
// reference, and the picture-level cases of the filter's rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "dsp/dsp_init.h"
#include "ref_deblock.h"
#include "recon/deblock.h"

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
            case 0: level = uni(0, 4); break;
            case 1: level = maxv - uni(0, 4); break;
            default: level = uni(0, maxv);
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

struct MbInfo {
    uint32_t type, qp, cbp;
    SvacMvEntry mv[2][4];  // per list, the four 8x8 blocks in Z order
};

SvacMvEntry random_mv(std::mt19937 &rng) {
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    return SvacMvEntry{static_cast<int16_t>(uni(-6, 6)), static_cast<int16_t>(uni(-6, 6)), 1,
                       static_cast<int16_t>(uni(0, 4) ? 0 : 1), 0, 0};
}

// The motion cache as the decoder loads it: row 0 the blocks above, column 0
// the left macroblock's right blocks, unavailable neighbours marked -1.
void load_cache(SvacFilterParams &p, const std::vector<MbInfo> &mbs, int mx, int my,
                bool left, bool top) {
    auto mb = [&](int x, int y) -> const MbInfo * {
        if (x < 0 || y < 0 || x >= kMbs || y >= kMbs) return nullptr;
        return &mbs[y * kMbs + x];
    };
    for (int list = 0; list < 2; list++) {
        SvacMvEntry *c = p.mv_cache + 12 * list;
        for (int i = 0; i < 12; i++) c[i] = svac_unavail_mv;
        const MbInfo *cur = mb(mx, my);
        c[5] = cur->mv[list][0];
        c[6] = cur->mv[list][1];
        c[9] = cur->mv[list][2];
        c[10] = cur->mv[list][3];
        if (const MbInfo *l = mb(mx - 1, my); l && left) {
            c[4] = l->mv[list][1];
            c[8] = l->mv[list][3];
        }
        if (const MbInfo *t = mb(mx, my - 1); t && top) {
            c[1] = t->mv[list][2];
            c[2] = t->mv[list][3];
        }
        if (const MbInfo *tl = mb(mx - 1, my - 1)) c[0] = tl->mv[list][3];
        if (const MbInfo *tr = mb(mx + 1, my - 1)) c[3] = tr->mv[list][2];
    }
}

SvacFilterParams record_for(Picture &pic, const std::vector<MbInfo> &mbs, int mx, int my,
                            std::mt19937 &rng) {
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    SvacFilterParams p = {};
    const MbInfo &cur = mbs[my * kMbs + mx];
    p.dst_y = pic.y.at(16 * mx, 16 * my);
    p.dst_u = pic.u.at(pic.cw() * mx, pic.ch() * my);
    p.dst_v = pic.v.at(pic.cw() * mx, pic.ch() * my);
    // Slice starts now and then hide a neighbour that exists.
    const bool left = mx > 0 && uni(0, 7) != 0;
    const bool top = my > 0 && uni(0, 7) != 0;
    p.neighbour_flags = (left ? 1u : 0u) | (top ? 2u : 0u) | (uni(0, 1) ? 4u : 0u);
    p.qp = cur.qp;
    p.cbp = cur.cbp;
    p.mb_type = cur.type;
    const MbInfo &prev = mx > 0 ? mbs[my * kMbs + mx - 1] : mbs[static_cast<size_t>(uni(0, 8))];
    const MbInfo &up = my > 0 ? mbs[(my - 1) * kMbs + mx] : mbs[static_cast<size_t>(uni(0, 8))];
    p.prev_qp = prev.qp;
    p.prev_cbp = prev.cbp;
    p.prev_type = prev.type;
    p.top_qp = up.qp;
    p.top_cbp = up.cbp;
    p.top_type = up.type;
    p.lf_disable_flag = uni(0, 30) == 0;
    p.stride_y = static_cast<uint32_t>(pic.y.stride);
    p.stride_c = static_cast<uint32_t>(pic.u.stride);
    p.chroma_format_idc = static_cast<uint32_t>(pic.chroma_format);
    p.bit_depth_idx = pic.hbd ? 2 : 0;
    p.lf_alpha_offset = uni(0, 9) ? uni(-6, 6) : uni(-100, 100);
    p.lf_beta_offset = uni(0, 9) ? uni(-6, 6) : uni(-100, 100);
    p.mb_x = mx;
    p.mb_y = my;
    load_cache(p, mbs, mx, my, left, top);
    return p;
}

std::vector<MbInfo> random_mbs(std::mt19937 &rng, int kind) {
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<MbInfo> mbs(kMbs * kMbs);
    for (MbInfo &m : mbs) {
        const bool intra = kind == 0 || uni(0, 3) == 0;
        if (intra)
            m.type = static_cast<uint32_t>(uni(0, 1));
        else
            m.type = static_cast<uint32_t>(kind == 1 ? uni(2, 6) : uni(7, 30));
        m.qp = static_cast<uint32_t>(uni(0, 4) ? uni(16, 55) : uni(0, 55));
        m.cbp = static_cast<uint32_t>(uni(0, 2) ? 0 : uni(0, 255));
        // Shared motion inside a macroblock most of the time, so differences
        // of 3 and 4 quarter samples both occur.
        const SvacMvEntry base0 = random_mv(rng), base1 = random_mv(rng);
        for (int b = 0; b < 4; b++) {
            m.mv[0][b] = uni(0, 2) ? base0 : random_mv(rng);
            m.mv[1][b] = uni(0, 2) ? base1 : random_mv(rng);
            if (intra) m.mv[0][b] = m.mv[1][b] = svac_intra_mv;
        }
    }
    return mbs;
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
                    const std::vector<MbInfo> mbs = random_mbs(rng, round % 3);
                    for (int my = 0; my < kMbs; my++) {
                        for (int mx = 0; mx < kMbs; mx++) {
                            std::mt19937 rec_rng = rng;
                            const SvacFilterParams pg = record_for(got, mbs, mx, my, rec_rng);
                            const SvacFilterParams pw = record_for(want, mbs, mx, my, rng);
                            const Picture before = got;
                            VQ_SVACDEC_svac_filter(&pg);
                            refdb::filter_mb(pw);
                            if (!(got == before)) filtered++;
                            ASSERT_TRUE(got == want)
                                << "seed " << s << " round " << round << " chroma " << cf
                                << " 10-bit " << hbd << " mb " << mx << "," << my << " type "
                                << pg.mb_type << " qp " << pg.qp << " flags "
                                << pg.neighbour_flags;
                        }
                    }
                }
            }
        }
    }
    // The content must actually exercise the filter.
    EXPECT_GT(filtered, 1000);
}

// Flat 4x4 patches whose levels alternate by 3 across columns and by 2 across
// lines: every block edge carries a step small enough for the lowest
// thresholds (alpha 4, beta 2).
Picture stepped(bool hbd, int cf) {
    Picture pic;
    pic.init(cf, hbd);
    for (PlaneBuf *pb : {&pic.y, &pic.u, &pic.v}) {
        const refdb::Plane pl = pb->plane();
        for (int y = 0; y < pb->height; y++)
            for (int x = 0; x < pb->width; x++)
                pl.set(x, y, 100 + 3 * ((x / 4) % 2) + 2 * ((y / 4) % 2));
    }
    return pic;
}

SvacFilterParams centre_record(Picture &pic, uint32_t type, uint32_t qp) {
    SvacFilterParams p = {};
    p.dst_y = pic.y.at(16, 16);
    p.dst_u = pic.u.at(pic.cw(), pic.ch());
    p.dst_v = pic.v.at(pic.cw(), pic.ch());
    p.neighbour_flags = 1 | 2 | 4 | 8;
    p.qp = p.prev_qp = p.top_qp = qp;
    p.mb_type = p.prev_type = p.top_type = type;
    p.stride_y = static_cast<uint32_t>(pic.y.stride);
    p.stride_c = static_cast<uint32_t>(pic.u.stride);
    p.chroma_format_idc = static_cast<uint32_t>(pic.chroma_format);
    p.bit_depth_idx = pic.hbd ? 2 : 0;
    p.mb_x = p.mb_y = 1;
    for (int i = 0; i < 24; i++) p.mv_cache[i] = SvacMvEntry{8, 4, 1, 0, 0, 0};
    return p;
}

// Whether any luma sample changed in columns x0..x1, lines y0..y1.
bool luma_changed(const Picture &a, const Picture &b, int x0, int x1, int y0, int y1) {
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            if (a.y.plane().get(x, y) != b.y.plane().get(x, y)) return true;
    return false;
}

TEST_F(DeblockPicture, DisableFlagChangesNothing) {
    for (bool hbd : {false, true}) {
        Picture pic = stepped(hbd, 2);
        const Picture before = pic;
        SvacFilterParams p = centre_record(pic, 0, 45);
        p.lf_disable_flag = 1;
        VQ_SVACDEC_svac_filter(&p);
        EXPECT_TRUE(pic == before);
        p.lf_disable_flag = 0;
        VQ_SVACDEC_svac_filter(&p);
        EXPECT_FALSE(pic == before);
    }
}

TEST_F(DeblockPicture, FirstMacroblockFiltersOnlyItsInside) {
    Picture pic = stepped(false, 1);
    Picture before = pic;
    SvacFilterParams p = centre_record(pic, 1, 45);
    p.dst_y = pic.y.at(0, 0);
    p.dst_u = pic.u.at(0, 0);
    p.dst_v = pic.v.at(0, 0);
    p.neighbour_flags = 0;
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(luma_changed(pic, before, 5, 10, 0, 15));  // around column 8
    EXPECT_TRUE(luma_changed(pic, before, 0, 15, 5, 10));  // around line 8
    // I_8X8: no 4x4-grid edges, and no chroma edges inside 4:2:0 blocks.
    EXPECT_FALSE(luma_changed(pic, before, 0, 4, 0, 4));
    EXPECT_FALSE(luma_changed(pic, before, 11, 15, 11, 15));
    EXPECT_TRUE(pic.u.bytes == before.u.bytes);
    EXPECT_TRUE(pic.v.bytes == before.v.bytes);
    // I_4X4 filters the grid edges too.
    pic = before;
    p.mb_type = 0;
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(luma_changed(pic, before, 2, 5, 0, 15));
    EXPECT_TRUE(luma_changed(pic, before, 11, 13, 0, 15));
}

TEST_F(DeblockPicture, CalmInterMacroblockUntouched) {
    for (uint32_t type : {2u, 6u, 8u, 30u}) {
        Picture pic = stepped(true, 2);
        const Picture before = pic;
        SvacFilterParams p = centre_record(pic, type, 50);
        VQ_SVACDEC_svac_filter(&p);
        EXPECT_TRUE(pic == before) << type;
        // One coded block is enough to filter again.
        p.cbp = 8;
        VQ_SVACDEC_svac_filter(&p);
        EXPECT_FALSE(pic == before) << type;
    }
}

TEST_F(DeblockPicture, LowQuantiserSwitchesEdgesOff) {
    // Intra everywhere: strengths are high, only the thresholds decide.
    Picture pic = stepped(false, 1);
    const Picture before = pic;
    SvacFilterParams p = centre_record(pic, 0, 15);
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(pic == before);
    p.lf_alpha_offset = 10;  // alpha from index 25, beta still from 15
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(pic == before);
    p.lf_beta_offset = 10;
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_FALSE(pic == before);
    // The left edge alone: its quantiser averages in the neighbour's.
    pic = before;
    p = centre_record(pic, 2, 15);
    p.prev_type = 0;
    p.prev_qp = 18;  // (15 + 18 + 1) >> 1 = 17: left edge filtered, inside edges not
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(luma_changed(pic, before, 13, 18, 16, 31));
    EXPECT_FALSE(luma_changed(pic, before, 19, 31, 16, 31));
    p.prev_qp = 16;  // (15 + 16 + 1) >> 1 = 16 still passes, 15 + 15 does not
    pic = before;
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(luma_changed(pic, before, 13, 18, 16, 31));
    p.prev_qp = 15;
    pic = before;
    VQ_SVACDEC_svac_filter(&p);
    EXPECT_TRUE(pic == before);
}

}  // namespace
