#include "intra_neighbours.h"

namespace svacenc {

namespace {

// Samples relative to a block origin; positions outside the picture give 0
// (they belong to missing neighbours and are never predicted from).
template <class Pixel>
struct Sampler {
    const Frame &f;
    int plane, ox, oy;
    Pixel operator()(int x, int y) const {
        const int px = ox + x, py = oy + y;
        const Plane &pl = f.planes[plane];
        if (px < 0 || py < 0 || px >= pl.width || py >= pl.height) return 0;
        return reinterpret_cast<const Pixel *>(f.at(plane, 0, py))[px];
    }
};

// Corner of the first block of the macroblock (luma block 0, chroma row 0).
template <class Pixel>
void first_corner(const Sampler<Pixel> &s, const MbNeighbours &nb, bool is4x4, Pixel *top, Pixel *left) {
    if (nb.top_left) {
        top[0] = left[0] = s(-1, -1);
    } else if (nb.left && nb.top) {
        top[0] = left[0] = static_cast<Pixel>((left[1] + top[1] + 1) >> 1);
    } else if (nb.left) {
        left[0] = left[1];
        if (is4x4) top[0] = left[1];
    } else if (nb.top) {
        top[0] = top[1];
        if (is4x4) left[0] = top[1];
    }
}

// The last n entries after `from` repeat entry `from`.
template <class Pixel>
void repeat(Pixel *a, int from, int n) {
    for (int i = 1; i <= n; i++) a[from + i] = a[from];
}

}  // namespace

template <class Pixel>
void gather_luma_8x8(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int blk, Pixel *top,
                     Pixel *left) {
    const int bx = (blk % 2) * 8, by = (blk / 2) * 8;
    const Sampler<Pixel> s{unf, 0, mb_x * 16 + bx, mb_y * 16 + by};
    for (int i = 0; i < kNeighbourArraySize; i++) top[i] = left[i] = 0;
    for (int i = 0; i < 8; i++) {
        top[1 + i] = s(i, -1);
        left[1 + i] = s(-1, i);
    }
    switch (blk) {
        case 0:
            for (int i = 0; i < 8; i++) {
                top[9 + i] = s(8 + i, -1);
                left[9 + i] = s(-1, 8 + i);
            }
            top[17] = top[16];
            left[17] = left[16];
            first_corner(s, nb, false, top, left);
            break;
        case 1:
            if (nb.top_right) {
                for (int i = 0; i < 8; i++) top[9 + i] = s(8 + i, -1);
                top[17] = top[16];
            } else {
                repeat(top, 8, 9);
            }
            repeat(left, 8, 9);
            if (nb.top) {
                top[0] = left[0] = s(-1, -1);
            } else {
                top[0] = top[1];
                left[0] = left[1];
            }
            break;
        case 2:
            for (int i = 0; i < 8; i++) top[9 + i] = s(8 + i, -1);
            top[17] = top[16];
            repeat(left, 8, 9);  // below-left: the left macroblock's row 15 repeated
            left[0] = s(-1, -1);
            top[0] = nb.left ? left[0] : top[1];
            break;
        default:
            repeat(top, 8, 9);
            repeat(left, 8, 9);
            top[0] = left[0] = s(-1, -1);
            break;
    }
}

template <class Pixel>
void gather_luma_4x4(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int k, Pixel *top,
                     Pixel *left) {
    // Above-right and below-left samples that lie in already decoded areas.
    constexpr bool kAboveRight[16] = {true, true, true, false, true, false, true, false,
                                      true, true, true, false, true, false, true, false};
    constexpr bool kBelowLeft[16] = {true, false, true,  false, true, false, false, false,
                                     true, false, false, false, true, false, false, false};
    const int bx = blk4_x(k) * 4, by = blk4_y(k) * 4;
    const Sampler<Pixel> s{unf, 0, mb_x * 16 + bx, mb_y * 16 + by};
    for (int i = 0; i < 10; i++) top[i] = left[i] = 0;
    for (int i = 0; i < 4; i++) {
        top[1 + i] = s(i, -1);
        left[1 + i] = s(-1, i);
    }
    const bool above_right = k == 5 ? nb.top_right : kAboveRight[k];
    if (above_right)
        for (int i = 0; i < 4; i++) top[5 + i] = s(4 + i, -1);
    else
        repeat(top, 4, 4);
    top[9] = top[8];
    if (kBelowLeft[k])
        for (int i = 0; i < 4; i++) left[5 + i] = s(-1, 4 + i);
    else
        repeat(left, 4, 4);
    left[9] = left[8];

    if (k == 0) {
        first_corner(s, nb, true, top, left);
    } else if (k == 1 || k == 4 || k == 5) {
        if (nb.top)
            top[0] = left[0] = s(-1, -1);
        else
            left[0] = left[1];
    } else if (k == 2 || k == 8 || k == 10) {
        left[0] = s(-1, -1);
        top[0] = nb.left ? left[0] : top[1];
    } else {
        top[0] = left[0] = s(-1, -1);
    }
}

template <class Pixel>
void gather_chroma(const Frame &unf, int plane, int mb_x, int mb_y, const MbNeighbours &nb, int row,
                   Pixel *top, Pixel *left) {
    const Sampler<Pixel> s{unf, plane, mb_x * 8, mb_y * unf.chroma_mb_height() + row * 8};
    for (int i = 0; i < 10; i++) top[i] = left[i] = 0;
    for (int i = 0; i < 8; i++) {
        top[1 + i] = s(i, -1);
        left[1 + i] = s(-1, i);
    }
    left[9] = left[8];
    if (row == 0) {
        top[9] = nb.top_right ? s(8, -1) : top[8];
        first_corner(s, nb, false, top, left);
    } else {
        top[9] = top[8];
        top[0] = left[0] = nb.left ? s(-1, -1) : top[1];
    }
}

template void gather_luma_8x8<uint8_t>(const Frame &, int, int, const MbNeighbours &, int, uint8_t *,
                                       uint8_t *);
template void gather_luma_8x8<uint16_t>(const Frame &, int, int, const MbNeighbours &, int, uint16_t *,
                                        uint16_t *);
template void gather_luma_4x4<uint8_t>(const Frame &, int, int, const MbNeighbours &, int, uint8_t *,
                                       uint8_t *);
template void gather_luma_4x4<uint16_t>(const Frame &, int, int, const MbNeighbours &, int, uint16_t *,
                                        uint16_t *);
template void gather_chroma<uint8_t>(const Frame &, int, int, int, const MbNeighbours &, int, uint8_t *,
                                     uint8_t *);
template void gather_chroma<uint16_t>(const Frame &, int, int, int, const MbNeighbours &, int, uint16_t *,
                                      uint16_t *);

}  // namespace svacenc
