// Writes parameter-set and extension payloads field by field, for tests that
// build small streams by hand. Written from the syntax tables alone; it
// shares nothing with the decoder's parsers.
#pragma once

#include <cstdint>
#include <vector>

#include "stream_builder.h"

namespace svactest {

struct HrdEntry {
    uint32_t a = 0, b = 0;
    bool flag = false;
};

struct SpsSyntax {
    uint32_t header_byte_0 = 0x11, header_byte_1 = 0x22;
    uint32_t sps_id = 0;
    uint32_t chroma_format_idc = 1;
    uint32_t bit_depth_luma_minus8 = 0, bit_depth_chroma_minus8 = 0;
    uint32_t mb_width_minus1 = 10, mb_height_minus1 = 8;  // 176x144
    bool frame_only = true, roi = false, svc = false;
    bool vui = false;  // then no timing, and HRD entries when hrd is set
    bool hrd = false;
    std::vector<HrdEntry> hrd_entries;
};

inline svacenc::BitWriter write_sps(const SpsSyntax &s) {
    svacenc::BitWriter bw;
    bw.put(s.header_byte_0, 8);
    bw.put(s.header_byte_1, 8);
    bw.put_ue(s.sps_id);
    bw.put(s.chroma_format_idc, 2);
    bw.put_ue(s.bit_depth_luma_minus8);
    bw.put_ue(s.bit_depth_chroma_minus8);
    bw.put_ue(s.mb_width_minus1);
    bw.put_ue(s.mb_height_minus1);
    bw.put1(s.frame_only);
    bw.put1(s.roi);
    bw.put1(s.svc);
    bw.put1(s.vui);
    if (!s.vui) return bw;
    bw.put1(false);
    bw.put1(s.hrd);
    if (s.hrd) {
        bw.put_ue(static_cast<uint32_t>(s.hrd_entries.size() - 1));
        bw.put(0xA5, 8);
        for (const HrdEntry &e : s.hrd_entries) {
            bw.put_ue(e.a);
            bw.put_ue(e.b);
            bw.put1(e.flag);
        }
        bw.put(0x5A5A & 0x7FFF, 15);
        bw.put1(false);
    }
    bw.put_ue(0);
    return bw;
}

struct RoiRect {
    uint32_t first_mb = 0, last_mb = 0;
};

struct PpsSyntax {
    uint32_t pps_id = 0;
    uint32_t sps_id = 0;
    uint32_t pic_qp = 30;
    // Written only when the sequence set has regions (roi_flag) ...
    bool roi = false;
    bool svc = false;      // the sequence is scalable: one more region flag
    bool ten_bit = false;  // 7-bit QP fields
    uint32_t num_roi = 0;  // ... and then the region syntax follows when above 0
    uint32_t roi_qp = 28;
    std::vector<RoiRect> rects;
    bool fixed_qp = true;
};

inline svacenc::BitWriter write_pps(const PpsSyntax &p) {
    svacenc::BitWriter bw;
    const int qp_bits = p.ten_bit ? 7 : 6;
    bw.put_ue(p.pps_id);
    bw.put_ue(p.sps_id);
    bw.put1(false);  // VLC
    bw.put(p.pic_qp, qp_bits);
    if (p.roi) {
        bw.put_ue(p.num_roi);
        if (p.num_roi > 0) {
            bw.put1(false);  // no skipping
            if (p.svc) bw.put1(false);
            bw.put(p.roi_qp, qp_bits);
            for (const RoiRect &r : p.rects) {
                bw.put_ue(r.first_mb);
                bw.put_ue(r.last_mb);
            }
        }
    }
    bw.put1(p.fixed_qp);
    bw.put(0, 2);  // no auxiliary picture, deblocking on
    return bw;
}

struct TimeExt {
    uint32_t hour = 0, minute = 0, second = 0, fraction = 0;
    bool date = false;
    uint32_t year = 2000, month = 1, day = 1;  // year 2000..2127
    uint32_t extra = 0;
};

// Extension records; each appends to `bw`. End the unit with end_extensions().
inline void put_time_ext(svacenc::BitWriter &bw, const TimeExt &t) {
    bw.put(4, 8);
    bw.put(0xDEADBEEF, 32);  // skipped by the reader
    bw.put(t.hour, 5);
    bw.put(t.minute, 6);
    bw.put(t.second, 6);
    bw.put(t.fraction, 14);
    bw.put1(t.date);
    if (t.date) {
        bw.put(t.year - 2000, 7);
        bw.put(t.month, 4);
        bw.put(t.day, 5);
    }
    bw.put(t.extra, 8);
}

inline void put_roi_ext(svacenc::BitWriter &bw, uint32_t count) {
    bw.put(1, 8);
    bw.put(0x01020304, 32);
    bw.put(count, 4);
    bw.put(0, 4);
    for (uint32_t i = 0; i < count; i++) bw.put(0x04000401u + i, 32);
}

inline void put_opaque_ext(svacenc::BitWriter &bw, const std::vector<std::vector<uint8_t>> &records) {
    bw.put(2, 8);
    bw.put(0, 32);
    bw.put(static_cast<uint32_t>(records.size()), 4);
    bw.put(0, 4);
    for (const auto &r : records) {
        bw.put(static_cast<uint32_t>(r.size()), 8);
        for (uint8_t b : r) bw.put(b, 8);
    }
}

inline void put_alert_ext(svacenc::BitWriter &bw, uint32_t count) {
    bw.put(3, 8);
    bw.put(0, 32);
    bw.put(count, 6);
    bw.put(0, 2);
    for (uint32_t i = 0; i < count; i++) bw.put(0x040404, 24);
}

inline void end_extensions(svacenc::BitWriter &bw) { bw.put(0x80, 8); }

// A NAL unit with an arbitrary header byte and an already-escaped body.
inline void add_raw_nal(std::vector<uint8_t> &stream, uint8_t header, const std::vector<uint8_t> &body) {
    stream.insert(stream.end(), {0, 0, 1, header});
    stream.insert(stream.end(), body.begin(), body.end());
}

// The header byte of a NAL unit of `type` (reference flag set).
inline uint8_t nal_header(int type, bool encrypted = false, bool ext = false) {
    return static_cast<uint8_t>(0x40 | (type << 2) | (encrypted ? 2 : 0) | (ext ? 1 : 0));
}

}  // namespace svactest
