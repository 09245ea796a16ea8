#include "decoder/output.h"

#include "decoder/decoder.h"

int svac_take_output_slot(SvacLayerState &l, bool draining) {
    const int32_t next = (l.last_output_num + 2) & 0x1FF;
    int slot;
    if (next == l.ref_pic_num[0] && l.ref_frame[0])
        slot = 0;
    else if (next == l.ref_pic_num[1] && l.ref_frame[1])
        slot = 1;
    else if (l.ref_frame[0] && (!draining || l.ref_pic_num[0] == 0))
        slot = 0;
    else
        return -1;
    l.last_output_num = l.ref_pic_num[slot];
    return slot;
}

// Without B pictures references come out in decoding order. With them the
// first P picture of a stream is handed out when it is decoded (no number
// follows the first picture's yet) and again at its display position.
bool svac_choose_output(SvacLayerState &l, bool b_picture) {
    if (b_picture) {
        VQ_SVACDEC_frame_move_ref(&l.output_frame, &l.cur_frame);
        l.last_output_num = l.cur_pic_num;
        return true;
    }
    const int slot = svac_take_output_slot(l, false);
    if (slot < 0) return false;
    VQ_SVACDEC_frame_ref(&l.output_frame, l.ref_frame[slot]);
    return true;
}
