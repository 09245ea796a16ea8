// Random mode must reach the rare paths: a handful of small random streams
// together use both transform sizes, every luma and chroma predictor
// (including the ones only edge replacement yields), empty and full coded
// block patterns and blocks, escapes, wrapping runs, wrapping QP deltas,
// slices starting inside a row, and every QP and filter setting.
#include <gtest/gtest.h>

#include <algorithm>

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

// P pictures, frame and field: every P type, intra macroblocks among them,
// both references, both reference index codings, every quarter phase,
// references partly and wholly outside the picture, skip runs ending
// slices and pictures.
TEST(RandomCoverage, EveryInterPathIsReached) {
    svacenc::PathStats t;
    for (int seed = 1; seed <= 6; seed++) {
        svacenc::EncoderOptions o;
        o.seed = static_cast<uint64_t>(seed);
        o.width = 64;
        o.height = 48;
        o.chroma_format_idc = seed % 3;
        o.gop = "IPPP";
        o.field = seed % 2 == 0;
        svacenc::Encoder enc;
        svacenc::encoder_init(enc, o);
        std::vector<uint8_t> stream;
        std::vector<svacenc::Frame> out;
        for (int i = 0; i < 8; i++) svacenc::encode_picture(enc, nullptr, stream, out);
        EXPECT_EQ(out.size(), 8u);
        const svacenc::PathStats &s = enc.stats;
        for (int k = 0; k < 5; k++) t.p_types[k] += s.p_types[k];
        for (int k = 0; k < 16; k++) t.phases[k] += s.phases[k];
        t.intra_in_p += s.intra_in_p;
        t.ref1_partitions += s.ref1_partitions;
        t.single_ref_slices += s.single_ref_slices;
        t.two_bit_ref_slices += s.two_bit_ref_slices;
        t.outside_partly += s.outside_partly;
        t.outside_fully += s.outside_fully;
        t.skip_runs_at_slice_end += s.skip_runs_at_slice_end;
        t.skip_runs_to_picture_end += s.skip_runs_to_picture_end;
        t.longest_skip_run = std::max(t.longest_skip_run, s.longest_skip_run);
        t.field_pictures += s.field_pictures;
    }
    for (int k = 0; k < 5; k++) EXPECT_GT(t.p_types[k], 0) << "P type " << k;
    for (int k = 0; k < 16; k++) EXPECT_GT(t.phases[k], 0) << "phase " << k;
    EXPECT_GT(t.intra_in_p, 0);
    EXPECT_GT(t.ref1_partitions, 0);
    EXPECT_GT(t.single_ref_slices, 0);
    EXPECT_GT(t.two_bit_ref_slices, 0);
    EXPECT_GT(t.outside_partly, 0);
    EXPECT_GT(t.outside_fully, 0);
    EXPECT_GT(t.skip_runs_at_slice_end, 0);
    EXPECT_GT(t.skip_runs_to_picture_end, 0);
    EXPECT_GE(t.longest_skip_run, 12);  // a whole picture of 4 x 3 macroblocks
    EXPECT_EQ(t.field_pictures, 3 * 8);
}

// CABAC slices: every context of I and P slices codes bins (the second
// reference-index bin context only serves indices above 1, which two
// references never need), and the value classes with long or rare codes
// appear: skip values above 1, vector differences of every binarisation
// class, quantiser deltas at both extremes, blocks without an end-of-block
// bin, the longest run.
TEST(RandomCoverage, EveryCabacContextAndValueClassIsReached) {
    svacenc::PathStats t;
    t.cabac_largest_level = 0;
    for (int seed = 1; seed <= 9; seed++) {
        svacenc::EncoderOptions o;
        o.cabac = true;
        o.seed = static_cast<uint64_t>(seed);
        o.width = 64;
        o.height = 48;
        o.chroma_format_idc = seed % 3;
        o.bit_depth = seed % 4 ? 8 : 10;
        o.gop = seed < 4 ? "I" : "IPPP";
        o.field = seed % 2 == 0;
        svacenc::Encoder enc;
        svacenc::encoder_init(enc, o);
        std::vector<uint8_t> stream;
        std::vector<svacenc::Frame> out;
        for (int i = 0; i < 8; i++) svacenc::encode_picture(enc, nullptr, stream, out);
        const svacenc::PathStats &s = enc.stats;
        for (int c = 0; c < 332; c++) t.cabac_ctx_bins[c] += s.cabac_ctx_bins[c];
        for (int k = 0; k < 5; k++) t.cabac_mvd_classes[k] += s.cabac_mvd_classes[k];
        t.cabac_long_skip_flags += s.cabac_long_skip_flags;
        t.cabac_qp_delta_min = std::min(t.cabac_qp_delta_min, s.cabac_qp_delta_min);
        t.cabac_qp_delta_max = std::max(t.cabac_qp_delta_max, s.cabac_qp_delta_max);
        t.cabac_full_blocks += s.cabac_full_blocks;
        t.cabac_longest_run = std::max(t.cabac_longest_run, s.cabac_longest_run);
        t.cabac_largest_level = std::max(t.cabac_largest_level, s.cabac_largest_level);
    }
    for (int c = 0; c < 64; c++) {
        const bool unused = (c >= 7 && c <= 21) || c == 35;  // B, SVC and partition elements
        if (!unused) {
            EXPECT_GT(t.cabac_ctx_bins[c], 0) << "context " << c;
        }
    }
    for (int g : {64, 131, 198, 265})
        for (int i = 1; i < 67; i++) EXPECT_GT(t.cabac_ctx_bins[g + i], 0) << "group " << g << " context " << i;
    for (int k = 0; k < 5; k++) EXPECT_GT(t.cabac_mvd_classes[k], 0) << "vector difference class " << k;
    EXPECT_GT(t.cabac_long_skip_flags, 0);
    EXPECT_EQ(t.cabac_qp_delta_min, -55);
    EXPECT_EQ(t.cabac_qp_delta_max, 55);
    EXPECT_GT(t.cabac_full_blocks, 0);
    EXPECT_EQ(t.cabac_longest_run, 64);
    EXPECT_GE(t.cabac_largest_level, 1000);
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
