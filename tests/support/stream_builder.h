// Helpers for tests that build small streams by hand.
#pragma once

#include <cstdint>
#include <vector>

#include "bitwriter.h"
#include "nal_writer.h"

namespace svactest {

// Ends the payload with its stop bit and packs it as one NAL unit.
inline void add_nal(std::vector<uint8_t> &stream, int type, svacenc::BitWriter bw) {
    bw.put_trailing_bits();
    svacenc::NalHeader h;
    h.type = type;
    svacenc::append_nal(stream, h, bw.bytes());
}

}  // namespace svactest
