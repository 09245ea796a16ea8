// Eighth-sample bilinear chroma interpolation. Weights that are zero for the
// given fractions are not applied, so their samples are never read: a block
// at a full-sample position reads only its own samples.
#include <cstring>

#include "dsp/mc.h"

namespace {

template <typename Pixel>
inline int load(const uint8_t *p) {
    return *reinterpret_cast<const Pixel *>(p);
}

// Runs `predict` on every sample of the W x h block; it returns the
// prediction from the address of S(i, j).
template <typename Pixel, int W, bool Avg, typename Predict>
inline void for_each_sample(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, Predict predict) {
    for (int j = 0; j < h; j++, dst += stride, src += stride)
        for (int i = 0; i < W; i++) {
            const ptrdiff_t o = i * ptrdiff_t(sizeof(Pixel));
            Pixel *d = reinterpret_cast<Pixel *>(dst + o);
            const int p = predict(src + o);
            if constexpr (Avg)
                *d = static_cast<Pixel>((*d + p + 1) >> 1);
            else
                *d = static_cast<Pixel>(p);
        }
}

template <typename Pixel, int W, bool Avg>
void chroma_mc(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y) {
    if (!(x < 8 && y < 8 && x >= 0 && y >= 0)) {
        svac_report_check("x<8 && y<8 && x>=0 && y>=0", __FILE__, __LINE__);
        return;
    }
    constexpr ptrdiff_t next = sizeof(Pixel);
    const int a = (8 - x) * (8 - y), b = x * (8 - y), c = (8 - x) * y, d = x * y;
    if (d) {
        for_each_sample<Pixel, W, Avg>(dst, src, stride, h, [=](const uint8_t *s) {
            return (a * load<Pixel>(s) + b * load<Pixel>(s + next) + c * load<Pixel>(s + stride) +
                    d * load<Pixel>(s + stride + next) + 32) >>
                   6;
        });
    } else if (b) {
        for_each_sample<Pixel, W, Avg>(dst, src, stride, h, [=](const uint8_t *s) {
            return (a * load<Pixel>(s) + b * load<Pixel>(s + next) + 32) >> 6;
        });
    } else if (c) {
        for_each_sample<Pixel, W, Avg>(dst, src, stride, h, [=](const uint8_t *s) {
            return (a * load<Pixel>(s) + c * load<Pixel>(s + stride) + 32) >> 6;
        });
    } else if constexpr (Avg) {
        for_each_sample<Pixel, W, true>(dst, src, stride, h, [](const uint8_t *s) { return load<Pixel>(s); });
    } else {
        for (int j = 0; j < h; j++, dst += stride, src += stride) std::memcpy(dst, src, W * sizeof(Pixel));
    }
}

}  // namespace

template <typename Pixel, int W>
void put_chroma_mc(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y) {
    chroma_mc<Pixel, W, false>(dst, src, stride, h, x, y);
}

template <typename Pixel, int W>
void avg_chroma_mc(uint8_t *dst, const uint8_t *src, ptrdiff_t stride, int h, int x, int y) {
    chroma_mc<Pixel, W, true>(dst, src, stride, h, x, y);
}

#define SVAC_CHROMA_INST(P, w)                                                               \
    template void put_chroma_mc<P, w>(uint8_t *, const uint8_t *, ptrdiff_t, int, int, int); \
    template void avg_chroma_mc<P, w>(uint8_t *, const uint8_t *, ptrdiff_t, int, int, int);
SVAC_CHROMA_INST(uint8_t, 8)
SVAC_CHROMA_INST(uint8_t, 4)
SVAC_CHROMA_INST(uint8_t, 2)
SVAC_CHROMA_INST(uint8_t, 1)
SVAC_CHROMA_INST(uint16_t, 8)
SVAC_CHROMA_INST(uint16_t, 4)
SVAC_CHROMA_INST(uint16_t, 2)
SVAC_CHROMA_INST(uint16_t, 1)
