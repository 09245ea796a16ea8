#include "hex.h"

#include <cctype>
#include <cstdlib>

namespace svactool {

bool parse_hex(const std::string &s, std::vector<uint8_t> *out) {
    const std::string h = (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0) ? s.substr(2) : s;
    if (h.empty() || h.size() % 2) return false;
    out->clear();
    for (size_t i = 0; i < h.size(); i += 2) {
        const std::string byte = h.substr(i, 2);
        if (!std::isxdigit(static_cast<unsigned char>(byte[0])) ||
            !std::isxdigit(static_cast<unsigned char>(byte[1])))
            return false;
        out->push_back(static_cast<uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
    }
    return true;
}

}  // namespace svactool
