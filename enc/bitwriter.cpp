#include "bitwriter.h"

namespace svacenc {

void BitWriter::put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; i--) {
        if (used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
        used_++;
    }
}

int ue_bits(uint32_t v) {
    const uint64_t x = static_cast<uint64_t>(v) + 1;
    int n = 0;
    while ((x >> (n + 1)) != 0) n++;
    return 2 * n + 1;
}

void BitWriter::put_ue(uint32_t value) {
    const uint64_t x = static_cast<uint64_t>(value) + 1;
    const int n = (ue_bits(value) - 1) / 2;
    put(0, n);
    // n + 1 bits of x, at most 33: write the top bit separately.
    put(static_cast<uint32_t>(x >> n) & 1, 1);
    put(static_cast<uint32_t>(x & ((uint64_t(1) << n) - 1)), n);
}

void BitWriter::put_se(int32_t value) {
    const uint32_t k = value > 0 ? 2 * static_cast<uint32_t>(value) - 1
                                 : 2 * static_cast<uint32_t>(-static_cast<int64_t>(value));
    put_ue(k);
}

void BitWriter::put_trailing_bits() {
    put1(true);
    align_zero();
}

void BitWriter::align_zero() {
    if (used_ != 8 && used_ != 0) put(0, 8 - used_);
}

}  // namespace svacenc
