// Random mode must reach the rare paths, or the round trips never test them:
// a handful of small random streams (intra, inter, arithmetic-coded) together
// use both transform sizes, every predictor (including the ones only edge
// replacement yields), empty and full blocks, escapes, wrapping runs and QP
// deltas, mid-row slices, every QP and filter setting, every P type and
// quarter phase, references outside the picture, skip runs ending slices
// and pictures, every arithmetic-coding context and the long value classes,
// every B type and sub-type with direct blocks over intra and inter
// co-located blocks, far symmetric vectors and field reference indices,
// inter-layer macroblocks in every picture corner, and regions: overlapping
// ones, ones at the edges, empty ones (covered by lower indices), passes cut
// into slices, outside passes joining the last region's slice or alone,
// outside macroblocks without data, skip runs reaching into them, and an
// upper-left neighbour whose motion entry is missing.
#include <gtest/gtest.h>

#include "encoder.h"

namespace {

TEST(RandomCoverage, EveryPathIsReached) {
    svacenc::PathStats t;
    auto run = [&](svacenc::EncoderOptions o, int pictures) {
        svacenc::Encoder enc;
        svacenc::encoder_init(enc, o);
        std::vector<uint8_t> stream;
        std::vector<svacenc::Frame> out;
        for (int i = 0; i < pictures; i++) svacenc::encode_picture(enc, nullptr, stream, out);
        svacenc::encode_finish(enc, stream, out);
        // B pictures make the decoder hand out a P picture twice now and then.
        EXPECT_GE(out.size(), static_cast<size_t>(o.svc ? 2 * pictures : pictures));
        svacenc::add_stats(t, enc.stats);
    };
    for (int chroma = 0; chroma < 3; chroma++)
        for (int seed = 1; seed <= 4; seed++) {
            svacenc::EncoderOptions o;
            o.seed = static_cast<uint64_t>(seed * 10 + chroma);
            o.width = 80;
            o.height = 48;
            o.chroma_format_idc = chroma;
            o.bit_depth = seed % 2 ? 8 : 10;
            run(o, 4);
        }
    for (int seed = 1; seed <= 15; seed++) {
        svacenc::EncoderOptions o;
        o.seed = static_cast<uint64_t>(seed);
        o.width = 64;
        o.height = 48;
        o.chroma_format_idc = seed % 3;
        o.cabac = seed > 6;
        o.bit_depth = seed % 4 ? 8 : 10;
        o.gop = seed > 6 && seed < 10 ? "I" : "IPPP";
        o.field = seed % 2 == 0;
        run(o, 8);
    }
    for (int seed = 1; seed <= 6; seed++) {
        svacenc::EncoderOptions o;
        o.seed = static_cast<uint64_t>(seed + 100);
        o.width = 64;
        o.height = 48;
        o.cabac = seed % 2 == 0;
        o.gop = seed < 5 ? "IBBP" : "IBBPBBI";
        o.field = seed > 2 && seed < 5;
        run(o, 10);
    }
    // Scalable streams: 2 x 2 base macroblocks, every enhancement macroblock
    // at an edge of the picture.
    for (int seed = 1; seed <= 4; seed++) {
        svacenc::EncoderOptions o;
        o.seed = static_cast<uint64_t>(seed);
        o.width = o.height = 64;
        o.chroma_format_idc = seed % 3;
        o.cabac = seed > 2;
        o.gop = seed % 2 ? "IP" : "IPB";
        o.svc = true;
        run(o, 4);
    }
    // Regions of every shape, with and without scalability.
    for (int seed = 1; seed <= 24; seed++) {
        svacenc::EncoderOptions o;
        o.seed = static_cast<uint64_t>(seed);
        o.svc = seed % 3 == 0;
        o.width = o.svc ? 128 : 80;
        o.height = o.svc ? 96 : 48;
        o.cabac = seed % 2 == 0;
        o.gop = seed % 4 ? "IPPP" : "IBBP";
        o.roi = o.roi_random = true;
        run(o, 6);
    }
    for (int64_t n : {t.roi_slices, t.roi_enh_slices, t.roi_split_passes, t.roi_overlaps, t.roi_edge_regions,
                      t.roi_empty_regions, t.roi_outside_joined, t.roi_outside_own, t.roi_outside_skips[0],
                      t.roi_outside_skips[1], t.roi_runs_into_outside, t.roi_lone_corners})
        EXPECT_GT(n, 0);
    EXPECT_GT(t.mb_4x4, 0);
    EXPECT_GT(t.mb_8x8, 0);
    for (int m = 0; m < 8; m++) EXPECT_GT(t.luma_modes[m], 0) << "luma mode " << m;
    for (int m = 0; m < 7; m++) EXPECT_GT(t.chroma_modes[m], 0) << "chroma mode " << m;
    for (int64_t n : {t.cbp_zero,
                      t.cbp_full,
                      t.empty_blocks,
                      t.full_blocks,
                      t.wrapped_blocks,
                      t.escapes,
                      t.qp_wraps,
                      t.slices_mid_row,
                      t.slices_fixed_qp,
                      t.slices_lf_disabled,
                      t.slices_lf_override,
                      t.intra_in_p,
                      t.ref1_partitions,
                      t.single_ref_slices,
                      t.two_bit_ref_slices,
                      t.outside_partly,
                      t.outside_fully,
                      t.skip_runs_at_slice_end,
                      t.skip_runs_to_picture_end,
                      t.field_pictures,
                      t.cabac_long_skip_flags,
                      t.cabac_full_blocks,
                      t.intra_in_b,
                      t.b_direct_col[0],
                      t.b_direct_col[1],
                      t.b_bi_blocks,
                      t.b_sym_far,
                      t.b_field_ref_slices,
                      t.inter_layer_coded,
                      t.inter_layer_long_flags,
                      t.enh_plain_intra})
        EXPECT_GT(n, 0);
    for (int k = 0; k < 24; k++) EXPECT_GT(t.b_types[k], 0) << "B type " << k + 7;
    for (int k = 0; k < 4; k++) EXPECT_GT(t.b_sub_types[k], 0) << "B sub-type " << k;
    EXPECT_LT(t.slices_fixed_qp, t.slices);
    for (int k = 0; k < 5; k++) EXPECT_GT(t.p_types[k], 0) << "P type " << k;
    for (int k = 0; k < 16; k++) EXPECT_GT(t.phases[k], 0) << "phase " << k;
    for (int k = 0; k < 4; k++) EXPECT_GT(t.inter_layer_corners[k], 0) << "corner " << k;
    EXPECT_GE(t.longest_skip_run, 12);  // a whole picture of 4 x 3 macroblocks
    // Every context codes bins (the second reference-index bin context only
    // serves indices above 1, which two references never need).
    for (int c = 0; c < 64; c++) {
        if (c == 35) continue;
        EXPECT_GT(t.cabac_ctx_bins[c], 0) << "context " << c;
    }
    for (int g : {64, 131, 198, 265})
        for (int i = 1; i < 67; i++)
            EXPECT_GT(t.cabac_ctx_bins[g + i], 0) << "group " << g << " context " << i;
    for (int k = 0; k < 5; k++) EXPECT_GT(t.cabac_mvd_classes[k], 0) << "vector difference class " << k;
    EXPECT_EQ(t.cabac_qp_delta_min, -55);
    EXPECT_EQ(t.cabac_qp_delta_max, 55);
    EXPECT_EQ(t.cabac_longest_run, 64);
    EXPECT_GE(t.cabac_largest_level, 1000);
}

}  // namespace

// The decoder hands a B picture out at once and a reference when its number
// follows the last one handed out, else the newest reference: IBP in
// display order, coded I0 P2 B1 P4 B3, comes out as 0, 2, 1, 2, 3 and the
// drain adds 4. A trailing B picture is coded as P.
TEST(GeneratorOutputOrder, FollowsTheDecodersChoice) {
    for (const char *gop : {"IBP", "IBBP"}) {
        svacenc::EncoderOptions o;
        o.width = 32;
        o.height = 32;
        o.gop = gop;
        svacenc::Encoder enc;
        svacenc::encoder_init(enc, o);
        std::vector<uint8_t> stream;
        std::vector<svacenc::Frame> out;
        const int pictures = o.gop == "IBP" ? 5 : 6;
        for (int i = 0; i < pictures; i++) svacenc::encode_picture(enc, nullptr, stream, out);
        svacenc::encode_finish(enc, stream, out);
        std::vector<int> order;
        for (const svacenc::Frame &f : out) order.push_back(f.display);
        const std::vector<int> want =
            o.gop == "IBP" ? std::vector<int>{0, 2, 1, 2, 3, 4} : std::vector<int>{0, 3, 1, 2, 3, 4, 5};
        EXPECT_EQ(order, want) << gop;
    }
}
