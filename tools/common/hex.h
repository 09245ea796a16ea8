// Hex strings on the command line (cipher keys).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace svactool {

// An even number of hex digits, optionally after 0x; false otherwise.
bool parse_hex(const std::string &s, std::vector<uint8_t> *out);

}  // namespace svactool
