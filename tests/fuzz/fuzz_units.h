// Builds NAL units from fuzz input records, so that the fuzzer steers the
// syntax inside units instead of learning start codes, emulation prevention
// and ciphers: each record is a header byte (bits 0-3 NAL type, bit 4 a
// header extension byte, bit 5 enciphered with the key when one is usable),
// a 16-bit big-endian length and that many payload bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "nal_writer.h"
#include "security_writer.h"

namespace svacfuzz {

inline std::vector<uint8_t> units_from_records(const uint8_t *d, size_t n, const svacenc::CipherKey *key) {
    std::vector<uint8_t> out;
    while (n >= 3) {
        svacenc::NalHeader h;
        h.type = d[0] & 15;
        h.ext = d[0] & 16;
        h.ext_byte = d[2];
        const size_t want = d[1] << 8 | d[2];
        const size_t len = want < n - 3 ? want : n - 3;
        const std::vector<uint8_t> payload(d + 3, d + 3 + len);
        if ((d[0] & 32) && key && !svacenc::encipher_payload(payload, *key).empty())
            svacenc::append_encrypted_nal(out, h, payload, *key);
        else
            svacenc::append_nal(out, h, payload);
        d += 3 + len, n -= 3 + len;
    }
    return out;
}

}  // namespace svacfuzz
