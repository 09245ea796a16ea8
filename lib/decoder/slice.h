// Slice header and the macroblock loop of one slice.
#pragma once

struct SvacDecoder;

// 0: the slice completed its picture; 1: the picture is not complete yet;
// negative: an error.
int decode_slice(SvacDecoder *dec);
