#include "cabac/engine.h"

bool svac_cabac_lps(SvacCabacEngine &e, uint32_t lps, uint32_t s_flag, uint32_t t2, uint32_t s2) {
    uint32_t r = s_flag ? e.t1 + lps : lps;
    if (s2 == e.value_s)
        e.value_t -= t2;
    else
        e.value_t = 2 * e.value_t + svac_cabac_bit(e) + 256 - t2;
    if (r < 256) {
        const int n = __builtin_clz(r) - 23;  // doublings that bring r to 256..511
        r <<= n;
        e.value_t = (e.value_t << n) | svac_cabac_bits(e, n);
    }
    svac_cabac_norm_offset(e);
    e.s1 = 0;
    e.t1 = r & 255;
    e.value_t &= 255;
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
    e.value_t &= 255;
    e.s1 = 0;
    e.t1 = 255;
}

int32_t VQ_SVACDEC_cabac_decode_end_of_slice_flag(SvacCabac *c) {
    SvacCabacEngine &e = c->e;
    const uint32_t s_flag = e.t1 == 0;
    const uint32_t t2 = e.t1 - 1 + (s_flag << 8);
    const uint32_t s2 = e.s1 + s_flag;
    if (s2 > e.value_s || (s2 == e.value_s && e.value_t >= t2)) {
        if (s2 == e.value_s)
            e.value_t -= t2;
        else
            e.value_t = 2 * e.value_t + svac_cabac_bit(e) + 256 - t2;
        e.value_t = (e.value_t << 8) | svac_cabac_bits(e, 8);
        svac_cabac_norm_offset(e);
        e.s1 = 0;
        e.t1 = 0;
        e.value_t &= 255;
        return 1;
    }
    e.s1 = s2;
    e.t1 = t2;
    // The data is used up once the next unread byte lies beyond the end, or
    // is the end with cur_byte fully consumed.
    const int64_t next = (e.next - e.start) + static_cast<int64_t>(e.past);
    const int64_t end = e.end - e.start;
    return next > end || (next == end && e.bit_pos == 0);
}
