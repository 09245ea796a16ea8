// Sample areas for kernel tests: only a chosen rectangle is addressable
// (under AddressSanitizer every other byte is poisoned, so a read outside it
// stops the test), and everything around the rectangle is filled with 0x99
// so stray writes show up in any build.
#pragma once

#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class GuardedArea {
  public:
    // Columns c0..c1 and rows r0..r1 (in samples, relative to origin()) are
    // the addressable rectangle; `stride` is in bytes.
    GuardedArea(int sample_size, ptrdiff_t stride, int c0, int c1, int r0, int r1)
        : ps_(sample_size),
          stride_(stride),
          c0_(c0),
          c1_(c1),
          r0_(r0),
          r1_(r1),
          mem_(size_t(stride) * size_t(r1 - r0 + 1 + 2 * kGuardRows), 0x99) {
        // Each row of the rectangle starts on an 8-byte boundary, the
        // poisoning granule, so even the byte just left of it is poisoned.
        static_assert(kPad % 8 == 0);
        origin_ = mem_.data() + kGuardRows * stride_ + kPad - ptrdiff_t(c0) * ps_ - ptrdiff_t(r0) * stride_;
        ASAN_POISON_MEMORY_REGION(mem_.data(), mem_.size());
        for (int r = r0; r <= r1; r++) ASAN_UNPOISON_MEMORY_REGION(row_start(r), row_bytes());
    }
    ~GuardedArea() { ASAN_UNPOISON_MEMORY_REGION(mem_.data(), mem_.size()); }
    GuardedArea(const GuardedArea &) = delete;
    GuardedArea &operator=(const GuardedArea &) = delete;

    uint8_t *origin() { return origin_; }
    ptrdiff_t stride() const { return stride_; }

    int get(int c, int r) const {
        const uint8_t *p = origin_ + ptrdiff_t(r) * stride_ + ptrdiff_t(c) * ps_;
        if (ps_ == 1) return *p;
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    void set(int c, int r, int v) {
        uint8_t *p = origin_ + ptrdiff_t(r) * stride_ + ptrdiff_t(c) * ps_;
        if (ps_ == 1) {
            *p = uint8_t(v);
        } else {
            const uint16_t w = uint16_t(v);
            std::memcpy(p, &w, 2);
        }
    }

    // Number of bytes outside the rectangle that no longer hold 0x99. Lifts
    // the poisoning, so call it after the kernel.
    size_t damaged_guard_bytes() {
        ASAN_UNPOISON_MEMORY_REGION(mem_.data(), mem_.size());
        size_t bad = 0;
        for (size_t k = 0; k < mem_.size(); k++) {
            // Offset from the rectangle's left column on row 0.
            const ptrdiff_t off = ptrdiff_t(k) - (origin_ - mem_.data()) - ptrdiff_t(c0_) * ps_;
            const ptrdiff_t r = floor_div(off, stride_);
            const ptrdiff_t col_byte = off - r * stride_;
            const bool inside = r >= r0_ && r <= r1_ && col_byte >= 0 && col_byte < row_bytes();
            if (!inside && mem_[k] != 0x99) bad++;
        }
        return bad;
    }

  private:
    static constexpr ptrdiff_t kPad = 64;
    static constexpr int kGuardRows = 3;

    static ptrdiff_t floor_div(ptrdiff_t a, ptrdiff_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
    uint8_t *row_start(int r) { return origin_ + ptrdiff_t(r) * stride_ + ptrdiff_t(c0_) * ps_; }
    ptrdiff_t row_bytes() const { return ptrdiff_t(c1_ - c0_ + 1) * ps_; }

    int ps_;
    ptrdiff_t stride_;
    int c0_, c1_, r0_, r1_;
    std::vector<uint8_t> mem_;
    uint8_t *origin_;
};
