// The arithmetic decoder: start-up, context adaptation, the borrowed shift,
// blended contexts, the terminating bin and reading past the data.
#include "cabac/engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The engine keeps pointing into `data`: callers keep it alive.
SvacCabac start(const std::vector<uint8_t> &data, int32_t length) {
    SvacCabac c;
    VQ_SVACDEC_cabac_init(&c, data.data(), length, data.data() + data.size());
    return c;
}

// The range fraction t1 and the offset's pending shifts less the range's
// (value_s - s1), kept by the engine as their difference to the offset.
uint32_t t1_of(const SvacCabacEngine &e) { return static_cast<uint32_t>(e.a + e.v) & 255; }
uint32_t shifts_of(const SvacCabacEngine &e) { return static_cast<uint32_t>(e.a + e.v) >> 8; }
void set_range(SvacCabacEngine &e, uint32_t shifts, uint32_t t1) {
    e.a = static_cast<int32_t>(shifts * 256 + t1) - e.v;
}
// Bits consumed from the start of the data.
int64_t position(const SvacCabacEngine &e) { return 8 * ((e.next - e.start) + e.past) - e.k; }

TEST(CabacEngine, StartAbsorbsLeadingZerosIntoThePendingShifts) {
    // 1000 0000 | 1...: nine bits 1 0000 0001, already normalised.
    const std::vector<uint8_t> a = {0x80, 0x80, 0x00}, b = {0x01, 0x80, 0x00};
    SvacCabac c = start(a, 3);
    EXPECT_EQ(shifts_of(c.e), 0u);
    EXPECT_EQ(c.e.v, 1);
    EXPECT_EQ(t1_of(c.e), 255u);
    EXPECT_EQ(c.ctx[331].lg_pmps, 1023);
    // 0000 0001 | 1000 0000: nine bits 000000011, seven doublings to 384.
    c = start(b, 3);
    EXPECT_EQ(shifts_of(c.e), 7u);
    EXPECT_EQ(c.e.v, 128);
    EXPECT_EQ(position(c.e), 16);
}

TEST(CabacEngine, AdaptationFoldsBackAndBorrowsAShift) {
    // Offset at the top of the range: the first bin takes the LPS path and
    // 1023 + 197 = 1220 folds back to 827 with the other symbol.
    const std::vector<uint8_t> ones(4, 0xFF);
    SvacCabac c = start(ones, 4);
    SvacCabacCtx &ctx = c.ctx[5];
    EXPECT_EQ(cabac_decode_symbol(&c, ctx), 1u);
    EXPECT_EQ(ctx.lg_pmps, 827);
    EXPECT_EQ(ctx.mps, 1);
    EXPECT_EQ(ctx.cycno, 1);
    // With t1 below lps the MPS path borrows one pending shift.
    c.e = {};
    set_range(c.e, 1, 10);  // one pending offset shift, none of the range
    SvacCabacCtx fresh{0, 0, 1023};
    EXPECT_EQ(cabac_decode_symbol(&c, fresh), 0u);
    EXPECT_EQ(shifts_of(c.e), 0u);
    EXPECT_EQ(t1_of(c.e), 11u);  // 10 + 256 - 255
    EXPECT_EQ(fresh.lg_pmps, 1023 - 127 - 31);
    EXPECT_EQ(fresh.cycno, 1);
    // Stage 3 LPS steps by 46 and MPS shrinks by lg/32 + lg/128.
    SvacCabacCtx late{0, 3, 500};
    svac_cabac_update(late, true);
    EXPECT_EQ(late.lg_pmps, 546);
    svac_cabac_update(late, false);
    EXPECT_EQ(late.lg_pmps, 546 - 17 - 4);
}

TEST(CabacEngine, OppositeBlendedContextsOfEqualWeightTakeTheSecondSymbolAtFullWeight) {
    // lg 1023 gives lps 255: with t1 255 the MPS part is empty, so the LPS
    // path is taken and the bin is the other symbol than b's.
    const std::vector<uint8_t> data(8, 0);
    SvacCabac c{};
    c.e.next = c.e.start = data.data();
    c.e.end = c.e.limit = data.data() + data.size();
    c.e.lo = 100;
    c.e.v = 100;
    set_range(c.e, 0, 255);
    SvacCabacCtx a{0, 0, 600}, b{1, 0, 600};
    EXPECT_EQ(cabac_decode_symbol_weight(&c, a, b), 0u);
    EXPECT_EQ(a.lg_pmps, 600 - 75 - 18);  // its MPS
    EXPECT_EQ(b.lg_pmps, 600 + 197);      // its LPS
}

TEST(CabacEngine, TerminatingBinEndsAtTheEndOfTheDataWhateverTheDecision) {
    // After the start, both bytes are read: the arithmetic decision is 0,
    // but one byte of data is used up; with two it is not.
    const std::vector<uint8_t> data = {0x80, 0x00, 0x00};
    SvacCabac c = start(data, 1);
    EXPECT_EQ(VQ_SVACDEC_cabac_decode_end_of_slice_flag(&c), 1);
    EXPECT_EQ(t1_of(c.e), 254u);
    c = start(data, 2);
    EXPECT_EQ(VQ_SVACDEC_cabac_decode_end_of_slice_flag(&c), 0);
    // An offset at the top of the range decides 1 and renormalises by 8.
    const std::vector<uint8_t> ones(4, 0xFF);
    c = start(ones, 4);
    EXPECT_EQ(VQ_SVACDEC_cabac_decode_end_of_slice_flag(&c), 1);
    EXPECT_EQ(t1_of(c.e), 0u);
}

TEST(CabacEngine, ReadsPastTheDataStayInsideTheBufferAndEndInABrokenSlice) {
    // A slice of zero bytes never stops renormalising on its own: the
    // engine reads zero bytes up to the limit, then ones, and reports it.
    const std::vector<uint8_t> data = {0x00, 0x00, 0x80};
    SvacCabac c = start(data, 2);  // the payload's stop bit byte follows
    EXPECT_EQ(shifts_of(c.e), 16u);
    EXPECT_FALSE(svac_cabac_broken(&c));
    VQ_SVACDEC_cabac_init(&c, data.data(), 2, data.data() + 2);
    EXPECT_TRUE(svac_cabac_broken(&c));
    EXPECT_EQ(c.e.next, data.data() + 2);
    // 7 bits of the second byte, the zero bytes, then 1 and eight doublings.
    EXPECT_EQ(shifts_of(c.e), 7 + 8 * SVAC_CABAC_MAX_PAST + 9);
    // A slice broken early stays broken while later decisions still read
    // its data ahead.
    const std::vector<uint8_t> busy(64, 0x5A);
    c = start(busy, 64);
    svac_cabac_break(&c);
    for (int i = 0; i < 300; i++) svac_cabac_decide(c.e, 1 + i % 255);
    EXPECT_TRUE(svac_cabac_broken(&c));
    EXPECT_GT(c.e.next, busy.data() + 20);
}

}  // namespace
