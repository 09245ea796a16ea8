// Seeded pseudo-random numbers for the generator's decisions (splitmix64),
// identical on every platform so a seed always gives the same stream.
#pragma once

#include <cstdint>

namespace svacenc {

struct Rng {
    uint64_t state = 0;

    Rng() = default;
    explicit Rng(uint64_t seed) : state(seed) {}

    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in lo..hi inclusive.
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1)); }
    // True with the given chance in percent.
    bool percent(int p) { return range(0, 99) < p; }
};

}  // namespace svacenc
