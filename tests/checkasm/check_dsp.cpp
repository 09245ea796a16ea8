// Inverse transforms, dequantisers, deblocking and intra prediction entries.
#include <cstdlib>

#include "checkasm.h"
#include "snapshot.h"

namespace checkasm {
namespace {

std::string depth_name(int depth) { return depth ? " 10-bit" : ""; }

// Coefficients as dequantisation makes them, plus wild 32-bit values.
int32_t coefficient(Rng &r, int kind) {
    switch (kind) {
        case 0:
            return r.range(-400, 400);
        case 1:
            return static_cast<int32_t>(static_cast<uint32_t>(r.range(-32768, 32767) * r.range(16, 66))
                                        << r.below(10));
        case 2:
            return static_cast<int32_t>(r.next() << 16 ^ r.next());
        default:
            return r.below(4) ? 0 : r.range(-3000, 3000);
    }
}

void check_idct(Context &ctx, const char *table, const std::vector<SvacIdctAddFn> &before,
                const SvacIdctAddFn *now, int n) {
    for_each_replaced(before, now, [&](int depth, SvacIdctAddFn c, SvacIdctAddFn s) {
        const std::string label = std::string(table) + "[" + std::to_string(depth) + "]" + depth_name(depth);
        const int bytes = depth ? 2 : 1, max = depth ? 1023 : 255;
        Rng r = ctx.rng_for(label);
        ctx.tested++;
        alignas(16) int32_t block_a[64], block_b[64];
        Canvas dst;
        for (int t = 0; t < ctx.trials; t++) {
            dst = Canvas(r, n, n, bytes, 4, 2, true);
            dst.fill(r, pick_gen(r, max), 0, n - 1, 0, n - 1);
            const int kind = r.below(4);
            for (int k = 0; k < n * n; k++) block_a[k] = coefficient(r, kind);
            // Only low frequencies in one or both directions, or sparse as coded
            // blocks are: fewer coefficients the higher the frequency.
            const int low = r.below(5);
            for (int k = 0; k < n * n; k++)
                if (((low & 1) && k / n >= n / 2) || ((low & 2) && k % n >= n / 2) ||
                    (low == 4 && r.below(2 << (k / n + k % n))))
                    block_a[k] = 0;
            if (r.below(8) == 0) {
                // DC alone, near the values where the residual's rounding steps.
                const int step = n == 4 ? 64 : 256;
                std::fill(block_a + 1, block_a + n * n, 0);
                if (kind != 2) block_a[0] = r.range(-40, 40) * step + step / 2 + r.range(-1, 1);
            }
            std::memcpy(block_b, block_a, sizeof(block_a));
            Canvas dst_b = dst;
            c(dst.at(0, 0), block_a, static_cast<int>(dst.stride));
            s(dst_b.at(0, 0), block_b, static_cast<int>(dst.stride));
            const std::string fault = compare_canvas("reconstruction", dst, dst_b);
            if (!fault.empty())
                return ctx.report(label + " coefficient kind " + std::to_string(kind), fault, t);
        }
        if (ctx.bench) {
            for (int k = 0; k < n * n; k++) block_a[k] = coefficient(r, 0);
            std::memcpy(block_b, block_a, sizeof(block_a));
            ctx.bench_line(label,
                           time_per_call([&] { c(dst.at(0, 0), block_a, static_cast<int>(dst.stride)); }),
                           time_per_call([&] { s(dst.at(0, 0), block_b, static_cast<int>(dst.stride)); }));
        }
    });
}

void check_dequant(Context &ctx, const char *table, const std::vector<SvacDequantFn> &before,
                   const SvacDequantFn *now, int m) {
    for_each_replaced(before, now, [&](int, SvacDequantFn c, SvacDequantFn s) {
        const std::string label = table;
        Rng r = ctx.rng_for(label);
        ctx.tested++;
        std::vector<SvacRunLevel> pairs(m + 1);
        alignas(16) int32_t out_a[64 + 8], out_b[64 + 8];
        int qp = 0, count = 0, scan = 0;
        for (int t = 0; t < ctx.trials * 4; t++) {
            qp = t < 80 ? t : r.below(8) ? r.below(64) : r.below(1 << r.below(12));
            count = r.below(4) ? r.below(m / 2 + 1) : r.below(m + 2);
            scan = r.below(8) ? r.below(2) : r.range(2, 100);
            for (SvacRunLevel &p : pairs) {
                p.run = static_cast<uint16_t>(r.below(10) ? r.range(0, m) : r.next());
                p.level = static_cast<int16_t>(r.below(4) ? r.range(-20, 20)
                                                          : static_cast<int>(r.next() & 0xffff) - 32768);
            }
            const std::vector<SvacRunLevel> pairs_in = pairs;
            std::memset(out_a, kFill, sizeof(out_a));
            std::memset(out_b, kFill, sizeof(out_b));
            c(pairs.data(), out_a, qp, count, scan);
            s(pairs.data(), out_b, qp, count, scan);
            std::string fault;
            for (int k = 0; k < m + 8 && fault.empty(); k++)
                if (out_a[k] != out_b[k])
                    fault = (k < m ? "coefficient " : "past the block, entry ") + std::to_string(k) +
                            ": portable " + std::to_string(out_a[k]) + ", SIMD " + std::to_string(out_b[k]);
            if (fault.empty() && std::memcmp(pairs.data(), pairs_in.data(), pairs.size() * sizeof(pairs[0])))
                fault = "the pairs were written";
            if (!fault.empty())
                return ctx.report(label + " qp " + std::to_string(qp) + " count " + std::to_string(count) +
                                      " scan " + std::to_string(scan),
                                  fault, t);
        }
        if (ctx.bench)
            ctx.bench_line(label + " count " + std::to_string(count),
                           time_per_call([&] { c(pairs.data(), out_a, qp, count, scan); }),
                           time_per_call([&] { s(pairs.data(), out_b, qp, count, scan); }));
    });
}

// One line across an edge: p3..q3 near two levels whose step is about the
// size of alpha, with differences about the size of beta, so every
// condition of the filter goes both ways.
void fill_edge_line(Rng &r, Canvas &cv, bool vertical, int line, int alpha, int beta, int max) {
    const int p0 = r.below(max + 1);
    const int q0 = r.below(4) ? p0 + r.range(-alpha - 2, alpha + 2) : r.below(max + 1);
    for (int k = 0; k < 8; k++) {
        const int spread = r.below(3) ? beta + 1 : max;
        int v = (k < 4 ? p0 : q0) + (k == 3 || k == 4 ? 0 : r.range(-spread, spread));
        v = v < 0 ? 0 : v > max ? max : v;
        if (vertical)
            cv.set(k, line, v);
        else
            cv.set(line, k, v);
    }
}

void check_filter(Context &ctx, const char *table, const std::vector<SvacLoopFilterFunc> &before,
                  const SvacLoopFilterFunc *now, bool vertical, bool luma) {
    for_each_replaced(before, now, [&](int depth, SvacLoopFilterFunc c, SvacLoopFilterFunc s) {
        const std::string label = std::string(table) + "[" + std::to_string(depth) + "]" + depth_name(depth);
        const int bytes = depth ? 2 : 1, max = depth ? 1023 : 255, lines = luma ? 16 : 8;
        Rng r = ctx.rng_for(label);
        ctx.tested++;
        Canvas cv;
        int alpha = 0, beta = 0;
        uint8_t tc0[2] = {}, bs[2] = {};
        for (int t = 0; t < ctx.trials * 4; t++) {
            cv = vertical ? Canvas(r, 8, lines, bytes, 4, 2) : Canvas(r, lines, 8, bytes, 4, 2);
            alpha = r.below(8) ? r.below(256) : r.below(1024);
            beta = r.below(8) ? r.below(24) : r.below(1024);
            for (int h = 0; h < 2; h++) {
                tc0[h] = static_cast<uint8_t>(r.below(4) ? r.below(26) : r.below(256));
                bs[h] = static_cast<uint8_t>(r.below(4));
            }
            const SampleGen g = pick_gen(r, max);
            for (int line = 0; line < lines; line++) {
                if (r.below(4))
                    fill_edge_line(r, cv, vertical, line, alpha, beta, max);
                else if (vertical)
                    cv.fill(r, g, 0, 7, line, line);
                else
                    cv.fill(r, g, line, line, 0, 7);
            }
            Canvas cv_b = cv;
            uint8_t *edge_a = vertical ? cv.at(4, 0) : cv.at(0, 4),
                    *edge_b = vertical ? cv_b.at(4, 0) : cv_b.at(0, 4);
            c(edge_a, cv.stride, alpha, beta, tc0, bs);
            s(edge_b, cv.stride, alpha, beta, tc0, bs);
            const std::string fault = compare_canvas("filtered samples", cv, cv_b);
            if (!fault.empty())
                return ctx.report(label + " alpha " + std::to_string(alpha) + " beta " +
                                      std::to_string(beta) + " tc0 " + std::to_string(tc0[0]) + "," +
                                      std::to_string(tc0[1]) + " bs " + std::to_string(bs[0]) + "," +
                                      std::to_string(bs[1]),
                                  fault, t);
        }
        if (ctx.bench) {
            bs[0] = 2, bs[1] = 1, tc0[0] = 3, tc0[1] = 2, alpha = 40, beta = 8;
            for (int line = 0; line < lines; line++) fill_edge_line(r, cv, vertical, line, alpha, beta, max);
            uint8_t *edge = vertical ? cv.at(4, 0) : cv.at(0, 4);
            ctx.bench_line(label + " normal",
                           time_per_call([&] { c(edge, cv.stride, alpha, beta, tc0, bs); }),
                           time_per_call([&] { s(edge, cv.stride, alpha, beta, tc0, bs); }));
        }
    });
}

const char *const kLumaModes[8] = {"vert",       "horiz",   "lp",     "down_left",
                                   "down_right", "lp_left", "lp_top", "dc_128"};
const char *const kChromaModes[7] = {"lp", "horiz", "vert", "plane", "lp_left", "lp_top", "dc_128"};

void check_intra(Context &ctx, const char *table, const std::vector<SvacIntraPredFn> &before,
                 const SvacIntraPredFn *now, int n, int modes, const char *const *names) {
    for_each_replaced(before, now, [&](int i, SvacIntraPredFn c, SvacIntraPredFn s) {
        const int depth = i / (modes == 8 ? 8 : 7), mode = i % modes;
        const std::string label =
            std::string(table) + "[" + std::to_string(i) + "] " + names[mode] + depth_name(depth);
        const int bytes = depth ? 2 : 1, max = depth ? 1023 : 255;
        Rng r = ctx.rng_for(label);
        ctx.tested++;
        Canvas dst, top, left;
        for (int t = 0; t < ctx.trials; t++) {
            dst = Canvas(r, n, n, bytes, 4, 2);
            top = Canvas(r, 2 * n + 2, 1, bytes, 4, 1);
            left = Canvas(r, 2 * n + 2, 1, bytes, 4, 1);
            const SampleGen g = pick_gen(r, max);
            top.fill(r, g, 0, 2 * n + 1, 0, 0);
            left.fill(r, g, 0, 2 * n + 1, 0, 0);
            const Canvas top_in = top, left_in = left;
            Canvas dst_b = dst;
            c(dst.at(0, 0), top.at(0, 0), left.at(0, 0), static_cast<int>(dst.stride));
            s(dst_b.at(0, 0), top.at(0, 0), left.at(0, 0), static_cast<int>(dst.stride));
            std::string fault = compare_canvas("prediction", dst, dst_b);
            if (fault.empty() && (top.mem != top_in.mem || left.mem != left_in.mem))
                fault = "a neighbour was written";
            if (!fault.empty()) return ctx.report(label, fault, t);
        }
        if (ctx.bench) {
            const int stride = static_cast<int>(dst.stride);
            ctx.bench_line(label,
                           time_per_call([&] { c(dst.at(0, 0), top.at(0, 0), left.at(0, 0), stride); }),
                           time_per_call([&] { s(dst.at(0, 0), top.at(0, 0), left.at(0, 0), stride); }));
        }
    });
}

}  // namespace

void check_dsp(Context &ctx, const Snapshot &p) {
    check_idct(ctx, "svac_idct4_add", p.idct4, svac_idct4_add, 4);
    check_idct(ctx, "svac_idct8_add", p.idct8, svac_idct8_add, 8);
    check_dequant(ctx, "svac_dequant4", p.dequant4, &svac_dequant4, 16);
    check_dequant(ctx, "svac_dequant8", p.dequant8, &svac_dequant8, 64);
    check_filter(ctx, "svac_filter_lv", p.lv, svac_filter_lv, true, true);
    check_filter(ctx, "svac_filter_lh", p.lh, svac_filter_lh, false, true);
    check_filter(ctx, "svac_filter_cv", p.cv, svac_filter_cv, true, false);
    check_filter(ctx, "svac_filter_ch", p.ch, svac_filter_ch, false, false);
    check_intra(ctx, "intra_pred_l_4x4", p.l4, intra_pred_l_4x4, 4, 8, kLumaModes);
    check_intra(ctx, "intra_pred_l", p.l8, intra_pred_l, 8, 8, kLumaModes);
    check_intra(ctx, "intra_pred_c", p.c8, intra_pred_c, 8, 7, kChromaModes);
    refuse_unchecked(ctx, "intra_pred_svc_l", p.svc_l, intra_pred_svc_l);
    refuse_unchecked(ctx, "intra_pred_svc_c", p.svc_c, intra_pred_svc_c);
}

}  // namespace checkasm
