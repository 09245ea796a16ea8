// Plain reference of the deblocking edges and their order in a macroblock,
// written straight from the rules with coordinates instead of pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "recon/filter_params.h"

namespace refdb {

// Floor division by a power of two without relying on shifts of negatives.
inline int floor_div(int x, int d) { return x >= 0 ? x / d : -((-x + d - 1) / d); }
inline int limit(int lo, int hi, int x) {
    if (x < lo) return lo;
    if (x > hi) return hi;
    return x;
}

// A plane seen through (x, y) sample coordinates around an origin.
struct Plane {
    uint8_t *origin;
    ptrdiff_t stride;  // bytes
    bool hbd;          // 16-bit samples
    int get(int x, int y) const {
        uint8_t *p = origin + y * stride + x * (hbd ? 2 : 1);
        if (!hbd) return *p;
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    void set(int x, int y, int v) const {
        uint8_t *p = origin + y * stride + x * (hbd ? 2 : 1);
        if (!hbd) {
            *p = static_cast<uint8_t>(v);
        } else {
            const uint16_t w = static_cast<uint16_t>(v);
            std::memcpy(p, &w, 2);
        }
    }
};

// One macroblock edge whose first far-side sample is (x, y). Sample k of
// line i (k = -4..3 for p3..q3) lies at (x + k, y + i) for a vertical edge
// and at (x + i, y + k) for a horizontal one.
inline void edge(const Plane &pl, int x, int y, bool vertical, bool luma, int alpha, int beta,
                 const int tc0[2], const int bs[2]) {
    const int lines = luma ? 16 : 8;
    const int maxv = pl.hbd ? 1023 : 255;
    for (int i = 0; i < lines; i++) {
        const int half = i < lines / 2 ? 0 : 1;
        auto at_x = [&](int k) { return vertical ? x + k : x + i; };
        auto at_y = [&](int k) { return vertical ? y + i : y + k; };
        int s[8] = {};
        const int first = luma ? -4 : -3, last = luma ? 3 : 2;
        for (int k = first; k <= last; k++) s[k + 4] = pl.get(at_x(k), at_y(k));
        const int p3 = s[0], p2 = s[1], p1 = s[2], p0 = s[3];
        const int q0 = s[4], q1 = s[5], q2 = s[6], q3 = s[7];
        if (!(std::abs(p0 - q0) < alpha && std::abs(p1 - p0) < beta && std::abs(q1 - q0) < beta)) continue;
        int out[8];
        std::memcpy(out, s, sizeof out);
        if (bs[0] == 3) {
            const bool small = std::abs(p0 - q0) < alpha / 4 + 2;
            const bool pstrong = std::abs(p2 - p0) < beta && small;
            const bool qstrong = std::abs(q2 - q0) < beta && small;
            if (pstrong) {
                out[3] = floor_div(3 * p0 + 2 * q0 + p1 + q1 + p2 + 4, 8);
                if (luma) {
                    out[2] = floor_div(p2 + p1 + p0 + q0 + 2, 4);
                    out[1] = floor_div(2 * p3 + 2 * p2 + 2 * p1 + p0 + q0 + 4, 8);
                }
            } else {
                out[3] = floor_div(2 * p1 + p0 + q1 + 2, 4);
            }
            if (qstrong) {
                out[4] = floor_div(3 * q0 + 2 * p0 + q1 + p1 + q2 + 4, 8);
                if (luma) {
                    out[5] = floor_div(q2 + q1 + q0 + p0 + 2, 4);
                    out[6] = floor_div(2 * q3 + 2 * q2 + 2 * q1 + q0 + p0 + 4, 8);
                }
            } else {
                out[4] = floor_div(2 * q1 + q0 + p1 + 2, 4);
            }
        } else {
            if (bs[half] == 0) continue;
            const int c0 = tc0[half];
            const int ap = luma && std::abs(p2 - p0) < beta ? 1 : 0;
            const int aq = luma && std::abs(q2 - q0) < beta ? 1 : 0;
            const int tc = luma ? c0 + ap + aq : c0 + 1;
            const int delta = limit(-tc, tc, floor_div(4 * (q0 - p0) + (p1 - q1) + 4, 8));
            out[3] = limit(0, maxv, p0 + delta);
            out[4] = limit(0, maxv, q0 - delta);
            if (ap)
                out[2] = limit(0, maxv, p1 + limit(-c0, c0, floor_div(p3 + p2 - 4 * p1 + p0 + q0 + 2, 4)));
            if (aq)
                out[5] = limit(0, maxv, q1 + limit(-c0, c0, floor_div(q3 + q2 - 4 * q1 + q0 + p0 + 2, 4)));
        }
        for (int k = first; k <= last; k++)
            if (out[k + 4] != s[k + 4]) pl.set(at_x(k), at_y(k), out[k + 4]);
    }
}

// Tables built from their run-length description.
struct Tables {
    int alpha[56], beta[56], clip[56];
    Tables() {
        const int a[40] = {4,   4,   5,   6,   7,   8,   9,   10,  12,  13,  15,  17, 20,  22,
                           25,  28,  32,  36,  40,  45,  50,  56,  63,  71,  80,  90, 101, 113,
                           127, 144, 162, 182, 203, 226, 255, 255, 255, 255, 255, 255};
        const int b[40] = {2,  2,  2,  3,  3,  3,  3,  4,  4,  4,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
                           11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19, 20, 20};
        const int tail[11] = {4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7};
        for (int i = 0; i < 16; i++) alpha[i] = beta[i] = clip[i] = 0;
        for (int i = 0; i < 40; i++) {
            alpha[16 + i] = a[i];
            beta[16 + i] = b[i];
        }
        int n = 16;
        for (int i = 0; i < 14; i++) clip[n++] = 1;
        for (int i = 0; i < 8; i++) clip[n++] = 2;
        for (int i = 0; i < 7; i++) clip[n++] = 3;
        for (int v : tail) clip[n++] = v;
    }
};

inline int chroma_q(int q) {
    static const int t[56] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                              19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 33, 34, 35, 35,
                              36, 36, 37, 37, 38, 38, 39, 39, 39, 40, 40, 40, 41, 41, 41, 42, 42, 42};
    return t[q];
}

// The whole macroblock, in the fixed order of its edges, from the ten
// strengths L0 L1 V0 V1 T0 T1 H0 H1 F0 F1 (the decisions are checked by
// hand-derived cases of their own).
inline void filter_mb(const SvacFilterParams &p, const int st[10]) {
    static const Tables tab;
    if (p.lf_disable_flag) return;
    const bool hbd = p.bit_depth_idx == 2;
    const Plane Y{p.dst_y, static_cast<ptrdiff_t>(p.stride_y), hbd};
    const Plane U{p.dst_u, static_cast<ptrdiff_t>(p.stride_c), hbd};
    const Plane V{p.dst_v, static_cast<ptrdiff_t>(p.stride_c), hbd};
    auto idx = [](long long v) { return static_cast<int>(v < 0 ? 0 : (v > 55 ? 55 : v)); };
    auto run = [&](const Plane &pl, int x, int y, bool vertical, bool luma, int q, int b0, int b1) {
        const int alpha = tab.alpha[idx(static_cast<long long>(q) + p.lf_alpha_offset)];
        const int beta = tab.beta[idx(static_cast<long long>(q) + p.lf_beta_offset)];
        if (alpha == 0 || beta == 0) return;
        const int tc0[2] = {tab.clip[idx(static_cast<long long>(q) + p.lf_alpha_offset + b0 - 1)],
                            tab.clip[idx(static_cast<long long>(q) + p.lf_alpha_offset + b1 - 1)]};
        const int bs[2] = {b0, b1};
        edge(pl, x, y, vertical, luma, alpha, beta, tc0, bs);
    };
    const int qp = static_cast<int>(p.qp);
    const bool chroma = p.chroma_format_idc > 0;
    const bool c422 = p.chroma_format_idc == 2;
    const bool i4 = p.mb_type == 0;
    if (p.neighbour_flags & 1) {
        run(Y, 0, 0, true, true, (qp + static_cast<int>(p.prev_qp) + 1) / 2, st[0], st[1]);
        if (chroma) {
            const int qc = (chroma_q(qp) + chroma_q(static_cast<int>(p.prev_qp)) + 1) / 2;
            if (c422) {
                run(U, 0, 0, true, false, qc, st[0], st[0]);
                run(V, 0, 0, true, false, qc, st[0], st[0]);
                run(U, 0, 8, true, false, qc, st[1], st[1]);
                run(V, 0, 8, true, false, qc, st[1], st[1]);
            } else {
                run(U, 0, 0, true, false, qc, st[0], st[1]);
                run(V, 0, 0, true, false, qc, st[0], st[1]);
            }
        }
    }
    if (i4) run(Y, 4, 0, true, true, qp, st[8], st[9]);
    run(Y, 8, 0, true, true, qp, st[2], st[3]);
    if (i4) run(Y, 12, 0, true, true, qp, st[8], st[9]);
    if (p.neighbour_flags & 2) {
        run(Y, 0, 0, false, true, (qp + static_cast<int>(p.top_qp) + 1) / 2, st[4], st[5]);
        if (chroma) {
            const int qc = (chroma_q(qp) + chroma_q(static_cast<int>(p.top_qp)) + 1) / 2;
            run(U, 0, 0, false, false, qc, st[4], st[5]);
            run(V, 0, 0, false, false, qc, st[4], st[5]);
        }
    }
    if (i4) run(Y, 0, 4, false, true, qp, st[8], st[9]);
    run(Y, 0, 8, false, true, qp, st[6], st[7]);
    if (i4) run(Y, 0, 12, false, true, qp, st[8], st[9]);
    if (c422) {
        run(U, 0, 8, false, false, chroma_q(qp), st[6], st[7]);
        run(V, 0, 8, false, false, chroma_q(qp), st[6], st[7]);
    }
}

}  // namespace refdb
