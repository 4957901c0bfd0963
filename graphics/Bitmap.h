// The engine's bitmap: 24- or 32-bit pixels with direct row access, shared by windows and drawing.
#pragma once

#include "graphics/PixelView.h"

#include <cstdint>
#include <vector>

namespace ruk {

// Pixels are stored top row first, each pixel as blue, green, red (and a
// fourth byte at 32 bits per pixel). Rows start on 4-byte boundaries, so a
// row can be handed to a painter or a file writer as it is.
//
// Size rules. `grow` only ever enlarges: width and height each become the
// larger of old and new, the old pixels stay where they were and the new area
// is black. `resize` may also make the bitmap smaller; what lies in both the
// old and the new size is kept. In both cases the memory behind the pixels is
// only ever enlarged, never given back, so a bitmap that is shrunk and grown
// again in an animation does not reallocate. Neither side may exceed
// `MaxSide`; larger requests are refused and leave the bitmap as it was.
//
// Pixel format. Memory always holds 24 or 32 bits per pixel. The format the
// bitmap is said to have (`pixel_format`) can also be 1, 4, 8, 15 or 16 bits:
// switching to one of those reduces the colours to what that format can hold
// (see `PackedImage` for the palettes) and remembers the format, so that a
// file saved "as it is" is written at that depth. Drawing afterwards may put
// other colours in again, as it would on a real bitmap that is converted back
// when painted.
class Bitmap {
public:
    // The largest width or height the engine accepts for a bitmap.
    static constexpr int32_t MaxSide = 16384;

    Bitmap() = default;
    // A black bitmap of the given size at 24 or 32 bits per pixel; a refused
    // size gives an empty bitmap (check `width()`).
    Bitmap(int32_t width, int32_t height, int32_t bits_per_pixel = 24);

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    int32_t bytes_per_pixel() const { return m_bytes_per_pixel; }
    ptrdiff_t stride() const { return m_stride; }
    // 1, 4, 8, 15, 16, 24 or 32: the depth the bitmap is said to have.
    int32_t pixel_format() const { return m_format; }

    uint8_t* row(int32_t y) { return m_pixels.data() + y * m_stride; }
    const uint8_t* row(int32_t y) const { return m_pixels.data() + y * m_stride; }
    PixelView view();
    // A view for reading; the algorithms that take it must not write.
    PixelView view() const;

    // Enlarges to at least width x height; false (nothing changed) when a
    // side would pass MaxSide or memory runs out. Negative sides count as 0.
    bool grow(int32_t width, int32_t height);
    // Sets the size exactly; false (nothing changed) when a side is negative
    // or passes MaxSide, or memory runs out.
    bool resize(int32_t width, int32_t height);

    // Colour values (red in the low byte). Reads outside give 0 (black);
    // writes outside are ignored and never grow the bitmap.
    uint32_t pixel(int32_t x, int32_t y) const;
    void set_pixel(int32_t x, int32_t y, uint32_t colour);
    void fill(uint32_t colour);

    // Switches to 1, 4, 8, 15, 16, 24 or 32 bits per pixel; false for any
    // other value (nothing changed).
    bool set_pixel_format(int32_t bits);

    // Records `bits` as the pixel format without touching the pixels: for
    // readers whose pixels already hold only colours of that depth.
    void assume_pixel_format(int32_t bits) { m_format = bits; }

    // Copies `source` with its top-left corner at (x, y), clipped to this
    // bitmap; the fourth byte is copied when both have one.
    void draw(const Bitmap& source, int32_t x, int32_t y);

    bool operator==(const Bitmap& other) const;

private:
    bool reshape(int32_t width, int32_t height, int32_t bytes_per_pixel);
    void reduce_colours(int32_t bits);

    std::vector<uint8_t> m_pixels;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bytes_per_pixel = 3;
    int32_t m_format = 24;
    ptrdiff_t m_stride = 0;
};

// Bytes per row of `width` pixels of `bits` each, rounded up to 4 bytes.
inline ptrdiff_t aligned_stride(int32_t width, int32_t bits) { return ((ptrdiff_t(width) * bits + 31) / 32) * 4; }

} // namespace ruk
