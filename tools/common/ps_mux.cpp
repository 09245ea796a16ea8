#include "ps_mux.h"

#include <algorithm>

namespace svactool {

namespace {

constexpr size_t kMaxPayload = 65000;
constexpr uint32_t kMuxRate = 0x3FFF;  // 50-byte units per second: about 6.5 Mbit/s
constexpr uint8_t kVideoId = 0xE0;

void put(std::vector<uint8_t> *out, std::initializer_list<uint8_t> bytes) { out->insert(out->end(), bytes); }

void start(std::vector<uint8_t> *out, uint8_t id) { put(out, {0, 0, 1, id}); }

void put16(std::vector<uint8_t> *out, size_t v) {
    put(out, {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

void pack_header(std::vector<uint8_t> *out, int64_t scr) {
    const auto b = [](int64_t v) { return static_cast<uint8_t>(v); };
    start(out, 0xBA);
    put(out, {b(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 3)), b(scr >> 20),
              b(((scr >> 12) & 0xF8) | 4 | ((scr >> 13) & 3)), b(scr >> 5), b(((scr & 0x1F) << 3) | 4), 1,
              b(kMuxRate >> 14), b(kMuxRate >> 6), b(((kMuxRate & 0x3F) << 2) | 3), 0xF8});
}

void system_header(std::vector<uint8_t> *out) {
    start(out, 0xBB);
    put16(out, 9);
    // Rate bound, one video stream, locked clocks, then the stream's buffer bound.
    put(out, {static_cast<uint8_t>(0x80 | (kMuxRate >> 15)), static_cast<uint8_t>(kMuxRate >> 7),
              static_cast<uint8_t>((kMuxRate << 1) | 1), 0x00, 0xE1, 0x7F, kVideoId, 0xE8, 0x00});
}

void stream_map(std::vector<uint8_t> *out) {
    const size_t begin = out->size();
    start(out, 0xBC);
    put16(out, 14);
    put(out, {0xA0, 0xFF, 0, 0, 0, 4, 0x80, kVideoId, 0, 0});
    const uint32_t crc = mpeg_crc32(out->data() + begin, out->size() - begin);
    put(out, {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
              static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
}

}  // namespace

uint32_t mpeg_crc32(const uint8_t *data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++) {
        crc ^= uint32_t(data[i]) << 24;
        for (int k = 0; k < 8; k++) crc = (crc << 1) ^ (crc & 0x80000000u ? 0x04C11DB7u : 0);
    }
    return crc;
}

void ps_write_picture(std::vector<uint8_t> *out, const uint8_t *data, size_t size, int64_t pts, bool first) {
    // The clock reference leads the presentation by one 25 Hz picture.
    pack_header(out, std::max<int64_t>(0, pts - 3600));
    if (first) {
        system_header(out);
        stream_map(out);
    }
    for (size_t pos = 0; pos < size || pos == 0; pos += kMaxPayload) {
        const size_t n = std::min(kMaxPayload, size - pos);
        const bool stamp = pos == 0;
        start(out, kVideoId);
        put16(out, n + (stamp ? 8 : 3));
        if (stamp) {
            const auto b = [](int64_t v) { return static_cast<uint8_t>(v); };
            put(out, {0x84, 0x80, 5, b(0x21 | ((pts >> 29) & 0x0E)), b(pts >> 22), b((pts >> 14) | 1),
                      b(pts >> 7), b((pts << 1) | 1)});
        } else {
            put(out, {0x80, 0x00, 0});
        }
        out->insert(out->end(), data + pos, data + pos + n);
        if (size == 0) break;
    }
}

void ps_write_end(std::vector<uint8_t> *out) { start(out, 0xB9); }

}  // namespace svactool
