// Message buffering and final padding shared by the Merkle-Damgard digests:
// the compression function always sees whole blocks.
#pragma once

#include <cstdint>
#include <cstring>

// Feeds `len` bytes, compressing each completed block and keeping the rest in
// the state's buffer. The state has `total`, `buf` (B bytes) and `used`.
template <uint32_t B, typename S, typename F>
inline void digest_feed(S *s, const uint8_t *data, int32_t len, F compress) {
    if (len <= 0) return;
    s->total += static_cast<uint32_t>(len);
    uint32_t n = static_cast<uint32_t>(len);
    if (s->used) {
        const uint32_t take = n < B - s->used ? n : B - s->used;
        std::memcpy(s->buf + s->used, data, take);
        s->used += take;
        data += take;
        n -= take;
        if (s->used < B) return;
        compress(s, s->buf);
        s->used = 0;
    }
    for (; n >= B; n -= B, data += B) compress(s, data);
    std::memcpy(s->buf, data, n);
    s->used = n;
}

// Appends the 0x80 byte, zeros and the message length in bits, which fills
// the last 8 bytes (the length field is B / 8 bytes; longer fields keep zero
// high bytes), little-endian for MD5 and big-endian for the SHA family.
template <uint32_t B, typename S, typename F>
inline void digest_pad(S *s, bool big_endian, F compress) {
    const uint64_t bits = s->total * 8;
    s->buf[s->used++] = 0x80;
    if (s->used > B - B / 8) {
        std::memset(s->buf + s->used, 0, B - s->used);
        compress(s, s->buf);
        s->used = 0;
    }
    std::memset(s->buf + s->used, 0, B - s->used);
    for (int i = 0; i < 8; i++) {
        const auto byte = static_cast<uint8_t>(bits >> (8 * i));
        if (big_endian)
            s->buf[B - 1 - i] = byte;
        else
            s->buf[B - 8 + i] = byte;
    }
    compress(s, s->buf);
    s->used = 0;
}
