// Packs payloads into NAL units: start code, header byte(s), payload with
// emulation prevention.
#pragma once

#include <cstdint>
#include <vector>

namespace svacenc {

enum NalType : int {
    NAL_SLICE = 1,
    NAL_SLICE_KEY = 2,
    NAL_SLICE_ENH = 3,
    NAL_SLICE_ENH_KEY = 4,
    NAL_EXT = 5,
    NAL_SPS = 7,
    NAL_PPS = 8,
    NAL_SEC = 9,
};

struct NalHeader {
    int type = 0;
    bool ref = true;
    bool encrypted = false;
    bool ext = false;  // a header extension byte follows
    uint8_t ext_byte = 0;
};

uint8_t nal_header_byte(const NalHeader &h);

// Inserts 0x03 after every two zero bytes that are followed by a byte of at
// most 3 (or that end the payload, so it cannot merge with the next start code).
std::vector<uint8_t> add_emulation_prevention(const std::vector<uint8_t> &payload);

// Appends 00 00 01, the header and the escaped payload to `out`.
void append_nal(std::vector<uint8_t> &out, const NalHeader &h, const std::vector<uint8_t> &payload);

}  // namespace svacenc
