// Input pictures for real-mode encoding: a built-in synthetic moving scene,
// or Y4M / raw YUV files, converted to the encoder's size and format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "frame.h"

namespace svacenc {

// Picture `index` of the synthetic scene (gradients, moving shapes, texture)
// at the frame's size and format.
void synthetic_picture(int index, Frame &dst);

// Sample planes as read from a file, before conversion.
struct SourcePicture {
    int width = 0, height = 0;
    int chroma_format_idc = 1;  // 0, 1, 2; 3 (4:4:4) is converted on reading
    int bit_depth = 8;
    std::vector<uint16_t> planes[3];
};

struct InputFile {
    std::FILE *file = nullptr;
    bool owned = false;
    bool y4m = false;
    int width = 0, height = 0;
    int chroma_format_idc = 1;  // of the file: 0 mono, 1 4:2:0, 2 4:2:2, 3 4:4:4
    int bit_depth = 8;
};

// Opens a Y4M file (geometry from its header) or a raw file (geometry from
// the arguments). "-" reads standard input. False with `error` set.
bool open_input(const std::string &path, int width, int height, int chroma_format_idc, int bit_depth,
                InputFile *in, std::string *error);
// Reads the next picture; false at the end of the file or on a short read.
bool read_input(InputFile &in, SourcePicture *pic);
void close_input(InputFile &in);

// Converts a picture to the frame's format, replicating edges to fill the
// coded size (and cropping what does not fit).
void convert_picture(const SourcePicture &src, Frame &dst);

}  // namespace svacenc
