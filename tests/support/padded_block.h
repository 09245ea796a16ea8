// A block of samples inside a canvas of fill bytes, so that tests can check
// a kernel wrote nothing outside its block.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace svactest {

template <typename T>
class PaddedBlock {
public:
    static constexpr uint8_t kFill = 0x99;

    // w x h samples; each line has extra_bytes of padding (a multiple of the
    // sample size) split between its two ends, and `margin` padded lines lie
    // above and below. A negative stride puts row 0 at the bottom.
    PaddedBlock(int w, int h, int extra_bytes, bool negative_stride, int margin = 2)
        : w_(w), h_(h) {
        const int line = w * static_cast<int>(sizeof(T)) + extra_bytes;
        const int lines = h + 2 * margin;
        bytes_.assign(static_cast<size_t>(line) * lines + 2 * line, kFill);
        const size_t first =
            static_cast<size_t>(line) * (margin + 1) + extra_bytes / 2 / sizeof(T) * sizeof(T);
        if (negative_stride) {
            origin_ = first + static_cast<size_t>(line) * (h - 1);
            stride_ = -line;
        } else {
            origin_ = first;
            stride_ = line;
        }
    }

    uint8_t *origin() { return bytes_.data() + origin_; }
    int stride() const { return stride_; }
    int width() const { return w_; }
    int height() const { return h_; }

    T get(int x, int y) const {
        T v;
        std::memcpy(&v, bytes_.data() + offset(x, y), sizeof(T));
        return v;
    }
    void set(int x, int y, T v) { std::memcpy(bytes_.data() + offset(x, y), &v, sizeof(T)); }

    // Number of bytes outside the block that no longer hold the fill byte.
    int damaged_padding() const {
        std::vector<bool> inside(bytes_.size(), false);
        for (int y = 0; y < h_; y++)
            for (size_t b = 0; b < w_ * sizeof(T); b++) inside[offset(0, y) + b] = true;
        int damaged = 0;
        for (size_t i = 0; i < bytes_.size(); i++) damaged += !inside[i] && bytes_[i] != kFill;
        return damaged;
    }

private:
    size_t offset(int x, int y) const {
        return origin_ + static_cast<ptrdiff_t>(y) * stride_ + static_cast<size_t>(x) * sizeof(T);
    }

    int w_, h_;
    int stride_ = 0;
    size_t origin_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace svactest
