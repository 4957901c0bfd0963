// A small owned pixel table: the copy an effect takes when its source and destination share memory.
#pragma once

#include "graphics/PixelView.h"

#include <vector>

namespace ruk {

// Owns width x height pixels of a fixed byte count, rows packed without
// padding. Effects use it to read a source that they also write, so that a
// bitmap copied, stretched or rotated onto itself reads the picture as it was
// before the copy started.
class PixelBuffer {
public:
    PixelBuffer() = default;
    PixelBuffer(int32_t width, int32_t height, int32_t bytes_per_pixel);

    // A packed copy of every pixel of `view` (nothing when the view is empty).
    static PixelBuffer copy_of(const PixelView& view);

    PixelView view();

private:
    std::vector<uint8_t> m_bytes;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bytes_per_pixel = 3;
};

// True when the view has pixels to work on: data, a positive size and 3 or 4
// bytes per pixel. The effects do nothing with any other view.
bool usable(const PixelView& view);

// True when the memory of the two views' pixels overlaps.
bool views_overlap(const PixelView& a, const PixelView& b);

} // namespace ruk
