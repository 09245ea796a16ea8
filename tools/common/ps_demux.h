// MPEG program stream input: takes packs as they arrive, in pieces of any
// size, and hands out the bytes of one video elementary stream with the time
// stamps of its PES packets.
//
// The video stream is the one the program stream map names with stream_type
// 0x80 (SVAC, as GB/T 28181 carries it) or, until a map says so, the first
// video stream_id (0xE0..0xEF) met. MPEG-2 and MPEG-1 pack and PES headers
// are read. A unit is accepted only when it is followed by a start code or
// the end of the input; anything else is a damaged pack, skipped up to the
// next pack header and counted. Whatever is left incomplete at the end is
// counted as a truncated pack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace svactool {

// True when the data starts with a pack header (00 00 01 BA).
bool is_program_stream(const uint8_t *data, size_t size);

struct PesTimeStamp {
    uint64_t offset;  // elementary-stream byte where the packet's payload begins
    int64_t pts;      // 90 kHz; -1 when absent
    int64_t dts;      // 90 kHz; -1 when absent
};

struct PsCounts {
    uint64_t packs = 0;
    uint64_t video_packets = 0;  // PES packets of the chosen stream
    uint64_t other_packets = 0;  // everything else: other streams, maps, padding
    uint64_t damaged = 0;        // damaged packs skipped
    uint64_t truncated = 0;      // incomplete unit at the end of the input
};

class PsDemuxer {
  public:
    // Appends the elementary-stream bytes that became complete to `es` and
    // their packets' time stamps to `times` (may be null).
    void feed(const uint8_t *data, size_t size, std::vector<uint8_t> *es, std::vector<PesTimeStamp> *times);
    // End of input: the same, then counts what is left as truncated.
    void finish(std::vector<uint8_t> *es, std::vector<PesTimeStamp> *times);

    const PsCounts &counts() const { return counts_; }
    int stream_id() const { return stream_id_; }  // -1 until chosen
    // stream_type of the chosen stream in the map; -1 unknown.
    int stream_type() const { return stream_id_ < 0 ? -1 : map_types_[stream_id_]; }

  private:
    void parse(bool at_end, std::vector<uint8_t> *es, std::vector<PesTimeStamp> *times);
    // Bytes of the unit at pos_: > 0 complete, 0 need more, < 0 damaged.
    long unit_size(bool at_end) const;
    bool video_payload(const uint8_t *p, size_t size, std::vector<uint8_t> *es,
                       std::vector<PesTimeStamp> *times);
    void program_stream_map(const uint8_t *p, size_t size);
    void resync();
    static std::array<int16_t, 256> make_unknown() {
        std::array<int16_t, 256> a;
        a.fill(-1);
        return a;
    }

    std::vector<uint8_t> buf_;
    size_t pos_ = 0;  // first byte not yet consumed
    uint64_t es_bytes_ = 0;
    bool in_damage_ = false;
    int stream_id_ = -1;
    int map_id_ = -1;  // the stream the map names as SVAC
    std::array<int16_t, 256> map_types_ = make_unknown();
    PsCounts counts_;
};

}  // namespace svactool
