// SSE2 dequantisers: the block is cleared with vector stores, then the
// levels are scattered with per-class multipliers that already hold the
// block's shift, so the loop is one multiply and one store per pair.
#include <emmintrin.h>

#include "arch/x86/simd.h"

namespace {

template <int M>
void dequant(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan_sel,
             const uint8_t (*scans)[M][2], const uint8_t (&iq)[7][16]) {
    for (int k = 0; k < M; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i *>(block + k), _mm_setzero_si128());
    // (scale << shift) * level equals (scale * level) << shift modulo 2^32;
    // from a shift of 32 on every product is 0.
    const unsigned q = static_cast<unsigned>(qp);
    uint32_t mult[16] = {};
    if (q / 7 < 32)
        for (int c = 0; c < 16; c++) mult[c] = static_cast<uint32_t>(iq[q % 7][c]) << (q / 7);
    const uint8_t (*scan)[2] = scans[scan_sel != 0];
    unsigned pos = 255;
    for (int k = count - 1; k >= 0; k--) {
        pos = (pos + pairs[k].run) & (M - 1);
        const uint8_t *e = scan[pos];
        block[e[0]] = static_cast<int32_t>(mult[e[1]] * static_cast<uint32_t>(pairs[k].level));
    }
}

void dequant4(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan) {
    dequant<16>(pairs, block, qp, count, scan, svac_scan4t, iqcoeff4);
}

void dequant8(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan) {
    dequant<64>(pairs, block, qp, count, scan, svac_scan8t, iqcoeff8);
}

}  // namespace

void svac_quant_init_sse2(SvacDequantFn *dequant4_entry, SvacDequantFn *dequant8_entry) {
    *dequant4_entry = dequant4;
    *dequant8_entry = dequant8;
}
