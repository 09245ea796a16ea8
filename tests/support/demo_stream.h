// Small hand-built streams: a one-macroblock 4:2:0 sequence whose keyframes
// predict the constant 128 everywhere and carry no residual, so their
// decoded samples follow from the syntax alone, and extension units with
// time stamps (with and without a date) and region and alert records. The
// demo sample is made of both until generated streams replace it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "syntax_writer.h"

namespace svactest {

// Sequence set 0 (16x16, 4:2:0, 8-bit, 25 pictures per second) and picture
// set 0 (VLC, slice QP may change).
inline std::vector<uint8_t> one_mb_parameter_sets() {
    std::vector<uint8_t> s;
    SpsSyntax sps;
    sps.mb_width_minus1 = sps.mb_height_minus1 = 0;
    sps.vui = true;
    sps.timing = true;
    sps.timing_units = 1;
    sps.timing_scale = 25;
    sps.timing_fixed = true;
    add_nal(s, svacenc::NAL_SPS, write_sps(sps));
    PpsSyntax pps;
    pps.fixed_qp = false;
    add_nal(s, svacenc::NAL_PPS, write_pps(pps));
    return s;
}

// A keyframe of the one-macroblock sequence: I_8X8 with predicted modes
// (DC at the picture corner becomes the constant 128) and every block
// ending at once.
inline void add_flat_keyframe(std::vector<uint8_t> &s, int frame_num) {
    svacenc::BitWriter bw;
    bw.put_ue(0);          // pps_id
    bw.put(frame_num, 8);  // frame_num
    bw.put_ue(0);          // keyframe id
    bw.put_ue(0);          // first_mb
    bw.put_ue(2);          // I slice
    bw.put1(false);        // macroblocks may change qp
    bw.put_se(0);          // qp delta
    bw.put1(false);        // no filter override
    bw.put_ue(1);          // I_8X8, every block coded
    for (int b = 0; b < 4; b++) bw.put1(true);  // predicted modes
    bw.put_ue(0);          // chroma DC
    bw.put_se(0);          // qp delta
    for (int b = 0; b < 6; b++) {  // end of block: code 58 of the order-2 table
        bw.put_ue(58 >> 2);
        bw.put(58 & 3, 2);
    }
    add_nal(s, svacenc::NAL_SLICE_KEY, bw);
}

// The canonical bytes of one decoded flat picture (Y, Cb, Cr at 128).
inline std::string flat_picture_bytes() { return std::string(16 * 16 * 3 / 2, '\x80'); }

// Extension unit i of the demo: time stamps 08:30:15+i, a date on the first
// two, a region record in the second and an alert record in the third.
inline void add_demo_time_unit(std::vector<uint8_t> &s, uint32_t i) {
    svacenc::BitWriter bw;
    if (i == 1) put_roi_ext(bw, 2);
    TimeExt t;
    t.hour = 8;
    t.minute = 30;
    t.second = 15 + i;
    t.fraction = 1000 * i;
    t.date = i != 2;
    t.year = 2024;
    t.month = 5;
    t.day = 17;
    t.extra = i;
    put_time_ext(bw, t);
    if (i == 2) put_alert_ext(bw, 1);
    end_extensions(bw);
    add_nal(s, svacenc::NAL_EXT, bw);
}

// Parameter sets and three time-stamp units, no pictures.
inline std::vector<uint8_t> time_stamp_stream() {
    std::vector<uint8_t> s = one_mb_parameter_sets();
    for (uint32_t i = 0; i < 3; i++) add_demo_time_unit(s, i);
    return s;
}

// Parameter sets, then three times a time-stamp unit and a flat keyframe.
inline std::vector<uint8_t> demo_stream() {
    std::vector<uint8_t> s = one_mb_parameter_sets();
    for (uint32_t i = 0; i < 3; i++) {
        add_demo_time_unit(s, i);
        add_flat_keyframe(s, static_cast<int>(i));
    }
    return s;
}

}  // namespace svactest
