// Small pixel tables for the picture tests, with guard bytes after every row.
#pragma once

#include "graphics/PixelView.h"

#include <cstdint>
#include <vector>

namespace ruk::testing {

// A w x h table of pixels in a std::vector. Each row is followed by guard
// bytes of 0xA5, so a test can see whether an algorithm wrote outside.
class Picture {
public:
    static constexpr int Guard = 5;

    Picture(int32_t width, int32_t height, int32_t bytes_per_pixel = 3, uint32_t colour = 0)
        : m_width(width)
        , m_height(height)
        , m_bpp(bytes_per_pixel)
        , m_stride(width * bytes_per_pixel + Guard)
        , m_bytes(size_t(m_stride) * size_t(height), 0xA5)
    {
        fill(colour);
    }

    PixelView view() { return PixelView {m_bytes.data(), m_width, m_height, m_stride, m_bpp}; }

    void fill(uint32_t colour)
    {
        for (int32_t y = 0; y < m_height; ++y)
            for (int32_t x = 0; x < m_width; ++x)
                set(x, y, colour);
    }
    // Colour values as scripts give them: red in the low byte.
    void set(int32_t x, int32_t y, uint32_t colour)
    {
        uint8_t* p = view().pixel(x, y);
        p[0] = colour_blue(colour);
        p[1] = colour_green(colour);
        p[2] = colour_red(colour);
        if (m_bpp == 4)
            p[3] = 0;
    }
    uint32_t at(int32_t x, int32_t y)
    {
        const uint8_t* p = view().pixel(x, y);
        return make_colour(p[2], p[1], p[0]);
    }
    uint8_t* bytes(int32_t x, int32_t y) { return view().pixel(x, y); }
    // True while every guard byte still holds its mark.
    bool guards_intact() const
    {
        for (int32_t y = 0; y < m_height; ++y)
            for (int g = 0; g < Guard; ++g)
                if (m_bytes[size_t(y) * size_t(m_stride) + size_t(m_width * m_bpp + g)] != 0xA5)
                    return false;
        return true;
    }

private:
    int32_t m_width;
    int32_t m_height;
    int32_t m_bpp;
    ptrdiff_t m_stride;
    std::vector<uint8_t> m_bytes;
};

inline uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return make_colour(r, g, b); }

} // namespace ruk::testing
