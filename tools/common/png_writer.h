// Snapshots as PNG files (written by libpng).
#pragma once

#include <string>

#include "picture.h"

namespace svactool {

// Colour conversion for snapshots: BT.601 limited range, chroma repeated to
// full resolution, 10-bit samples scaled to 8 bits (>> 2). 4:0:0 pictures
// become 8-bit grey PNGs, the others 8-bit RGB.
bool write_png(const std::string &path, const PictureView &pic, std::string *error);

}  // namespace svactool
