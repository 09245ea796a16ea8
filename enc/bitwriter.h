// Bit writer for the stream generator: fixed-length fields and zero-order
// Exp-Golomb codes, most significant bit first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace svacenc {

class BitWriter {
  public:
    void put(uint32_t value, int bits);  // u(n), n from 0 to 32
    void put1(bool bit) { put(bit ? 1 : 0, 1); }
    void put_ue(uint32_t value);
    void put_se(int32_t value);
    // Stop bit, then zero bits up to the next byte boundary.
    void put_trailing_bits();
    void align_zero();

    size_t bit_count() const { return bytes_.size() * 8 - (8 - used_) % 8; }
    bool byte_aligned() const { return used_ == 8 || used_ == 0; }
    const std::vector<uint8_t> &bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
    int used_ = 8;  // bits used in the last byte
};

// Bit length of the ue code of v.
int ue_bits(uint32_t v);

}  // namespace svacenc
