// Small hand-built streams for tests, written with the generator's own
// parameter-set and slice-header writers.
#pragma once

#include <cstdint>
#include <vector>

#include "bitwriter.h"
#include "headers.h"
#include "nal_writer.h"

namespace svactest {

// Ends the payload with its stop bit and packs it as one NAL unit.
inline void add_nal(std::vector<uint8_t> &stream, int type, svacenc::BitWriter bw) {
    bw.put_trailing_bits();
    svacenc::NalHeader h;
    h.type = type;
    svacenc::append_nal(stream, h, bw.bytes());
}

// Sequence set 0 (frames only, 8-bit) and picture set 0 (VLC, quantiser 30,
// free to change per slice, deblocking on).
struct HandBuilt {
    svacenc::SeqParams sps;
    svacenc::PicParams pps;

    HandBuilt(int mb_w, int mb_h, int chroma = 1) {
        sps.mb_width = mb_w;
        sps.mb_height = mb_h;
        sps.chroma_format_idc = chroma;
        pps.pic_qp = 30;
    }

    std::vector<uint8_t> parameter_sets() const {
        std::vector<uint8_t> s;
        svacenc::BitWriter a, b;
        svacenc::write_sps(a, sps);
        add_nal(s, svacenc::NAL_SPS, a);
        svacenc::write_pps(b, pps, sps);
        add_nal(s, svacenc::NAL_PPS, b);
        return s;
    }

    // A slice header (P slices use reference indices); append macroblocks,
    // then pack it with add_nal under NAL_SLICE_KEY or NAL_SLICE.
    svacenc::BitWriter slice(int frame_num, int type = svacenc::SLICE_I, int first_mb = 0,
                             int qp_delta = 0) const {
        svacenc::SliceHeader sh;
        sh.qp_delta = qp_delta;
        sh.frame_num = frame_num;
        sh.keyframe = type == svacenc::SLICE_I;
        sh.slice_type = type;
        sh.first_mb = first_mb;
        svacenc::BitWriter bw;
        svacenc::write_slice_header(bw, sh, pps, sps);
        return bw;
    }
};

// The corner macroblock: I_8X8 with every block coded, predicted modes (DC
// becomes the constant mode without neighbours) and only end-of-block codes
// (code 58 at order 2), so every sample is 128.
inline void flat_mb(svacenc::BitWriter &bw, bool chroma = true) {
    bw.put_ue(1);
    bw.put(0b1111, 4);
    if (chroma) bw.put_ue(0);
    bw.put_se(0);
    for (int i = 0; i < (chroma ? 6 : 4); i++) {
        bw.put_ue(58 >> 2);
        bw.put(58 & 3, 2);
    }
}

}  // namespace svactest
