// A small hand-built stream: a one-macroblock 4:2:0 sequence whose keyframes
// decode to 128 everywhere, and extension units with time stamps (with and
// without a date) and region and alert records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stream_builder.h"
#include "syntax_writer.h"

namespace svactest {

// Sequence set 0 (16x16, 4:2:0, 8-bit, 25 pictures per second) and picture
// set 0.
inline std::vector<uint8_t> one_mb_parameter_sets() {
    HandBuilt h(1, 1);
    h.sps.vui = h.sps.timing = h.sps.timing_fixed = true;
    h.sps.timing_units = 1;
    h.sps.timing_scale = 25;
    return h.parameter_sets();
}

// A keyframe of the one-macroblock sequence, every sample 128.
inline void add_flat_keyframe(std::vector<uint8_t> &s, int frame_num) {
    svacenc::BitWriter bw = HandBuilt(1, 1).slice(frame_num);
    flat_mb(bw);
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

// Sequence and picture set 0 of a scalable stream, base layer mb_w x mb_h
// macroblocks, with regions when `rects` has any.
inline std::vector<uint8_t> scalable_parameter_sets(int mb_w, int mb_h, std::vector<RoiRect> rects = {}) {
    SpsSyntax sps;
    sps.mb_width_minus1 = static_cast<uint32_t>(mb_w - 1);
    sps.mb_height_minus1 = static_cast<uint32_t>(mb_h - 1);
    sps.svc = true;
    sps.roi = !rects.empty();
    PpsSyntax pps;
    pps.roi = pps.svc = sps.roi;
    pps.num_roi = static_cast<uint32_t>(rects.size());
    pps.rects = rects;
    pps.fixed_qp = false;
    std::vector<uint8_t> s;
    add_nal(s, svacenc::NAL_SPS, write_sps(sps));
    add_nal(s, svacenc::NAL_PPS, write_pps(pps));
    return s;
}

// A slice of `mbs` macroblocks of one layer: 8x8 intra with every block
// coded by an end-of-block code only, in a keyframe or a B picture. Base
// macroblocks predict the constant 128, enhancement ones the upsampled base
// picture.
inline std::vector<uint8_t> flat_layer_slice(bool enhancement, int frame_num, int mbs, int first_mb = 0,
                                             bool b_picture = false) {
    svacenc::SeqParams sps;
    sps.svc = true;
    svacenc::SliceHeader sh;
    sh.frame_num = frame_num;
    sh.keyframe = !b_picture;
    sh.slice_type = b_picture ? svacenc::SLICE_B : svacenc::SLICE_I;
    sh.first_mb = first_mb;
    svacenc::BitWriter bw;
    svacenc::write_slice_header(bw, sh, svacenc::PicParams(), sps);
    for (int i = 0; i < mbs; i++) {
        if (b_picture) bw.put_ue(0);  // no skipped macroblock
        bw.put_ue(b_picture ? 24 : 1);
        if (enhancement) {
            bw.put1(true);  // inter-layer prediction
        } else {
            bw.put(0b1111, 4);
            bw.put_ue(0);
        }
        bw.put_se(0);
        for (int b = 0; b < 6; b++) {
            bw.put_ue(58 >> 2);  // end of block
            bw.put(58 & 3, 2);
        }
    }
    std::vector<uint8_t> s;
    add_nal(s, (b_picture ? 1 : 2) + (enhancement ? 2 : 0), bw);
    return s;
}

}  // namespace svactest
