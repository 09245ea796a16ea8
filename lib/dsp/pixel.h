// The kernels' sample vocabulary: 8-bit samples are uint8_t, 10-bit samples
// uint16_t words; strides are in bytes.
#pragma once

#include <cstddef>
#include <cstdint>

template <typename Pixel>
inline constexpr int pixel_max = sizeof(Pixel) == 1 ? 255 : 1023;

// v clipped to the sample range.
template <typename Pixel>
inline Pixel clip_pixel(int v) {
    return static_cast<Pixel>(v < 0 ? 0 : v > pixel_max<Pixel> ? pixel_max<Pixel> : v);
}

// Row y of a block whose first row starts at base.
template <typename Pixel>
inline Pixel *pixel_row(uint8_t *base, ptrdiff_t stride, int y) {
    return reinterpret_cast<Pixel *>(base + y * stride);
}

template <typename Pixel>
inline const Pixel *pixel_row(const uint8_t *base, ptrdiff_t stride, int y) {
    return reinterpret_cast<const Pixel *>(base + y * stride);
}
