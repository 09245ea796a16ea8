#include "nal_split.h"

#include <cstring>

namespace svactool {

size_t find_start_code(const uint8_t *data, size_t size, size_t from) {
    size_t i = from;
    while (i + 3 <= size) {
        const void *z = std::memchr(data + i, 0, size - i);
        if (!z) return size;
        i = static_cast<size_t>(static_cast<const uint8_t *>(z) - data);
        if (i + 3 > size) return size;
        if (data[i + 1] == 0 && data[i + 2] == 1) return i;
        i++;
    }
    return size;
}

NalChunk next_nal_chunk(const uint8_t *data, size_t size, size_t pos) {
    NalChunk c;
    c.begin = pos;
    c.start_code = find_start_code(data, size, pos);
    c.found = c.start_code < size;
    c.end = c.found ? find_start_code(data, size, c.start_code + 3) : size;
    return c;
}

size_t advance_after_call(const NalChunk &chunk, int32_t result) {
    if (result < 0) return chunk.end;
    const size_t next = chunk.begin + static_cast<size_t>(result);
    if (next <= chunk.start_code || next > chunk.end) return chunk.end;
    return next;
}

}  // namespace svactool
