// Hex text <-> bytes for the published vectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sectest {

inline std::vector<uint8_t> from_hex(const std::string &h) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string to_hex(const uint8_t *p, size_t n) {
    static const char *d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; i++) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

inline std::string to_hex(const std::vector<uint8_t> &v) { return to_hex(v.data(), v.size()); }

}  // namespace sectest
