// Cuts a byte stream into decoding calls of one NAL unit each.
//
// Feeding the decoder one NAL unit per call keeps recovery simple: a negative
// result skips exactly that unit, and a picture is handed out as soon as its
// last slice is decoded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace svactool {

// Offset of the first start code (00 00 01) at or after `from`, or `size`.
size_t find_start_code(const uint8_t *data, size_t size, size_t from);

struct NalChunk {
    size_t begin;       // where the call starts (the current position)
    size_t start_code;  // first start code at or after begin
    size_t end;         // next start code after it, or the end of the data
    bool found;         // false when no start code is left
};

// The call to make from position `pos`: bytes [begin, end).
NalChunk next_nal_chunk(const uint8_t *data, size_t size, size_t pos);

// Where to continue after the decoder returned `result` for `chunk`. Always
// beyond the chunk's start code, so nothing is decoded twice and the loop
// ends: a negative result or a count that did not get past the start code
// skips the whole chunk; a count is never trusted beyond the chunk's end.
size_t advance_after_call(const NalChunk &chunk, int32_t result);

}  // namespace svactool
