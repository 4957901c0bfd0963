// A view of pixel rows owned elsewhere: what the pixel algorithms work on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ruk {

// Rows of 24-bit (bytes blue, green, red) or 32-bit (blue, green, red, x)
// pixels, top row first. `stride` is the distance in bytes between the starts
// of two rows and may exceed width * bytes_per_pixel. The view never owns or
// frees the memory; algorithms that take one never read or write outside
// width x height.
struct PixelView {
    uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t stride = 0;
    int32_t bytes_per_pixel = 3;

    uint8_t* row(int32_t y) const { return data + y * stride; }
    uint8_t* pixel(int32_t x, int32_t y) const { return data + y * stride + x * bytes_per_pixel; }
    bool contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// A colour value as scripts give it: red in the low byte, green in the
// second, blue in the third.
inline constexpr uint8_t colour_red(uint32_t c) { return c & 0xFF; }
inline constexpr uint8_t colour_green(uint32_t c) { return (c >> 8) & 0xFF; }
inline constexpr uint8_t colour_blue(uint32_t c) { return (c >> 16) & 0xFF; }
inline constexpr uint32_t make_colour(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (uint32_t(b) << 16); }

} // namespace ruk
