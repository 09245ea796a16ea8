// A decoder instance driven through the host API, for tests: every input is
// copied into a buffer of exactly its size so that the sanitizers catch any
// read past the caller's bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decoder/decoder.h"
#include "nal_split.h"
#include "svacdec.h"

namespace svactest {

class HostDecoder {
  public:
    explicit HostDecoder(uint32_t cpu_flags = 0) {
        VQ_SVAC_Dec_Init(cpu_flags);
        handle_ = VQ_SVAC_Dec_Open();
    }
    ~HostDecoder() { VQ_SVAC_Dec_Close(handle_); }
    HostDecoder(const HostDecoder &) = delete;
    HostDecoder &operator=(const HostDecoder &) = delete;

    void *handle() const { return handle_; }
    SvacDecoder *state() const { return static_cast<SvacDecoder *>(handle_); }

    // One call over a copy of `bytes`; `out` and `ext` receive the records.
    int32_t decode(const std::vector<uint8_t> &bytes, uint32_t layer_mask = 0) {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
        if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
        SvacDecInput in{exact.get(), static_cast<int32_t>(bytes.size()), layer_mask};
        out = {};
        out.got_picture = -1;  // must be written by every call
        return VQ_SVAC_Dec_Decode(handle_, &in, &out, &ext);
    }

    // decode() with what the library printed captured into `printed`.
    int32_t decode(const std::vector<uint8_t> &bytes, std::string *printed, uint32_t layer_mask = 0) {
        testing::internal::CaptureStdout();
        const int32_t r = decode(bytes, layer_mask);
        *printed = testing::internal::GetCapturedStdout();
        return r;
    }

    // A fresh instance in place of this one.
    void reopen() {
        VQ_SVAC_Dec_Close(handle_);
        handle_ = VQ_SVAC_Dec_Open();
    }

    // Feeds a whole stream one NAL unit per call, as svacdec does, and
    // counts errors and pictures. Returns the number of calls.
    int feed_all(const std::vector<uint8_t> &bytes, int *errors, int *pictures, uint32_t layer_mask = 0) {
        *errors = *pictures = 0;
        size_t pos = 0;
        int calls = 0;
        while (pos < bytes.size()) {
            const svactool::NalChunk c = svactool::next_nal_chunk(bytes.data(), bytes.size(), pos);
            if (!c.found) break;
            const std::vector<uint8_t> unit(bytes.begin() + c.begin, bytes.begin() + c.end);
            const int32_t r = decode(unit, layer_mask);
            calls++;
            if (out.got_picture) (*pictures)++;
            if (r < 0) (*errors)++;
            if (r > static_cast<int32_t>(unit.size())) results_in_bounds = false;
            pos = svactool::advance_after_call(c, r);
        }
        return calls;
    }

    SvacDecOutput out{};
    SvacDecExtInfo ext{};
    bool results_in_bounds = true;  // no count beyond the bytes given

  private:
    void *handle_ = nullptr;
};

}  // namespace svactest
