// The bit reader: Exp-Golomb codes of every value at every alignment (which
// covers the code tables), overlong codes, and reads near the end of the
// buffer against a bit-by-bit reference.
#include "bitstream/bitreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

namespace {

// Bytes from a string of '0' and '1' (spaces ignored), padded with zeros.
std::vector<uint8_t> bits(const std::string &s, size_t pad = 8) {
    std::vector<uint8_t> out;
    int n = 0;
    for (char c : s) {
        if (c == ' ') continue;
        if (n % 8 == 0) out.push_back(0);
        if (c == '1') out.back() |= static_cast<uint8_t>(0x80 >> (n % 8));
        n++;
    }
    out.resize(out.size() + pad, 0);
    return out;
}

SvacBitReader reader(const std::vector<uint8_t> &buf) {
    SvacBitReader br;
    EXPECT_TRUE(svac_br_init(&br, buf.data(), static_cast<int32_t>(buf.size() * 8)));
    return br;
}

// Reference: bit i of the buffer, most significant bit first; zero outside.
uint32_t ref_bits(const std::vector<uint8_t> &b, int64_t pos, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        const int64_t p = pos + i;
        const int bit = p / 8 < static_cast<int64_t>(b.size()) ? (b[p / 8] >> (7 - p % 8)) & 1 : 0;
        v = (v << 1) | bit;
    }
    return v;
}

TEST(ExpGolomb, LongCodeStartingLateInAByteLosesItsLowBits) {
    // ue 16382 (13 zeros, then 1 1111111111111) after 7 bits: the window at
    // byte 0 holds 25 of its 27 bits, so it reads as 16380 - 1; the index
    // still moves past the whole code.
    const auto buf = bits("1111111 0000000000000 11111111111111 1");
    SvacBitReader br = reader(buf);
    svac_br_skip(&br, 7);
    EXPECT_EQ(svac_br_read_ue(&br), 16379);
    EXPECT_EQ(br.index, 34);
}

TEST(ExpGolomb, OverlongCodeFails) {
    struct {
        const char *bits;
        int32_t index;  // advanced past the (2 x 31 - 2L + 1)-bit code anyway
    } cases[] = {
        {"0000000000000000 1 0000000000000000", 33},              // 16 zeros: L = 15
        {"00000000000000000000 1 00000000000000000000", 32 + 9},  // L = 11
        {"", 63},                                                 // all zeros: L taken as 0
    };
    for (const auto &c : cases) {
        const auto buf = bits(c.bits);
        SvacBitReader br = reader(buf);
        testing::internal::CaptureStdout();
        EXPECT_EQ(svac_br_read_ue(&br), -3) << c.bits;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "log >= 0 failed at ../../../../lib/bitstream.h:773.\n");
        EXPECT_EQ(br.index, c.index) << c.bits;
    }
}

TEST(ExpGolomb, EveryValueAtEveryAlignment) {
    // Codes written from the definition: z zeros, then the (z+1)-bit k+1.
    for (uint32_t k = 0; k < 70000; k += (k < 600 ? 1 : 97)) {
        int z = 0;
        while ((uint64_t(k) + 1) >> (z + 1)) z++;
        std::string code(z, '0');
        for (int i = z; i >= 0; i--) code.push_back((((k + 1) >> i) & 1) ? '1' : '0');
        for (int shift = 0; shift < 8; shift++) {
            const std::string s = std::string(shift, '1') + code + "1";
            const auto buf = bits(s);
            SvacBitReader br = reader(buf);
            svac_br_skip(&br, shift);
            testing::internal::CaptureStdout();
            const int32_t ue = svac_br_read_ue(&br);
            const std::string msg = testing::internal::GetCapturedStdout();
            if (k <= 65534) {
                // The window is the four bytes at the current byte shifted
                // left: bits of a long code beyond them read as zeros.
                const int lost = std::max(0, shift + 2 * z + 1 - 32);
                const int32_t want_ue = static_cast<int32_t>(((k + 1) >> lost) << lost) - 1;
                ASSERT_EQ(ue, want_ue) << "k " << k << " shift " << shift;
                ASSERT_EQ(msg, "");
            } else {
                ASSERT_EQ(ue, -3) << k;
            }
            ASSERT_EQ(br.index, shift + 2 * z + 1) << k;
            br.index = shift;
            const int32_t se = svac_br_read_se(&br);
            const int64_t want = (k & 1) ? (int64_t(k) + 1) / 2 : -(int64_t(k) / 2);
            ASSERT_EQ(se, want) << k;
            ASSERT_EQ(br.index, shift + 2 * z + 1) << k;
        }
    }
}

TEST(BitReader, ReadsNearTheEndGiveZerosAndStayInside) {
    // Exact-size heap buffers: the sanitizers flag any byte read past them.
    std::mt19937 rng(7);
    for (int size = 1; size <= 6; size++) {
        std::unique_ptr<uint8_t[]> buf(new uint8_t[size]);
        std::vector<uint8_t> copy(size);
        for (int i = 0; i < size; i++) copy[i] = buf[i] = static_cast<uint8_t>(rng() | 1);
        SvacBitReader br;
        ASSERT_TRUE(svac_br_init(&br, buf.get(), size * 8));
        for (int pos = 0; pos < size * 8 + 40; pos++) {
            for (int n : {1, 7, 8, 13, 25}) {
                br.index = pos;
                ASSERT_EQ(svac_br_read(&br, n), ref_bits(copy, pos, n)) << size << " " << pos;
            }
            br.index = pos;
            ASSERT_EQ(svac_br_peek32(&br), ref_bits(copy, pos, 32 - pos % 8) << (pos % 8));
            br.index = pos;
            testing::internal::CaptureStdout();
            svac_br_read_ue(&br);
            br.index = pos;
            svac_br_read_se(&br);
            testing::internal::GetCapturedStdout();
        }
    }
}

// The slice loop ends on the bits left in the payload, not in its bytes.
TEST(BitReader, BitsLeftCountsThePayload) {
    const uint8_t buf[2] = {0xFF, 0xFF};
    SvacBitReader br;
    ASSERT_TRUE(svac_br_init(&br, buf, 13));
    svac_br_skip(&br, 5);
    EXPECT_EQ(svac_br_bits_left(&br), 8);
}

}  // namespace
