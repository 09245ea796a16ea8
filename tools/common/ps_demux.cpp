#include "ps_demux.h"

#include <algorithm>
#include <cstring>

namespace svactool {

namespace {

constexpr uint8_t kPack = 0xBA, kEnd = 0xB9, kMap = 0xBC;

bool start_code(const uint8_t *p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

// A 33-bit time stamp in five bytes with its three marker bits; -2 when a
// marker is missing.
int64_t time_stamp(const uint8_t *h) {
    if (!(h[0] & 1) || !(h[2] & 1) || !(h[4] & 1)) return -2;
    return int64_t((h[0] >> 1) & 7) << 30 | int64_t(h[1]) << 22 | int64_t(h[2] >> 1) << 15 |
           int64_t(h[3]) << 7 | (h[4] >> 1);
}

// Size of a pack header from its first bytes (at least 14 present); -1 when
// the marker bits say it is damaged.
long pack_header_size(const uint8_t *p) {
    if ((p[4] >> 6) == 1) {  // MPEG-2
        const bool ok = (p[4] & 4) && (p[6] & 4) && (p[8] & 4) && (p[9] & 1) && (p[12] & 3) == 3;
        return ok ? 14 + (p[13] & 7) : -1;
    }
    if ((p[4] >> 4) == 2) {  // MPEG-1
        const bool ok = (p[4] & 1) && (p[6] & 1) && (p[8] & 1) && (p[9] & 0x80) && (p[11] & 1);
        return ok ? 12 : -1;
    }
    return -1;
}

}  // namespace

bool is_program_stream(const uint8_t *data, size_t size) {
    return size >= 4 && start_code(data) && data[3] == kPack;
}

void PsDemuxer::feed(const uint8_t *data, size_t size, std::vector<uint8_t> *es,
                     std::vector<PesTimeStamp> *times) {
    buf_.insert(buf_.end(), data, data + size);
    parse(false, es, times);
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<ptrdiff_t>(pos_));
    pos_ = 0;
}

void PsDemuxer::finish(std::vector<uint8_t> *es, std::vector<PesTimeStamp> *times) {
    parse(true, es, times);
    if (pos_ < buf_.size() && !in_damage_) counts_.truncated++;
    buf_.clear();
    pos_ = 0;
    in_damage_ = false;
}

long PsDemuxer::unit_size(bool at_end) const {
    const uint8_t *p = buf_.data() + pos_;
    const size_t avail = buf_.size() - pos_;
    if (avail < 4) return 0;
    if (!start_code(p)) return -1;
    long n;
    if (p[3] == kPack) {
        if (avail < 14) return 0;
        n = pack_header_size(p);
        if (n < 0) return -1;
    } else if (p[3] == kEnd) {
        n = 4;
    } else if (p[3] < kEnd) {
        return -1;  // a start code inside a pack that no packet begins with
    } else {
        if (avail < 6) return 0;
        n = 6 + (p[4] << 8 | p[5]);
    }
    // The next unit must begin right after this one.
    if (avail >= static_cast<size_t>(n) + 3) return start_code(p + n) ? n : -1;
    return at_end && avail >= static_cast<size_t>(n) ? n : 0;
}

void PsDemuxer::resync() {
    for (size_t i = pos_; i + 4 <= buf_.size(); i++) {
        if (start_code(&buf_[i]) && buf_[i + 3] == kPack) {
            pos_ = i;
            in_damage_ = false;
            return;
        }
    }
    pos_ = std::max(pos_, buf_.size() >= 3 ? buf_.size() - 3 : 0);
}

void PsDemuxer::parse(bool at_end, std::vector<uint8_t> *es, std::vector<PesTimeStamp> *times) {
    for (;;) {
        if (in_damage_) {
            resync();
            if (in_damage_) return;
        }
        const long n = unit_size(at_end);
        if (n == 0) return;
        const uint8_t *p = buf_.data() + pos_;
        bool ok = n > 0;
        if (ok) {
            const int id = p[3];
            if (id == kPack) {
                counts_.packs++;
            } else if (id == kMap) {
                program_stream_map(p, static_cast<size_t>(n));
                counts_.other_packets++;
            } else if (id != kEnd) {
                const bool chosen = map_id_ >= 0      ? id == map_id_
                                    : stream_id_ >= 0 ? id == stream_id_
                                                      : (id & 0xF0) == 0xE0;
                if (!chosen)
                    counts_.other_packets++;
                else if ((ok = video_payload(p, static_cast<size_t>(n), es, times)))
                    stream_id_ = id;
            }
        }
        if (!ok) {
            counts_.damaged++;
            in_damage_ = true;
            pos_++;
            continue;
        }
        pos_ += static_cast<size_t>(n);
    }
}

bool PsDemuxer::video_payload(const uint8_t *p, size_t size, std::vector<uint8_t> *es,
                              std::vector<PesTimeStamp> *times) {
    const uint8_t *q = p + 6, *end = p + size;
    int64_t pts = -1, dts = -1;
    if (q + 3 <= end && (q[0] >> 6) == 2) {  // MPEG-2 PES header
        const int flags = q[1] >> 6, length = q[2];
        const uint8_t *h = q + 3;
        if (flags == 1 || end - h < length || length < (flags == 3 ? 10 : flags == 2 ? 5 : 0)) return false;
        if (flags >= 2) pts = time_stamp(h);
        if (flags == 3) dts = time_stamp(h + 5);
        q = h + length;
    } else {  // MPEG-1: stuffing, buffer size, then the time stamps
        for (int k = 0; q < end && *q == 0xFF && k < 16; k++) q++;
        if (q < end && (*q >> 6) == 1) q += 2;
        if (q >= end) return false;
        const int kind = *q >> 4;
        const long need = kind == 2 ? 5 : kind == 3 ? 10 : *q == 0x0F ? 1 : -1;
        if (need < 0 || end - q < need) return false;
        if (kind >= 2) pts = time_stamp(q);
        if (kind == 3) dts = time_stamp(q + 5);
        q += need;
    }
    if (pts == -2 || dts == -2) return false;
    if (pts >= 0 && times) times->push_back({es_bytes_, pts, dts});
    es->insert(es->end(), q, end);
    es_bytes_ += static_cast<uint64_t>(end - q);
    counts_.video_packets++;
    return true;
}

void PsDemuxer::program_stream_map(const uint8_t *p, size_t size) {
    const uint8_t *q = p + 6;
    const size_t length = size - 6;
    if (length < 10) return;
    size_t i = 4 + (q[2] << 8 | q[3]);
    if (i + 2 > length - 4) return;
    const size_t end = std::min(i + 2 + (q[i] << 8 | q[i + 1]), length - 4);
    for (i += 2; i + 4 <= end; i += 4 + (q[i + 2] << 8 | q[i + 3])) {
        map_types_[q[i + 1]] = q[i];
        if (q[i] == 0x80 && map_id_ < 0) stream_id_ = map_id_ = q[i + 1];
    }
}

}  // namespace svactool
