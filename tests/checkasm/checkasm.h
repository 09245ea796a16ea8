// Shared pieces of the SIMD-against-portable harness: seeded random samples,
// padded canvases, failure reports and timing.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace checkasm {

inline constexpr uint8_t kFill = 0x99;

struct Rng {
    uint64_t s;
    uint32_t next() {
        s += 0x9e3779b97f4a7c15ull;
        uint64_t z = s;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 16);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    int range(int lo, int hi) { return lo + below(hi - lo + 1); }
};

// How the samples of one trial are drawn: uniform, both extremes, the
// extremes mixed, or small steps around a base (which is what makes
// threshold decisions go both ways).
enum class Pattern { uniform, all_max, all_zero, extremes, smooth };

struct SampleGen {
    Pattern pattern;
    int max;
    int base;
    int spread;
    int operator()(Rng &r) const {
        switch (pattern) {
            case Pattern::all_max:
                return max;
            case Pattern::all_zero:
                return 0;
            case Pattern::extremes:
                return r.below(2) ? max : 0;
            case Pattern::smooth: {
                const int v = base + r.range(-spread, spread);
                return v < 0 ? 0 : v > max ? max : v;
            }
            default:
                return r.below(max + 1);
        }
    }
};

inline SampleGen pick_gen(Rng &r, int max) {
    const int p = r.below(10);
    const Pattern pattern = p < 4 ? Pattern::uniform : p < 7 ? Pattern::smooth : static_cast<Pattern>(p - 6);
    return {pattern, max, r.below(max + 1), 1 + r.below(1 << r.below(6))};
}

// A w x h block of `bytes`-sized samples inside 0x99 fill: `margin` lines
// above and below, `pad` bytes left and right, an odd line length when the
// sample size allows it, and optionally a negative stride.
struct Canvas {
    std::vector<uint8_t> mem;
    ptrdiff_t origin = 0, stride = 0;
    int w = 0, h = 0, bytes = 1, pad = 0, margin = 0;

    Canvas() = default;
    Canvas(Rng &r, int w_, int h_, int bytes_, int pad_, int margin_, bool may_flip = false)
        : w(w_), h(h_), bytes(bytes_), pad(pad_), margin(margin_) {
        int line = w * bytes + 2 * pad + bytes * r.below(8);
        if (bytes == 1 && line % 2 == 0) line++;
        const int lines = h + 2 * margin;
        mem.assign(static_cast<size_t>(line) * lines + 64, kFill);
        const ptrdiff_t first = static_cast<ptrdiff_t>(line) * margin + pad + 16;
        if (may_flip && r.below(4) == 0) {
            origin = first + static_cast<ptrdiff_t>(line) * (h - 1);
            stride = -line;
        } else {
            origin = first;
            stride = line;
        }
    }
    uint8_t *at(int x, int y) { return mem.data() + origin + y * stride + x * bytes; }
    int get(int x, int y) const {
        const uint8_t *p = mem.data() + origin + y * stride + x * bytes;
        return bytes == 1 ? *p : p[0] | p[1] << 8;
    }
    void set(int x, int y, int v) {
        uint8_t *p = at(x, y);
        p[0] = static_cast<uint8_t>(v);
        if (bytes == 2) p[1] = static_cast<uint8_t>(v >> 8);
    }
    // Samples x0..x1, y0..y1 (relative to the block, may reach outside it).
    void fill(Rng &r, const SampleGen &g, int x0, int x1, int y0, int y1) {
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++) set(x, y, g(r));
    }
};

// First sample of the block where the two canvases differ, or a byte outside
// it that differs (the unit tests keep the portable kernels inside their
// blocks, so equal bytes there mean untouched padding).
inline std::string compare_canvas(const char *what, const Canvas &a, const Canvas &b) {
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++)
            if (a.get(x, y) != b.get(x, y))
                return std::string(what) + " differs first at x=" + std::to_string(x) +
                       " y=" + std::to_string(y) + ": portable " + std::to_string(a.get(x, y)) + ", SIMD " +
                       std::to_string(b.get(x, y));
    if (a.mem != b.mem) {
        for (size_t i = 0; i < a.mem.size(); i++)
            if (a.mem[i] != b.mem[i])
                return std::string(what) + ": bytes outside the block differ (offset " +
                       std::to_string(static_cast<ptrdiff_t>(i) - a.origin) + " from the block)";
    }
    return {};
}

// Nanoseconds per call of `call`: the best of many short batches, so that
// a batch interrupted by another process on a busy machine does not count.
template <typename Call>
double time_per_call(Call &&call) {
    using clock = std::chrono::steady_clock;
    auto batch = [&](int n) {
        const auto t0 = clock::now();
        for (int i = 0; i < n; i++) call();
        return std::chrono::duration<double, std::nano>(clock::now() - t0).count();
    };
    int n = 16;
    while (n < (1 << 20) && batch(n) < 2e4) n *= 2;
    double best = 1e30;
    for (int rep = 0; rep < 64; rep++) best = std::min(best, batch(n) / n);
    return best;
}

// Run state shared by every family.
struct Context {
    uint64_t seed = 0;
    bool bench = false;
    int trials = 1000;
    int tested = 0, failed = 0;

    Rng rng_for(const std::string &label) const {
        uint64_t h = seed;
        for (char c : label) h = (h ^ static_cast<uint8_t>(c)) * 0x100000001b3ull;
        return Rng{h};
    }
    void report(const std::string &label, const std::string &fault, int trial) {
        std::printf("FAIL %s (trial %d, seed %llu): %s\n", label.c_str(), trial,
                    static_cast<unsigned long long>(seed), fault.c_str());
        failed++;
    }
    void bench_line(const std::string &label, double c_ns, double simd_ns) {
        std::printf("%-44s %9.1f ns %9.1f ns %6.2fx\n", label.c_str(), c_ns, simd_ns, c_ns / simd_ns);
    }
};

// Every entry of `now` that differs from `before` (the portable table).
template <typename Fn, typename Visit>
void for_each_replaced(const std::vector<Fn> &before, const Fn *now, Visit &&visit) {
    for (size_t i = 0; i < before.size(); i++)
        if (now[i] && before[i] != now[i]) visit(static_cast<int>(i), before[i], now[i]);
}

// A replaced entry of a table without a comparison here is a failure, so a
// new SIMD kernel cannot slip in untested.
template <typename Fn>
void refuse_unchecked(Context &ctx, const char *table, const std::vector<Fn> &before, const Fn *now) {
    for_each_replaced(before, now, [&](int i, Fn, Fn) {
        ctx.tested++;
        ctx.report(std::string(table) + "[" + std::to_string(i) + "]",
                   "replaced, but checkasm cannot compare it", 0);
    });
}

// Families of kernels, one per signature; each walks its tables.
struct Snapshot;
void check_mc(Context &ctx, const Snapshot &portable);
void check_dsp(Context &ctx, const Snapshot &portable);

}  // namespace checkasm
