// A tiny MPEG-2 program stream writer for tests, written apart from the
// tools' muxer: units are appended one by one, so a test can cut, resize and
// damage them as it likes.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace svactest {

struct PsWriter {
    std::vector<uint8_t> bytes;

    // Reserved so that g++ 12 sees no insert into an empty vector (a false
    // -Wstringop-overflow).
    PsWriter() { bytes.reserve(1 << 16); }

    void pack(uint64_t scr = 0, int stuffing = 0) {
        const uint8_t h[] = {0,
                             0,
                             1,
                             0xBA,
                             uint8_t(0x44 | (scr >> 30 & 7) << 3 | (scr >> 28 & 3)),
                             uint8_t(scr >> 20),
                             uint8_t((scr >> 15 & 0x1F) << 3 | 4 | (scr >> 13 & 3)),
                             uint8_t(scr >> 5),
                             uint8_t((scr & 0x1F) << 3 | 4),
                             1,
                             0x01,
                             0x89,
                             0xC3,
                             uint8_t(0xF8 | stuffing)};
        bytes.insert(bytes.end(), h, h + sizeof h);
        bytes.resize(bytes.size() + stuffing, 0xFF);
    }
    // A packet with a bare payload (map, padding, system header, ...).
    void packet(uint8_t id, const std::vector<uint8_t> &payload) {
        const uint8_t h[] = {0, 0, 1, id, uint8_t(payload.size() >> 8), uint8_t(payload.size())};
        bytes.insert(bytes.end(), h, h + 6);
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    }
    // A PES packet with an MPEG-2 header, a PTS when pts >= 0 and `extra`
    // stuffing bytes in the header.
    void pes(uint8_t id, const uint8_t *data, size_t size, int64_t pts = -1, int extra = 0) {
        std::vector<uint8_t> p = {0x80, uint8_t(pts >= 0 ? 0x80 : 0), uint8_t((pts >= 0 ? 5 : 0) + extra)};
        if (pts >= 0)
            p.insert(p.end(), {uint8_t(0x21 | (pts >> 30 & 7) << 1), uint8_t(pts >> 22),
                               uint8_t((pts >> 15 & 0x7F) << 1 | 1), uint8_t(pts >> 7),
                               uint8_t((pts & 0x7F) << 1 | 1)});
        p.insert(p.end(), extra, 0xFF);
        p.insert(p.end(), data, data + size);
        packet(id, p);
    }
    // A stream map of (stream_type, stream_id) pairs; the CRC is not checked
    // by readers, so it is left zero.
    void map(const std::vector<std::pair<uint8_t, uint8_t>> &streams) {
        std::vector<uint8_t> p = {0x80, 0x01, 0, 2, 0x0A, 0x00, 0, uint8_t(streams.size() * 6)};
        for (auto [type, id] : streams) p.insert(p.end(), {type, id, 0, 2, 0x0A, 0x00});
        p.insert(p.end(), 4, 0);
        packet(0xBC, p);
    }
};

}  // namespace svactest
