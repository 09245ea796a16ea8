// Bit writer, Exp-Golomb codes and NAL packing against bit strings written
// out by hand from the code definitions.
#include <gtest/gtest.h>

#include <string>

#include "bitwriter.h"
#include "nal_writer.h"
#include "residual_writer.h"

namespace {

std::string bits_of(const svacenc::BitWriter &bw) {
    std::string s;
    for (size_t i = 0; i < bw.bit_count(); i++)
        s.push_back(((bw.bytes()[i / 8] >> (7 - i % 8)) & 1) ? '1' : '0');
    return s;
}

TEST(BitWriter, FixedLengthFieldsAreMostSignificantBitFirst) {
    svacenc::BitWriter bw;
    bw.put(0b101, 3);
    bw.put(0, 0);
    bw.put1(true);
    bw.put(0xA5, 8);
    bw.put(0x80000001u, 32);
    EXPECT_EQ(bits_of(bw), "1011" "10100101" "10000000000000000000000000000001");
    EXPECT_EQ(bw.bit_count(), 44u);
}

TEST(BitWriter, UnsignedExpGolombCodes) {
    // ue(v): n zeros, then the n+1 bits of v+1.
    const struct {
        uint32_t v;
        const char *bits;
    } cases[] = {{0, "1"},       {1, "010"},     {2, "011"},          {3, "00100"},
                 {6, "00111"},   {7, "0001000"}, {14, "0001111"},     {15, "000010000"},
                 {254, "000000011111111"}};
    for (const auto &c : cases) {
        svacenc::BitWriter bw;
        bw.put_ue(c.v);
        EXPECT_EQ(bits_of(bw), c.bits) << "ue(" << c.v << ")";
        EXPECT_EQ(svacenc::ue_bits(c.v), static_cast<int>(std::string(c.bits).size()));
    }
    // The largest value: 32 zeros, then 33 bits of 2^32.
    svacenc::BitWriter bw;
    bw.put_ue(0xFFFFFFFFu);
    EXPECT_EQ(bits_of(bw), std::string(32, '0') + "1" + std::string(32, '0'));
}

TEST(BitWriter, SignedExpGolombCodesAlternateSigns) {
    // se: 0, 1, -1, 2, -2 map to code numbers 0, 1, 2, 3, 4.
    const struct {
        int32_t v;
        const char *bits;
    } cases[] = {{0, "1"}, {1, "010"}, {-1, "011"}, {2, "00100"}, {-2, "00101"}, {-55, "0000001101111"}};
    for (const auto &c : cases) {
        svacenc::BitWriter bw;
        bw.put_se(c.v);
        EXPECT_EQ(bits_of(bw), c.bits) << "se(" << c.v << ")";
    }
}

TEST(BitWriter, KthOrderGolombAppendsTheLowBits) {
    // Order 2: ue(v >> 2) then 2 bits. 59 = 14 * 4 + 3.
    svacenc::BitWriter bw;
    svacenc::put_golomb(bw, 59, 2);
    EXPECT_EQ(bits_of(bw), "0001111" "11");
    svacenc::BitWriter b0;
    svacenc::put_golomb(b0, 5, 0);
    EXPECT_EQ(bits_of(b0), "00110");
    svacenc::BitWriter b3;
    svacenc::put_golomb(b3, 8, 3);  // ue(1), then 000
    EXPECT_EQ(bits_of(b3), "010" "000");
}

TEST(BitWriter, TrailingBitsEndWithTheStopBitAndZeros) {
    svacenc::BitWriter bw;
    bw.put(0b10, 2);
    bw.put_trailing_bits();
    ASSERT_EQ(bw.bytes().size(), 1u);
    EXPECT_EQ(bw.bytes()[0], 0xA0);
    // Already aligned: a whole byte 0x80.
    svacenc::BitWriter aligned;
    aligned.put(0xFF, 8);
    aligned.put_trailing_bits();
    EXPECT_EQ(aligned.bytes(), (std::vector<uint8_t>{0xFF, 0x80}));
}

TEST(NalWriter, HeaderByteFields) {
    svacenc::NalHeader h;
    h.type = svacenc::NAL_SLICE_KEY;
    h.ref = true;
    EXPECT_EQ(svacenc::nal_header_byte(h), 0x48);  // 0 1 0010 0 0
    h.type = svacenc::NAL_PPS;
    h.ref = false;
    h.encrypted = true;
    h.ext = true;
    EXPECT_EQ(svacenc::nal_header_byte(h), 0x23);  // 0 0 1000 1 1
}

TEST(NalWriter, EmulationPreventionAfterTwoZeros) {
    using V = std::vector<uint8_t>;
    EXPECT_EQ(svacenc::add_emulation_prevention(V{0, 0, 1}), (V{0, 0, 3, 1}));
    EXPECT_EQ(svacenc::add_emulation_prevention(V{0, 0, 0, 0}), (V{0, 0, 3, 0, 0, 3}));
    EXPECT_EQ(svacenc::add_emulation_prevention(V{0, 0, 3}), (V{0, 0, 3, 3}));
    EXPECT_EQ(svacenc::add_emulation_prevention(V{0, 0, 4, 0, 1}), (V{0, 0, 4, 0, 1}));
    // A payload ending in two zeros must not run into the next start code.
    EXPECT_EQ(svacenc::add_emulation_prevention(V{5, 0, 0}), (V{5, 0, 0, 3}));
}

TEST(NalWriter, AppendsStartCodeHeaderExtensionAndPayload) {
    std::vector<uint8_t> out;
    svacenc::NalHeader h;
    h.type = svacenc::NAL_SPS;
    h.ext = true;
    h.ext_byte = 0x77;
    svacenc::append_nal(out, h, {0x12, 0, 0, 2});
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 1, 0x5D, 0x77, 0x12, 0, 0, 3, 2}));
}

}  // namespace
