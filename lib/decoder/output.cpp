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
