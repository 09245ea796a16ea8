#include "cabac/engine.h"

#include "cabac/engine_local.h"

namespace {

// The range fraction t1 and whether s1 equals value_s, from a.
struct Range {
    uint32_t t1;
    uint32_t shifts;  // value_s - s1
};

Range range_of(const SvacCabacEngine &e) {
    const uint32_t x = static_cast<uint32_t>(e.a + static_cast<int32_t>(e.value_t));
    return {x & 255, x >> 8};
}

// The offset less t2 after an LPS decision whose range borrowed s_flag
// shifts: when the offset has not the shifts the range has, it takes the
// next bit first.
void sub_offset(SvacCabacEngine &e, Range rg, uint32_t s_flag, uint32_t t2) {
    if (rg.shifts == s_flag)
        e.value_t -= t2;
    else
        e.value_t = 2 * e.value_t + svac_cabac_bit(e) + 256 - t2;
}

void set_range(SvacCabacEngine &e, uint32_t t1) {
    e.value_t &= 255;
    e.a = static_cast<int32_t>(e.value_s * 256 + t1) - static_cast<int32_t>(e.value_t);
}

}  // namespace

// Through the window form: one read of the bits it needs and a leading-zero
// count instead of bit-by-bit reads and their branches.
bool svac_cabac_lps(SvacCabacEngine &e, uint32_t lps) {
    SvacCabacLocal(e).take_lps(lps);
    return true;
}

void VQ_SVACDEC_cabac_init(SvacCabac *c, const uint8_t *data, int32_t length, const uint8_t *limit) {
    SvacCabacEngine &e = c->e;
    e.next = e.start = data;
    e.end = data + length;
    e.limit = limit;
    e.past = 0;
    c->last_qp_delta = 0;
    for (SvacCabacCtx &ctx : c->ctx) ctx = {0, 0, 1023};
    // Nine bits: the first byte and the top bit of the second.
    const uint32_t first = svac_cabac_byte(e);
    e.cur_byte = svac_cabac_byte(e);
    e.bit_pos = 7;
    e.value_t = (first << 1) | (e.cur_byte >> 7);
    svac_cabac_norm_offset(e);
    set_range(e, 255);
}

int32_t VQ_SVACDEC_cabac_decode_end_of_slice_flag(SvacCabac *c) {
    SvacCabacEngine &e = c->e;
    const int32_t q = e.a - 1;
    if (q <= 0) {
        const Range rg = range_of(e);
        const uint32_t s_flag = rg.t1 == 0;
        sub_offset(e, rg, s_flag, rg.t1 - 1 + (s_flag << 8));
        e.value_t = (e.value_t << 8) | svac_cabac_bits(e, 8);
        svac_cabac_norm_offset(e);
        set_range(e, 0);
        return 1;
    }
    e.a = q;
    // The data is used up once the next unread byte lies beyond the end, or
    // is the end with cur_byte fully consumed.
    const int64_t next = (e.next - e.start) + static_cast<int64_t>(e.past);
    const int64_t end = e.end - e.start;
    return next > end || (next == end && e.bit_pos == 0);
}
