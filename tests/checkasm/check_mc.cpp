// Luma interpolation, chroma interpolation and edge emulation entries.
#include "checkasm.h"
#include "snapshot.h"

namespace checkasm {
namespace {

const char *const kSize[2] = {"16x16", "8x8"};

// A canvas with the same geometry as `like`, all fill bytes.
Canvas blank_like(const Canvas &like) {
    Canvas c = like;
    std::fill(c.mem.begin(), c.mem.end(), kFill);
    return c;
}

void check_qpel(Context &ctx, const char *table, const std::vector<SvacQpelFn> &before, const SvacQpelFn *now,
                bool avg) {
    for_each_replaced(before, now, [&](int i, SvacQpelFn c, SvacQpelFn s) {
        const int depth = i / 32, n = (i / 16) % 2 ? 8 : 16, x = i % 4, y = (i % 16) / 4;
        const int bytes = depth ? 2 : 1, max = depth ? 1023 : 255;
        const std::string label = std::string(table) + "[" + std::to_string(i) + "] " + kSize[(i / 16) % 2] +
                                  " mc" + std::to_string(x) + std::to_string(y) + (depth ? " 10-bit" : "");
        Rng r = ctx.rng_for(label);
        ctx.tested++;
        Canvas src, dst;
        for (int t = 0; t < ctx.trials; t++) {
            src = Canvas(r, n, n, bytes, 4 * bytes, 4);
            src.fill(r, pick_gen(r, max), -2, n + 2, -2, n + 2);
            dst = blank_like(src);
            if (avg) dst.fill(r, pick_gen(r, max), 0, n - 1, 0, n - 1);
            Canvas src_b = src, dst_b = dst;
            c(dst.at(0, 0), src.at(0, 0), src.stride);
            s(dst_b.at(0, 0), src_b.at(0, 0), src.stride);
            std::string fault = compare_canvas("prediction", dst, dst_b);
            if (fault.empty() && src_b.mem != src.mem) fault = "the reference was written";
            if (!fault.empty()) return ctx.report(label, fault, t);
        }
        if (ctx.bench)
            ctx.bench_line(label, time_per_call([&] { c(dst.at(0, 0), src.at(0, 0), src.stride); }),
                           time_per_call([&] { s(dst.at(0, 0), src.at(0, 0), src.stride); }));
    });
}

void check_chroma(Context &ctx, const char *table, const std::vector<SvacChromaMcFn> &before,
                  const SvacChromaMcFn *now, bool avg) {
    for_each_replaced(before, now, [&](int i, SvacChromaMcFn c, SvacChromaMcFn s) {
        const int depth = i / 4, w = 8 >> (i % 4);
        const int bytes = depth ? 2 : 1, max = depth ? 1023 : 255;
        const std::string label = std::string(table) + "[" + std::to_string(i) + "] width " +
                                  std::to_string(w) + (depth ? " 10-bit" : "");
        Rng r = ctx.rng_for(label);
        ctx.tested++;
        Canvas src, dst;
        for (int t = 0; t < ctx.trials; t++) {
            const int h = t < 64 ? 1 << (t % 5) : r.range(1, 17);
            const int x = t < 64 ? t % 8 : r.below(8), y = t < 64 ? t / 8 : r.below(8);
            src = Canvas(r, w, h, bytes, 2 * bytes, 2);
            src.fill(r, pick_gen(r, max), 0, x ? w : w - 1, 0, y ? h : h - 1);
            dst = blank_like(src);
            if (avg) dst.fill(r, pick_gen(r, max), 0, w - 1, 0, h - 1);
            Canvas src_b = src, dst_b = dst;
            c(dst.at(0, 0), src.at(0, 0), src.stride, h, x, y);
            s(dst_b.at(0, 0), src_b.at(0, 0), src.stride, h, x, y);
            std::string fault = compare_canvas("prediction", dst, dst_b);
            if (fault.empty() && src_b.mem != src.mem) fault = "the reference was written";
            if (!fault.empty())
                return ctx.report(
                    label + " h=" + std::to_string(h) + " x=" + std::to_string(x) + " y=" + std::to_string(y),
                    fault, t);
        }
        if (ctx.bench) {
            src = Canvas(r, w, 8, bytes, 2 * bytes, 2);
            dst = blank_like(src);
            ctx.bench_line(label + " h=8 x=3 y=5",
                           time_per_call([&] { c(dst.at(0, 0), src.at(0, 0), src.stride, 8, 3, 5); }),
                           time_per_call([&] { s(dst.at(0, 0), src.at(0, 0), src.stride, 8, 3, 5); }));
        }
    });
}

}  // namespace

void check_mc(Context &ctx, const Snapshot &p) {
    check_qpel(ctx, "put_svac_qpel_pixels_tab", p.put_qpel, put_svac_qpel_pixels_tab[0][0], false);
    check_qpel(ctx, "avg_svac_qpel_pixels_tab", p.avg_qpel, avg_svac_qpel_pixels_tab[0][0], true);
    check_chroma(ctx, "put_chroma_pixels_tab", p.put_chroma, put_chroma_pixels_tab[0], false);
    check_chroma(ctx, "avg_chroma_pixels_tab", p.avg_chroma, avg_chroma_pixels_tab[0], true);
    refuse_unchecked(ctx, "emulated_edge_mc", p.edge, emulated_edge_mc);
}

}  // namespace checkasm
