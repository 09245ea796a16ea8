// Scalable streams: regions mapped onto the enhancement layer and the
// upsampled base picture at every macroblock position (edge extension at
// the corners).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decoder/stepping.h"
#include "decoder/svc_roi.h"
#include "demo_stream.h"
#include "dsp/dsp_init.h"
#include "host_decoder.h"
#include "recon/intra_recon.h"

namespace {

using svactest::HostDecoder;

// Regions given in base macroblocks cover the same area in the enhancement
// layer; where they overlap the lower index wins.
TEST(Regions, MappedOntoTheEnhancementLayer) {
    HostDecoder d;
    // 11 x 9 base macroblocks; region 1 overlaps region 0, region 2 is the
    // single macroblock (0, 0).
    d.decode(svactest::scalable_parameter_sets(11, 9, {{12, 36}, {24, 60}, {0, 0}}));
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
            ASSERT_EQ(VQ_SVACDEC_get_roi_idx_of_mb(dec, 22 * y + x), base_region(x / 2, y / 2))
                << x << " " << y;
}

int filter4(int a, int b, int c, int d, int max) {
    return std::clamp((9 * (b + c) - a - d + 8) >> 4, 0, max);
}

// Sample (ex, ey) of the enhancement prediction, from a base plane whose
// edges repeat outwards.
template <typename P>
int upsampled(const SvacFrame *f, int plane, int pw, int ph, int ex, int ey, int max) {
    auto s = [&](int c, int r) {
        r = std::clamp(r, 0, ph - 1), c = std::clamp(c, 0, pw - 1);
        return static_cast<int>(reinterpret_cast<const P *>(f->plane[plane] + r * f->stride[plane])[c]);
    };
    const int r = ey / 2;
    auto col = [&](int c) {
        return ey % 2 ? filter4(s(c, r - 1), s(c, r), s(c, r + 1), s(c, r + 2), max) : s(c, r);
    };
    const int c = ex / 2;
    return ex % 2 ? filter4(col(c - 1), col(c), col(c + 1), col(c + 2), max) : col(c);
}

template <typename P>
P &px(SvacFrame *f, int p, int x, int y) {
    return reinterpret_cast<P *>(f->plane[p] + y * f->stride[p])[x];
}

// Every macroblock of the enhancement picture over a base picture of 2 x 2
// macroblocks: the corners extend the base picture, inner positions read
// it, with strides counted in samples for 16-bit samples too. Samples at
// 0 and the maximum make the filters clip.
template <typename P>
void check_inter_layer(int format) {
    const int depth = format > 100 ? 2 : 0, max = depth ? 1023 : 255, ch = format % 100 == 3 ? 32 : 16;
    SvacFramePool pools[2] = {};
    SvacFrame *base = VQ_SVACDEC_frame_get(&pools[0], 32, 32, format);
    SvacFrame *enh = VQ_SVACDEC_frame_get(&pools[1], 64, 64, format);
    std::mt19937 rng(format);
    for (int p = 0; p < 3; p++)
        for (int y = 0; y < (p ? ch : 32); y++)
            for (int x = 0; x < (p ? 16 : 32); x++)
                px<P>(base, p, x, y) = static_cast<P>(rng() % 3 ? rng() % (max + 1) : rng() % 2 * max);
    SvacReconCtx ctx{};
    ctx.bit_depth_idx = depth;
    ctx.chroma_format_idc = ch / 16;
    ctx.base_frame = base;
    SvacMacroblock mb{};
    mb.svc_mode_flag = 1;
    mb.stride_y = static_cast<uint32_t>(enh->stride[0]);
    mb.stride_c = static_cast<uint32_t>(enh->stride[1]);
    for (mb.mb_y = 0; mb.mb_y < 4; mb.mb_y++)
        for (mb.mb_x = 0; mb.mb_x < 4; mb.mb_x++) {
            mb.dst_y = reinterpret_cast<uint8_t *>(&px<P>(enh, 0, 16 * mb.mb_x, 16 * mb.mb_y));
            mb.dst_u = reinterpret_cast<uint8_t *>(&px<P>(enh, 1, 8 * mb.mb_x, ch / 2 * mb.mb_y));
            mb.dst_v = reinterpret_cast<uint8_t *>(&px<P>(enh, 2, 8 * mb.mb_x, ch / 2 * mb.mb_y));
            svac_recon_fns(depth)->intra(ctx, &mb, 1);
        }
    for (int p = 0; p < 3; p++)
        for (int y = 0; y < (p ? 2 * ch : 64); y++)
            for (int x = 0; x < (p ? 32 : 64); x++)
                ASSERT_EQ(px<P>(enh, p, x, y), upsampled<P>(base, p, p ? 16 : 32, p ? ch : 32, x, y, max))
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

}  // namespace
