// Scalable streams: regions mapped onto the enhancement layer, the
// upsampled base picture at every macroblock position (edge extension at
// the corners), and hand-built two-layer streams with missing base pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decoder/stepping.h"
#include "decoder/svc_roi.h"
#include "dsp/dsp_init.h"
#include "host_decoder.h"
#include "recon/intra_recon.h"
#include "syntax_writer.h"

namespace {

using svacenc::BitWriter;
using svactest::HostDecoder;
using Bytes = std::vector<uint8_t>;

// Sequence and picture set of a scalable stream, base layer mb_w x mb_h.
Bytes scalable_sets(int mb_w, int mb_h, std::vector<svactest::RoiRect> rects = {}) {
    svactest::SpsSyntax sps;
    sps.mb_width_minus1 = static_cast<uint32_t>(mb_w - 1);
    sps.mb_height_minus1 = static_cast<uint32_t>(mb_h - 1);
    sps.svc = true;
    sps.roi = !rects.empty();
    svactest::PpsSyntax pps;
    pps.roi = pps.svc = sps.roi;
    pps.num_roi = static_cast<uint32_t>(rects.size());
    pps.rects = rects;
    pps.fixed_qp = false;
    Bytes s;
    svactest::add_nal(s, svacenc::NAL_SPS, svactest::write_sps(sps));
    svactest::add_nal(s, svacenc::NAL_PPS, svactest::write_pps(pps));
    return s;
}

// Regions given in base macroblocks cover the same area in the enhancement
// layer; where they overlap the lower index wins.
TEST(Regions, MappedOntoTheEnhancementLayer) {
    HostDecoder d;
    // 11 x 9 base macroblocks; region 1 overlaps region 0, region 2 is the
    // single macroblock (0, 0).
    d.decode(scalable_sets(11, 9, {{12, 36}, {24, 60}, {0, 0}}));
    SvacDecoder *dec = d.state();
    dec->cur_sps = &dec->sps[0];
    dec->cur_pps = &dec->pps[0];
    dec->mb_width = 11, dec->mb_height = 9, dec->width = 176, dec->height = 144;
    dec->nal_unit_type = 4;
    VQ_SVACDEC_init_svc_roi(dec);
    EXPECT_EQ(dec->mb_width, 22);
    EXPECT_EQ(dec->cur_pps->roi_first_mb_el[2], 0);
    EXPECT_EQ(dec->cur_pps->roi_last_mb_el[2], 23);
    // Region 0 is (1, 1)..(3, 3), region 1 (2, 2)..(5, 5).
    auto base_region = [](int x, int y) {
        if (x >= 1 && x <= 3 && y >= 1 && y <= 3) return 0;
        if (x >= 2 && x <= 5 && y >= 2 && y <= 5) return 1;
        return x == 0 && y == 0 ? 2 : -1;
    };
    for (int y = 0; y < 18; y++)
        for (int x = 0; x < 22; x++)
            ASSERT_EQ(VQ_SVACDEC_get_roi_idx_of_mb(dec, 22 * y + x), base_region(x / 2, y / 2)) << x << " " << y;
}

int filter4(int a, int b, int c, int d, int max) { return std::clamp((9 * (b + c) - a - d + 8) >> 4, 0, max); }

// Sample (ex, ey) of the enhancement prediction, from a base plane whose
// edges repeat outwards.
template <typename P>
int upsampled(const SvacFrame *f, int plane, int pw, int ph, int ex, int ey, int max) {
    auto s = [&](int c, int r) {
        r = std::clamp(r, 0, ph - 1), c = std::clamp(c, 0, pw - 1);
        return static_cast<int>(reinterpret_cast<const P *>(f->plane[plane] + r * f->stride[plane])[c]);
    };
    const int r = ey / 2;
    auto col = [&](int c) { return ey % 2 ? filter4(s(c, r - 1), s(c, r), s(c, r + 1), s(c, r + 2), max) : s(c, r); };
    const int c = ex / 2;
    return ex % 2 ? filter4(col(c - 1), col(c), col(c + 1), col(c + 2), max) : col(c);
}

// Every macroblock of the enhancement picture over a base picture of 2 x 2
// macroblocks: the corners extend the base picture, inner positions read
// it, with strides counted in samples for 16-bit samples too. Samples at
// 0 and the maximum make the filters clip.
template <typename P>
void check_inter_layer(int format) {
    const bool is422 = format % 100 == 3;
    const int depth = format > 100 ? 2 : 0, max = depth ? 1023 : 255;
    SvacFramePool pools[2] = {};
    SvacFrame *base = VQ_SVACDEC_frame_get(&pools[0], 32, 32, format);
    SvacFrame *enh = VQ_SVACDEC_frame_get(&pools[1], 64, 64, format);
    std::mt19937 rng(format);
    const int ch = is422 ? 32 : 16;
    for (int p = 0; p < 3; p++)
        for (int y = 0; y < (p ? ch : 32); y++)
            for (int x = 0; x < (p ? 16 : 32); x++)
                reinterpret_cast<P *>(base->plane[p] + y * base->stride[p])[x] =
                    static_cast<P>(rng() % 3 ? rng() % (max + 1) : rng() % 2 * max);
    SvacReconCtx ctx{};
    ctx.bit_depth_idx = depth;
    ctx.chroma_format_idc = is422 ? 2 : 1;
    ctx.base_frame = base;
    SvacMacroblock mb{};
    mb.svc_mode_flag = 1;
    mb.stride_y = static_cast<uint32_t>(enh->stride[0]);
    mb.stride_c = static_cast<uint32_t>(enh->stride[1]);
    for (int my = 0; my < 4; my++)
        for (int mx = 0; mx < 4; mx++) {
            mb.mb_x = mx, mb.mb_y = my;
            mb.dst_y = enh->plane[0] + 16 * my * enh->stride[0] + 16 * mx * sizeof(P);
            mb.dst_u = enh->plane[1] + (is422 ? 16 : 8) * my * enh->stride[1] + 8 * mx * sizeof(P);
            mb.dst_v = enh->plane[2] + (is422 ? 16 : 8) * my * enh->stride[2] + 8 * mx * sizeof(P);
            svac_recon_fns(depth)->intra(ctx, &mb, 1);
        }
    for (int p = 0; p < 3; p++)
        for (int y = 0; y < (p ? 2 * ch : 64); y++)
            for (int x = 0; x < (p ? 32 : 64); x++)
                ASSERT_EQ(reinterpret_cast<const P *>(enh->plane[p] + y * enh->stride[p])[x],
                          upsampled<P>(base, p, p ? 16 : 32, p ? ch : 32, x, y, max))
                    << "format " << format << " plane " << p << " x " << x << " y " << y;
    VQ_SVACDEC_frame_put(&base);
    VQ_SVACDEC_frame_put(&enh);
    for (SvacFramePool &pool : pools) VQ_SVACDEC_frame_pool_uninit(&pool);
}

TEST(InterLayer, EveryPositionIncludingTheCorners) {
    svac_kernels_init(0);
    check_inter_layer<uint8_t>(SVAC_FMT_420);
    check_inter_layer<uint16_t>(SVAC_FMT_422_10);
}

// A slice of `mbs` macroblocks of one layer: 8x8 intra with every block
// coded by an end-of-block code only; enhancement macroblocks take the
// upsampled base picture, base ones the constant 128.
Bytes flat_slice(bool enhancement, int frame_num, int mbs, int first_mb = 0) {
    svacenc::SeqParams sps;
    sps.svc = true;
    svacenc::PicParams pps;
    svacenc::SliceHeader sh;
    sh.frame_num = frame_num;
    sh.keyframe = true;
    sh.first_mb = first_mb;
    BitWriter bw;
    svacenc::write_slice_header(bw, sh, pps, sps);
    for (int i = 0; i < mbs; i++) {
        if (!enhancement) {
            svactest::flat_mb(bw);
            continue;
        }
        bw.put_ue(1);
        bw.put1(true);
        bw.put_se(0);
        for (int b = 0; b < 6; b++) {
            bw.put_ue(58 >> 2);  // end of block
            bw.put(58 & 3, 2);
        }
    }
    Bytes s;
    svactest::add_nal(s, enhancement ? 4 : 2, bw);
    return s;
}

bool all_samples(const SvacDecOutput &out, int v) {
    for (int p = 0; p < 3; p++)
        for (int y = 0; y < (p ? out.height / 2 : out.height); y++)
            for (int x = 0; x < (p ? out.width / 2 : out.width); x++)
                if (out.plane[p][y * out.stride[p] + x] != v) return false;
    return true;
}

// Base 1 x 2 macroblocks, enhancement 2 x 4. Each layer hands out its own
// pictures; the layer mask excludes slices with -2; an enhancement picture
// without its base picture reports every inter-layer macroblock, keeps the
// frame's zeroed samples, and the next pair decodes exactly. A base picture
// whose slices are split by an enhancement slice still completes.
TEST(ScalableStream, LayersMasksAndMissingBasePictures) {
    HostDecoder d;
    Bytes s = scalable_sets(1, 2);
    const Bytes b0 = flat_slice(false, 0, 2);
    s.insert(s.end(), b0.begin(), b0.end());
    d.decode(s);
    ASSERT_EQ(d.out.got_picture, 1);
    EXPECT_EQ(d.out.layer, 0);
    std::string printed;
    d.decode(flat_slice(true, 0, 8), &printed);
    ASSERT_EQ(d.out.got_picture, 1);
    EXPECT_EQ(d.out.layer, 1);
    EXPECT_EQ(d.out.width, 32);
    EXPECT_EQ(d.out.height, 64);
    EXPECT_TRUE(all_samples(d.out, 128));
    EXPECT_EQ(printed, "");

    // No base picture numbered 2 exists; then only the base layer is wanted.
    d.decode(flat_slice(true, 1, 8), &printed);
    EXPECT_EQ(d.out.layer, 1);
    EXPECT_TRUE(all_samples(d.out, 0));
    std::string eight;
    for (int i = 0; i < 8; i++) eight += "can not find base layer picture\n";
    EXPECT_EQ(printed, eight);
    EXPECT_EQ(d.decode(flat_slice(true, 2, 8), 1), -2);
    EXPECT_EQ(d.decode(flat_slice(false, 3, 2), 2), -2);
    for (int layer : {0, 1}) {
        d.decode(flat_slice(layer, 4, 2 + 6 * layer));
        EXPECT_EQ(d.out.layer, layer);
        EXPECT_TRUE(all_samples(d.out, 128)) << layer;
    }

    // Base slice, a whole enhancement picture, the second base slice.
    d.decode(flat_slice(false, 5, 1));
    EXPECT_EQ(d.out.got_picture, 0);
    d.decode(flat_slice(true, 5, 8));
    EXPECT_EQ(d.out.layer, 1);
    EXPECT_EQ(d.decode(flat_slice(false, 5, 1, 1)), static_cast<int32_t>(flat_slice(false, 5, 1, 1).size()));
    EXPECT_EQ(d.out.layer, 0);
    EXPECT_TRUE(all_samples(d.out, 128));
}

}  // namespace
