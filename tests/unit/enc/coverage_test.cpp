// Random mode must reach the rare paths: a handful of small random streams
// together use both transform sizes, every luma and chroma predictor
// (including the ones only edge replacement yields), empty and full coded
// block patterns and blocks, escapes, wrapping runs, wrapping QP deltas,
// slices starting inside a row, and every QP and filter setting.
#include <gtest/gtest.h>

#include "encoder.h"

namespace {

TEST(RandomCoverage, EveryIntraPathIsReached) {
    svacenc::PathStats total;
    for (int chroma = 0; chroma < 3; chroma++) {
        for (int seed = 1; seed <= 4; seed++) {
            svacenc::EncoderOptions o;
            o.seed = static_cast<uint64_t>(seed * 10 + chroma);
            o.width = 80;
            o.height = 48;
            o.chroma_format_idc = chroma;
            o.bit_depth = seed % 2 ? 8 : 10;
            svacenc::Encoder enc;
            svacenc::encoder_init(enc, o);
            std::vector<uint8_t> stream;
            std::vector<svacenc::Frame> out;
            for (int i = 0; i < 4; i++) svacenc::encode_picture(enc, nullptr, stream, out);
            EXPECT_EQ(out.size(), 4u);
            const svacenc::PathStats &s = enc.stats;
            total.mb_4x4 += s.mb_4x4;
            total.mb_8x8 += s.mb_8x8;
            for (int m = 0; m < 8; m++) total.luma_modes[m] += s.luma_modes[m];
            for (int m = 0; m < 7; m++) total.chroma_modes[m] += s.chroma_modes[m];
            total.cbp_zero += s.cbp_zero;
            total.cbp_full += s.cbp_full;
            total.empty_blocks += s.empty_blocks;
            total.full_blocks += s.full_blocks;
            total.wrapped_blocks += s.wrapped_blocks;
            total.escapes += s.escapes;
            total.qp_wraps += s.qp_wraps;
            total.slices += s.slices;
            total.slices_mid_row += s.slices_mid_row;
            total.slices_fixed_qp += s.slices_fixed_qp;
            total.slices_lf_disabled += s.slices_lf_disabled;
            total.slices_lf_override += s.slices_lf_override;
        }
    }
    EXPECT_GT(total.mb_4x4, 0);
    EXPECT_GT(total.mb_8x8, 0);
    for (int m = 0; m < 8; m++) EXPECT_GT(total.luma_modes[m], 0) << "luma mode " << m;
    for (int m = 0; m < 7; m++) EXPECT_GT(total.chroma_modes[m], 0) << "chroma mode " << m;
    EXPECT_GT(total.cbp_zero, 0);
    EXPECT_GT(total.cbp_full, 0);
    EXPECT_GT(total.empty_blocks, 0);
    EXPECT_GT(total.full_blocks, 0);
    EXPECT_GT(total.wrapped_blocks, 0);
    EXPECT_GT(total.escapes, 0);
    EXPECT_GT(total.qp_wraps, 0);
    EXPECT_GT(total.slices_mid_row, 0);
    EXPECT_GT(total.slices_fixed_qp, 0);
    EXPECT_GT(total.slices_lf_disabled, 0);
    EXPECT_GT(total.slices_lf_override, 0);
    EXPECT_LT(total.slices_fixed_qp, total.slices);
}

TEST(RandomCoverage, SameSeedSameStream) {
    svacenc::EncoderOptions o;
    o.seed = 99;
    o.width = 48;
    o.height = 32;
    std::vector<uint8_t> a, b;
    std::vector<svacenc::Frame> out;
    for (std::vector<uint8_t> *s : {&a, &b}) {
        svacenc::Encoder enc;
        svacenc::encoder_init(enc, o);
        for (int i = 0; i < 3; i++) svacenc::encode_picture(enc, nullptr, *s, out);
    }
    EXPECT_EQ(a, b);
    o.seed = 100;
    std::vector<uint8_t> c;
    svacenc::Encoder enc;
    svacenc::encoder_init(enc, o);
    for (int i = 0; i < 3; i++) svacenc::encode_picture(enc, nullptr, c, out);
    EXPECT_NE(a, c);
}

}  // namespace
