#include "cabac/engine.h"

#include "cabac/engine_local.h"

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
    SvacCabacLocal(e).start();
}

// The terminating bin has LPS sub-range 1: on its LPS path the range
// doubles eight times to exactly 256, fraction 0.
int32_t VQ_SVACDEC_cabac_decode_end_of_slice_flag(SvacCabac *c) {
    SvacCabacEngine &e = c->e;
    if (svac_cabac_decide(e, 1)) return 1;
    // The data is used up once the bits consumed (all read less the k read
    // ahead) reach its end.
    const int64_t read = (e.next - e.start) + static_cast<int64_t>(e.past);
    return 8 * read - e.k >= 8 * (e.end - e.start);
}
