// SSE2 dequantisers: the block is cleared with vector stores, then the
// levels are scattered: one multiply, one shift and one store per pair.
#include <emmintrin.h>

#include "arch/x86/simd.h"

namespace {

template <int M>
void dequant(const SvacRunLevel *pairs, int32_t *block, int qp, int count, int scan_sel,
             const uint8_t (*scans)[M][2], const uint8_t (&iq)[7][16]) {
    // An opaque zero keeps the compiler from turning the stores into a string
    // instruction, whose start-up costs more than the sixteen stores.
    __m128i zero = _mm_setzero_si128();
    __asm__("" : "+x"(zero));
    for (int k = 0; k < M; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i *>(block + k), zero);
    // From a shift of 32 on every product is 0 in 32 bits: the mask clears it.
    const unsigned q = static_cast<unsigned>(qp);
    const uint8_t *scale = iq[q % 7];
    const unsigned shift = (q / 7) & 31;
    const uint32_t keep = q / 7 < 32 ? ~0u : 0u;
    const uint8_t(*scan)[2] = scans[scan_sel != 0];
    unsigned pos = 255;
    for (int k = count - 1; k >= 0; k--) {
        pos = (pos + pairs[k].run) & (M - 1);
        const uint8_t *e = scan[pos];
        block[e[0]] =
            static_cast<int32_t>(((scale[e[1]] * static_cast<uint32_t>(pairs[k].level)) << shift) & keep);
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
