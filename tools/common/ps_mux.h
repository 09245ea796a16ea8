// MPEG-2 program stream output in the GB/T 28181 style: one pack per
// picture, the first pack with a system header and a program stream map
// naming stream 0xE0 as stream_type 0x80 (SVAC), the picture in PES packets
// of at most 65000 payload bytes, the first carrying the PTS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace svactool {

// Appends the pack of one picture; `pts` counts 90 kHz ticks.
void ps_write_picture(std::vector<uint8_t> *out, const uint8_t *data, size_t size, int64_t pts, bool first);

// Appends the program end code.
void ps_write_end(std::vector<uint8_t> *out);

// CRC-32 of MPEG-2 sections (polynomial 0x04C11DB7, not reflected, no final xor).
uint32_t mpeg_crc32(const uint8_t *data, size_t size);

}  // namespace svactool
