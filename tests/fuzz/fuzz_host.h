// What every fuzz target does with a stream: feed it through the host API as
// a careful host would, read every picture handed out in full over the
// geometry its record reports, and drain both layers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "mem/mem.h"
#include "nal_split.h"
#include "svacdec.h"

namespace svacfuzz {

// Feeding: one NAL unit per call, the rest of the input per call, or pieces
// of 1 to 64 bytes that cut units anywhere.
enum Feed { kPerUnit, kRest, kPieces };

inline volatile uint32_t g_sink;  // keeps the picture reads

// Reads every sample of the record's planes; 10-bit samples must fit 10 bits.
inline void read_picture(const SvacDecOutput &o) {
    if (!o.got_picture) return;
    if (o.width < 16 || o.height < 1 || o.chroma_format_idc < 0 || o.chroma_format_idc > 2 ||
        (o.bit_depth != 8 && o.bit_depth != 10))
        std::abort();
    const int bytes = o.bit_depth > 8 ? 2 : 1;
    uint32_t sum = 0;
    for (int p = 0; p < (o.chroma_format_idc ? 3 : 1); p++) {
        const int w = p ? o.width / 2 : o.width;
        const int h = p && o.chroma_format_idc == 1 ? (o.height + 1) / 2 : o.height;
        if (o.stride[p] < w * bytes) std::abort();
        for (int y = 0; y < h; y++) {
            const uint8_t *row = o.plane[p] + static_cast<int64_t>(y) * o.stride[p];
            for (int x = 0; x < w; x++) {
                if (bytes == 1) {
                    sum += row[x];
                } else {
                    uint16_t v;
                    std::memcpy(&v, row + 2 * x, 2);
                    if (v > 1023) std::abort();
                    sum += v;
                }
            }
        }
    }
    g_sink = sum;
}

// One call over an exact-size copy of [data, data + n); returns its result.
inline int32_t decode_call(void *dec, const uint8_t *data, size_t n, uint32_t mask) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(copy.get(), data, n);
    SvacDecInput in{copy.get(), static_cast<int32_t>(n), mask};
    SvacDecOutput out{};
    SvacDecExtInfo ext{};
    const int32_t r = VQ_SVAC_Dec_Decode(dec, &in, &out, &ext);
    if (r > static_cast<int32_t>(n)) std::abort();
    read_picture(out);
    return r;
}

// Feeds [data, data + n) honouring the consumed counts; after an error the
// next start code is where decoding resumes. `on_call` sees every result.
template <typename F>
void decode_range(void *dec, const uint8_t *data, size_t n, uint32_t mask, F &&on_call) {
    size_t pos = 0;
    while (pos + 3 < n) {
        const int32_t r = decode_call(dec, data + pos, n - pos, mask);
        on_call(r);
        if (r == 0) return;
        pos = r > 0 ? pos + static_cast<size_t>(r) : svactool::find_start_code(data, n, pos + 1);
    }
}

template <typename F>
void feed(void *dec, const uint8_t *data, size_t n, Feed how, uint32_t mask, uint32_t seed, F &&on_call) {
    if (how == kRest) return decode_range(dec, data, n, mask, on_call);
    size_t pos = 0;
    while (pos < n) {
        size_t end;
        if (how == kPerUnit) {
            const svactool::NalChunk c = svactool::next_nal_chunk(data, n, pos);
            if (!c.found) return;
            end = c.end;
        } else {
            seed = seed * 1103515245u + 12345u;
            end = pos + 1 + (seed >> 16) % 64;
            if (end > n) end = n;
        }
        decode_range(dec, data + pos, end - pos, mask, on_call);
        pos = end;
    }
}

// Drains both layers; a layer may hand out its last picture again, so a few
// calls are enough.
inline void drain(void *dec) {
    for (int layer = 0; layer < 2; layer++)
        for (int i = 0; i < 4; i++) {
            SvacDecOutput out{};
            VQ_SVAC_Get_LastFrame(dec, layer, &out);
            if (!out.got_picture) break;
            read_picture(out);
        }
}

// The settings a target reads from the head of its input.
struct Settings {
    Feed how = kPerUnit;
    uint32_t mask = 0;
    uint32_t seed = 0;
};

// First byte: feeding (bits 0-1), layer mask (bits 2-3), key present (bit 4);
// second: the piece seed; with a key, a length byte (0 to 63) and the key.
inline Settings read_settings(void *dec, const uint8_t *&data, size_t &n) {
    Settings s;
    if (n < 2) return s;
    s.how = static_cast<Feed>(data[0] & 3 ? (data[0] & 3) - 1 : 0);
    s.mask = (data[0] >> 2) & 3;
    s.seed = data[1];
    const bool key = data[0] & 16;
    data += 2, n -= 2;
    if (key && n) {
        const size_t len = data[0] & 63;
        const size_t k = len < n - 1 ? len : n - 1;
        VQ_SVAC_Set_Key(dec, data + 1, static_cast<uint32_t>(k));
        data += 1 + k, n -= 1 + k;
    }
    return s;
}

// Pictures stay small enough for many executions per second: any request
// above this fails like an exhausted heap.
inline constexpr uint64_t kFuzzAllocLimit = 16u << 20;

inline bool init() {
    VQ_SVAC_Dec_Init(VQ_SVAC_Dec_GetCPUCaps());
    svac_mem_fail(-1, kFuzzAllocLimit);
    return true;
}

}  // namespace svacfuzz
