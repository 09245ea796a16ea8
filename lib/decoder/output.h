// Output order: which picture a layer hands out next.
#pragma once

#include <cstdint>

struct SvacLayerState;

// The reference slot whose picture number follows the last one handed out;
// failing that, while decoding the newest reference, and while draining the
// newest only when its number is 0. -1 when there is none. The chosen
// picture's number becomes the last one handed out.
int svac_take_output_slot(SvacLayerState &l, bool draining);

// A picture of the layer has completed: a B picture is handed out at once,
// otherwise the reference chosen above. The choice is left in output_frame;
// false when there is none.
bool svac_choose_output(SvacLayerState &l, bool b_picture);
