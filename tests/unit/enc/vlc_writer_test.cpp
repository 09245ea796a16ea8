// The residual VLC writer: derived table columns and codes worked out by
// hand from the published rows (the round trips check the writer against the
// decoder's separately transcribed tables).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bitwriter.h"
#include "residual_writer.h"
#include "vlc_tables.h"

namespace {

using svacenc::VlcFamily;

std::string bits_of(const svacenc::BitWriter &bw) {
    std::string s;
    for (size_t i = 0; i < bw.bit_count(); i++)
        s.push_back(((bw.bytes()[i / 8] >> (7 - i % 8)) & 1) ? '1' : '0');
    return s;
}

TEST(VlcTables, CodeNumbersSkipTheEndOfBlockCode) {
    const auto intra = svacenc::vlc_family(VlcFamily::Intra);
    ASSERT_EQ(intra.count, 7);
    // intra 0: EOB at 58, codes 0 and 1 are +1/-1 with run 1.
    EXPECT_EQ(intra.tables[0].eob_code, 58);
    EXPECT_EQ(intra.tables[0].level[0], 1);
    EXPECT_EQ(intra.tables[0].level[1], -1);
    EXPECT_EQ(intra.tables[0].run[1], 1);
    // intra 1: EOB at 8; codes 9 and 10 are +-1 with run 4 (the fifth pair).
    EXPECT_EQ(intra.tables[1].level[8], 0);
    EXPECT_EQ(intra.tables[1].level[9], 1);
    EXPECT_EQ(intra.tables[1].level[10], -1);
    EXPECT_EQ(intra.tables[1].run[9], 4);
    EXPECT_EQ(intra.tables[1].code_of[4][1], 9);
    // inter 1: EOB at 2, so pair 1 (1/2) takes codes 3 and 4.
    const auto inter = svacenc::vlc_family(VlcFamily::Inter);
    EXPECT_EQ(inter.tables[1].code_of[2][1], 3);
    EXPECT_EQ(svacenc::vlc_family(VlcFamily::Chroma).count, 5);
}

TEST(VlcTables, TableStepFollowsTheSwitchLimits) {
    // Intra limits 0 1 2 4 7 10 none. In sub-table 0: magnitude 1 goes to
    // sub-table 1, 2 to 2, 3 to 3 (the first limit >= 3 is 4).
    const auto t = svacenc::vlc_family(VlcFamily::Intra).tables;
    EXPECT_EQ(t[0].step[t[0].code_of[1][1]], 1);
    EXPECT_EQ(t[0].step[t[0].code_of[1][2]], 2);
    EXPECT_EQ(t[0].step[t[0].code_of[1][3]], 3);
    // Sub-table 3 (limit 4): magnitude 4 stays, 5 moves one on, 12 three on.
    EXPECT_EQ(t[3].step[t[3].code_of[1][4]], 0);
    EXPECT_EQ(t[3].step[t[3].code_of[1][5]], 1);
    EXPECT_EQ(t[3].step[t[3].code_of[1][12]], 3);
    // The last sub-table never moves; the EOB code has step 0.
    EXPECT_EQ(t[6].step[t[6].code_of[1][26]], 0);
    EXPECT_EQ(t[0].step[58], 0);
}

TEST(VlcTables, LevelBaseIsOneAboveTheLargestRegularMagnitude) {
    const auto t = svacenc::vlc_family(VlcFamily::Intra).tables;
    EXPECT_EQ(t[0].level_base[1], 4);   // 1/1 2/1 3/1
    EXPECT_EQ(t[0].level_base[2], 3);   // 1/2 2/2
    EXPECT_EQ(t[0].level_base[23], 2);  // 1/23 only
    EXPECT_EQ(t[6].level_base[1], 27);
    const auto c = svacenc::vlc_family(VlcFamily::Chroma).tables;
    EXPECT_EQ(c[0].level_base[1], 5);
}

TEST(VlcWriter, SingleCoefficientThenEndOfBlock) {
    // intra 0, k = 2: +1 run 1 is code 0 -> "1" "00"; it moves to intra 1,
    // whose EOB is code 8 -> ue(2) "011" "00".
    svacenc::BitWriter bw;
    const SvacRunLevel p[] = {{1, 1}};
    svacenc::write_block_8x8(bw, VlcFamily::Intra, 1, p);
    EXPECT_EQ(bits_of(bw),
              "100"
              "01100");
}

TEST(VlcWriter, EmptyBlockIsOnlyTheEndOfBlockCode) {
    // chroma 0: EOB is code 58, k = 2 -> ue(14) "0001111" then "10".
    svacenc::BitWriter bw;
    svacenc::write_block_8x8(bw, VlcFamily::Chroma, 0, {});
    EXPECT_EQ(bits_of(bw),
              "0001111"
              "10");
}

TEST(VlcWriter, EscapeCarriesTheExcessOverTheLevelBase) {
    // chroma 0, -5 with run 1: magnitudes up to 4 are regular, so an escape:
    // code 59 (odd: negative) -> ue(14) "0001111" + "11"; excess 0 at order
    // 0 -> "1". 5 exceeds every limit up to chroma 3 (4): chroma 4, whose
    // EOB is code 0 at k = 0 -> "1".
    svacenc::BitWriter bw;
    const SvacRunLevel p[] = {{1, -5}};
    svacenc::write_block_8x8(bw, VlcFamily::Chroma, 0, p);
    EXPECT_EQ(bits_of(bw),
              "000111111"
              "1"
              "1");
    // The positive level takes the even code 60 -> ue(15) "000010000" + "00";
    // excess 2 at order 1 -> ue(1) "010" + "0".
    svacenc::BitWriter pos;
    const SvacRunLevel q[] = {{1, 7}};
    svacenc::write_block_8x8(pos, VlcFamily::Chroma, 1, q);
    EXPECT_EQ(bits_of(pos),
              "00001000000"
              "0100"
              "1");
}

TEST(VlcWriter, EscapeWithRunBeyondMaxRunUsesBaseOne) {
    // intra 0 has max_run 23: run 24, +1 escapes with code 59 + 46 + 1 = 106
    // -> ue(26) "000011011" + "10"; excess 0 at order 1 -> "1" "0". The
    // magnitude 1 exceeds the limit 0: on to intra 1, EOB code 8 -> "01100".
    svacenc::BitWriter bw;
    const SvacRunLevel p[] = {{24, 1}};
    svacenc::write_block_8x8(bw, VlcFamily::Intra, 1, p);
    EXPECT_EQ(bits_of(bw),
              "00001101110"
              "10"
              "01100");
}

TEST(VlcWriter, FourByFourEscapesUseOrderOne) {
    // intra 0, run 16 (max_run 23, level_base[16] = 2): +2 escapes with code
    // 59 + 30 + 1 = 90 -> ue(22) "000010111" + "10"; excess 0 at order 1
    // -> "10"; 2 moves to intra 2 (limit 2), EOB code 8 -> "01100".
    svacenc::BitWriter bw;
    const SvacRunLevel p[] = {{16, 2}};
    svacenc::write_block_4x4(bw, p);
    EXPECT_EQ(bits_of(bw),
              "00001011110"
              "10"
              "01100");
}

TEST(CbpCodes, PatternsAndCodesAreOneToOne) {
    // Worked entries of the published columns.
    EXPECT_EQ(svacenc::intra_cbp_code(63), 0);
    EXPECT_EQ(svacenc::intra_cbp_code(0), 4);
    EXPECT_EQ(svacenc::intra_cbp_code(57), 63);
    EXPECT_EQ(svacenc::inter_cbp_code(0), 0);
    EXPECT_EQ(svacenc::inter_cbp_code(38), 63);
    EXPECT_EQ(svacenc::intra_cbp4_code(15), 0);
    EXPECT_EQ(svacenc::intra_cbp4_code(0), 1);
    EXPECT_EQ(svacenc::intra_cbp4_code(9), 15);
    EXPECT_EQ(svacenc::inter_cbp4_code(15), 9);
    for (int p = 0; p < 64; p++) EXPECT_EQ(svacenc::intra_cbp_of_code(svacenc::intra_cbp_code(p)), p);
    for (int p = 0; p < 16; p++) EXPECT_EQ(svacenc::intra_cbp4_of_code(svacenc::intra_cbp4_code(p)), p);
}

}  // namespace
