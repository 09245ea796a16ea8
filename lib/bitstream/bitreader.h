// Bit reader over a NAL payload: fixed-length fields and Exp-Golomb codes,
// most significant bit first.
//
// Reads never touch memory at or past `buffer_end`: a window that would reach
// it is assembled byte by byte with zero bits past the end, so a damaged
// payload can at worst read zeros.
#pragma once

#include <cstdint>
#include <cstring>

#include "bitstream/golomb_tables.h"

struct SvacBitReader {
    const uint8_t *buffer;
    const uint8_t *buffer_end;
    int32_t index;
    int32_t size_in_bits;
};

// Payloads of this many bits or more are refused.
inline constexpr int32_t SVAC_MAX_PAYLOAD_BITS = 0x7FFFFFF8;

// False for a missing buffer or an oversized payload.
inline bool svac_br_init(SvacBitReader *br, const uint8_t *buf, int32_t size_in_bits) {
    if (!buf || size_in_bits < 0 || size_in_bits >= SVAC_MAX_PAYLOAD_BITS) return false;
    br->buffer = buf;
    br->buffer_end = buf + (size_in_bits + 7) / 8;
    br->index = 0;
    br->size_in_bits = size_in_bits;
    return true;
}

// The 32 bits at the current position.
inline uint32_t svac_br_peek32(const SvacBitReader *br) {
    const uint32_t byte = static_cast<uint32_t>(br->index) >> 3;
    const uint8_t *p = br->buffer + byte;
    const uint32_t avail = static_cast<uint32_t>(br->buffer_end - br->buffer);
    uint32_t w;
    if (SVAC_LIKELY(byte + 4 <= avail)) {
        std::memcpy(&w, p, 4);  // one load; the stream is big-endian
        w = __builtin_bswap32(w);
    } else {
        w = 0;
        for (uint32_t i = 0; i < 4; i++) w = (w << 8) | (byte + i < avail ? br->buffer[byte + i] : 0u);
    }
    return w << (br->index & 7);
}

inline void svac_br_skip(SvacBitReader *br, int n) { br->index += n; }

inline int32_t svac_br_bits_left(const SvacBitReader *br) { return br->size_in_bits - br->index; }

// u(n), n from 1 to 25.
inline uint32_t svac_br_read(SvacBitReader *br, int n) {
    const uint32_t v = svac_br_peek32(br) >> (32 - n);
    br->index += n;
    return v;
}

inline uint32_t svac_br_read1(SvacBitReader *br) { return svac_br_read(br, 1); }

inline uint32_t svac_br_read32(SvacBitReader *br) {
    const uint32_t hi = svac_br_read(br, 16);
    return (hi << 16) | svac_br_read(br, 16);
}

// floor(log2(w)) for w > 0, by the two-step table walk.
inline int svac_br_log2(uint32_t w) {
    int b = 0;
    if (w >= 0x10000) {
        w >>= 16;
        b = 16;
    }
    if (w & 0xFF00) {
        w >>= 8;
        b += 8;
    }
    return b + svac::golomb::kLog2[w];
}

// ue(v): values up to 65534; longer codes report the failed check and give
// -3 with the position already advanced past the code.
inline int32_t svac_br_read_ue(SvacBitReader *br) {
    const uint32_t w = svac_br_peek32(br);
    if (w >= 0x08000000u) {
        const uint32_t i = w >> 23;
        br->index += svac::golomb::kLen[i];
        return svac::golomb::kUe[i];
    }
    const int log = w ? svac_br_log2(w) : 0;
    const int s = 2 * log - 31;
    br->index += 32 - s;
    if (s < 0) {
        svac_report_check("log >= 0", "../../../../lib/bitstream.h", 773);
        return SVAC_ERR_GOLOMB;
    }
    return static_cast<int32_t>(w >> s) - 1;
}

// se(v); the long path reads the code in two windows and reports nothing.
inline int32_t svac_br_read_se(SvacBitReader *br) {
    const uint32_t w = svac_br_peek32(br);
    if (w >= 0x08000000u) {
        const uint32_t i = w >> 23;
        br->index += svac::golomb::kLen[i];
        return svac::golomb::kSe[i];
    }
    const int log = w ? svac_br_log2(w) : 0;
    const int z = 31 - log;
    const int32_t start = br->index;
    br->index += z;
    const uint32_t c = svac_br_peek32(br) >> log;
    br->index = start + 2 * z + 1;
    return (c & 1) ? -static_cast<int32_t>(c / 2) : static_cast<int32_t>(c / 2);
}
