// Whole-file reads and writes for the command-line tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace svactool {

// Reads a file ("-" for standard input). False with `error` set on failure.
bool read_all(const std::string &path, std::vector<uint8_t> *data, std::string *error);

// Writes a file ("-" for standard output). False with `error` set on failure.
bool write_all(const std::string &path, const std::vector<uint8_t> &data, std::string *error);

}  // namespace svactool
