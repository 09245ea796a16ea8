// Whole-file reads for the command-line tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace svactool {

// Reads a file ("-" for standard input). False with `error` set on failure.
bool read_all(const std::string &path, std::vector<uint8_t> *data, std::string *error);

}  // namespace svactool
