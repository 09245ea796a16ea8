#include "nal_writer.h"

namespace svacenc {

uint8_t nal_header_byte(const NalHeader &h) {
    return static_cast<uint8_t>((h.ref ? 0x40 : 0) | ((h.type & 15) << 2) | (h.encrypted ? 2 : 0) |
                                (h.ext ? 1 : 0));
}

std::vector<uint8_t> add_emulation_prevention(const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> out;
    out.reserve(payload.size() + payload.size() / 64 + 4);
    int zeros = 0;
    for (uint8_t b : payload) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    if (zeros >= 2) out.push_back(3);
    return out;
}

void append_nal(std::vector<uint8_t> &out, const NalHeader &h, const std::vector<uint8_t> &payload) {
    out.insert(out.end(), {0, 0, 1, nal_header_byte(h)});
    if (h.ext) out.push_back(h.ext_byte);
    const std::vector<uint8_t> esc = add_emulation_prevention(payload);
    out.insert(out.end(), esc.begin(), esc.end());
}

}  // namespace svacenc
