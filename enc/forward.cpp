#include "forward.h"

#include <algorithm>
#include <cmath>

#include "dsp/quant.h"

namespace svacenc {

namespace {

// Basis functions of the inverse transforms: kB4[x][u] is the weight of
// coefficient u in output sample x (the one-dimensional transforms of the
// decoder written as matrices).
constexpr int kB4[4][4] = {{4, 5, 4, 2}, {4, 2, -4, -5}, {4, -2, -4, 5}, {4, -5, 4, -2}};
// clang-format off
constexpr int kB8[8][8] = {
    {8, 12, 10, 10, 8, 6, 4, 3},     {8, 10, 4, -3, -8, -12, -10, -6},
    {8, 6, -4, -12, -8, 3, 10, 10},  {8, 3, -10, -6, 8, 10, -4, -12},
    {8, -3, -10, 6, 8, -10, -4, 12}, {8, -6, -4, 12, -8, -3, 10, -10},
    {8, -10, 4, 3, -8, 12, -10, 6},  {8, -12, 10, -10, 8, -6, 4, -3},
};
// clang-format on

template <int N>
void forward(const int (&B)[N][N], double scale, const int32_t *r, double *c) {
    double norm[N];
    for (int u = 0; u < N; u++) {
        norm[u] = 0;
        for (int x = 0; x < N; x++) norm[u] += B[x][u] * B[x][u];
    }
    for (int u = 0; u < N; u++)
        for (int v = 0; v < N; v++) {
            double s = 0;
            for (int y = 0; y < N; y++)
                for (int x = 0; x < N; x++) s += B[x][u] * B[y][v] * double(r[y * N + x]);
            c[N * u + v] = scale * s / (norm[u] * norm[v]);
        }
}

template <int N>
int quantise(const double *c, int qp, int deadzone, const uint8_t (&iq)[7][16], int32_t *levels) {
    int nonzero = 0;
    const double shift = std::ldexp(1.0, qp / 7);
    for (int u = 0; u < N; u++)
        for (int v = 0; v < N; v++) {
            const int cls = 4 * (v % 4) + (u % 4);
            const double step = iq[qp % 7][cls] * shift;
            const double a = std::fabs(c[N * u + v]) / step + deadzone / 256.0;
            int l = std::min(static_cast<int>(a), 2047);
            if (c[N * u + v] < 0) l = -l;
            levels[N * u + v] = l;
            nonzero += l != 0;
        }
    return nonzero;
}

}  // namespace

// The 4x4 inverse divides by 2^10; the 8x8 inverse by 2^3 and then 2^11.
void forward_transform_4x4(const int32_t *residual, double *coeffs) {
    forward<4>(kB4, 1024.0, residual, coeffs);
}

void forward_transform_8x8(const int32_t *residual, double *coeffs) {
    forward<8>(kB8, 16384.0, residual, coeffs);
}

int forward_quant_4x4(const int32_t *residual, int qp, int deadzone, int32_t *levels) {
    double c[16];
    forward_transform_4x4(residual, c);
    return quantise<4>(c, qp, deadzone, iqcoeff4, levels);
}

int forward_quant_8x8(const int32_t *residual, int qp, int deadzone, int32_t *levels) {
    double c[64];
    forward_transform_8x8(residual, c);
    return quantise<8>(c, qp, deadzone, iqcoeff8, levels);
}

void levels_to_pairs(const int32_t *levels, bool is4x4, BlockPairs *out, int scan) {
    const int n = is4x4 ? 16 : 64;
    int pos[64], val[64], count = 0;
    for (int p = 0; p < n; p++) {
        const int idx = is4x4 ? svac_scan4t[scan][p][0] : svac_scan8t[scan][p][0];
        const int l = std::clamp(levels[idx], -2047, 2047);
        if (l != 0) {
            pos[count] = p;
            val[count] = l;
            count++;
        }
    }
    // Decoding order is the reverse scan order; each run reaches back to the
    // previous coded position (or the start of the scan).
    out->count = count;
    for (int i = 0; i < count; i++) {
        const int j = count - 1 - i;
        const int prev = j > 0 ? pos[j - 1] : -1;
        out->pairs[i].run = static_cast<uint16_t>(pos[j] - prev);
        out->pairs[i].level = static_cast<int16_t>(val[j]);
    }
}

}  // namespace svacenc
