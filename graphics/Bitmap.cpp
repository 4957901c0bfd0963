// The engine's bitmap: size rules, pixel access and depth changes.
#include "graphics/Bitmap.h"

#include "graphics/PackedImage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ruk {

Bitmap::Bitmap(int32_t width, int32_t height, int32_t bits_per_pixel)
{
    m_bytes_per_pixel = bits_per_pixel == 32 ? 4 : 3;
    m_format = bits_per_pixel == 32 ? 32 : 24;
    resize(width, height);
}

PixelView Bitmap::view()
{
    return PixelView {m_pixels.data(), m_width, m_height, m_stride, m_bytes_per_pixel};
}

PixelView Bitmap::view() const
{
    return PixelView {const_cast<uint8_t*>(m_pixels.data()), m_width, m_height, m_stride, m_bytes_per_pixel};
}

bool Bitmap::grow(int32_t width, int32_t height)
{
    width = std::max(width, m_width);
    height = std::max(height, m_height);
    if (width == m_width && height == m_height)
        return true;
    return resize(width, height);
}

bool Bitmap::resize(int32_t width, int32_t height)
{
    if (width < 0 || height < 0 || width > MaxSide || height > MaxSide)
        return false;
    return reshape(width, height, m_bytes_per_pixel);
}

// Moves the rows into the new layout inside the one buffer. When rows get
// longer they are moved from the bottom up, when shorter from the top down,
// so no row is overwritten before it has been moved. Everything outside the
// kept pixels becomes zero (black).
bool Bitmap::reshape(int32_t width, int32_t height, int32_t bytes_per_pixel)
{
    ptrdiff_t stride = aligned_stride(width, bytes_per_pixel * 8);
    size_t needed = size_t(stride) * size_t(height);
    if (needed > m_pixels.size()) {
        try {
            m_pixels.resize(needed);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    int32_t keep_rows = std::min(height, m_height);
    int32_t keep_columns = std::min(width, m_width);
    uint8_t* base = m_pixels.data();
    auto move_row = [&](int32_t y) {
        uint8_t* to = base + y * stride;
        const uint8_t* from = base + y * m_stride;
        if (bytes_per_pixel == m_bytes_per_pixel) {
            std::memmove(to, from, size_t(keep_columns) * bytes_per_pixel);
        } else if (bytes_per_pixel > m_bytes_per_pixel) {
            // 24 to 32 bits: right to left, the fourth byte becomes 0.
            for (int32_t x = keep_columns - 1; x >= 0; --x) {
                uint8_t b = from[x * 3], g = from[x * 3 + 1], r = from[x * 3 + 2];
                to[x * 4] = b;
                to[x * 4 + 1] = g;
                to[x * 4 + 2] = r;
                to[x * 4 + 3] = 0;
            }
        } else {
            for (int32_t x = 0; x < keep_columns; ++x)
                std::memmove(to + x * 3, from + x * 4, 3);
        }
        size_t kept = size_t(keep_columns) * bytes_per_pixel;
        std::memset(to + kept, 0, size_t(stride) - kept);
    };
    bool longer_rows = stride > m_stride || bytes_per_pixel > m_bytes_per_pixel;
    if (longer_rows) {
        for (int32_t y = keep_rows - 1; y >= 0; --y)
            move_row(y);
    } else {
        for (int32_t y = 0; y < keep_rows; ++y)
            move_row(y);
    }
    if (height > keep_rows)
        std::memset(base + keep_rows * stride, 0, size_t(height - keep_rows) * size_t(stride));
    m_width = width;
    m_height = height;
    m_stride = stride;
    m_bytes_per_pixel = bytes_per_pixel;
    return true;
}

uint32_t Bitmap::pixel(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    const uint8_t* p = row(y) + x * m_bytes_per_pixel;
    return make_colour(p[2], p[1], p[0]);
}

void Bitmap::set_pixel(int32_t x, int32_t y, uint32_t colour)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    uint8_t* p = row(y) + x * m_bytes_per_pixel;
    p[0] = colour_blue(colour);
    p[1] = colour_green(colour);
    p[2] = colour_red(colour);
}

void Bitmap::fill(uint32_t colour)
{
    for (int32_t y = 0; y < m_height; ++y) {
        uint8_t* p = row(y);
        for (int32_t x = 0; x < m_width; ++x, p += m_bytes_per_pixel) {
            p[0] = colour_blue(colour);
            p[1] = colour_green(colour);
            p[2] = colour_red(colour);
        }
    }
}

bool Bitmap::set_pixel_format(int32_t bits)
{
    if (!PackedImage::is_format(bits))
        return false;
    int32_t bytes = bits == 32 ? 4 : 3;
    if (bytes != m_bytes_per_pixel && !reshape(m_width, m_height, bytes))
        return false;
    if (bits < 24)
        reduce_colours(bits);
    m_format = bits;
    return true;
}

// Sends the pixels through the packed form of the lower depth and back, so
// the bitmap holds exactly the colours a file of that depth would.
void Bitmap::reduce_colours(int32_t bits)
{
    auto packed = PackedImage::pack(*this, bits);
    if (!packed)
        return;
    auto reduced = packed->unpack();
    if (!reduced)
        return;
    for (int32_t y = 0; y < m_height; ++y) {
        uint8_t* to = row(y);
        const uint8_t* from = reduced->row(y);
        for (int32_t x = 0; x < m_width; ++x)
            std::memcpy(to + x * m_bytes_per_pixel, from + x * 3, 3);
    }
}

void Bitmap::draw(const Bitmap& source, int32_t x, int32_t y)
{
    int32_t left = std::max(0, x), top = std::max(0, y);
    int32_t right = int32_t(std::min<int64_t>(m_width, int64_t(x) + source.width()));
    int32_t bottom = int32_t(std::min<int64_t>(m_height, int64_t(y) + source.height()));
    if (left >= right || top >= bottom)
        return;
    int32_t sb = source.bytes_per_pixel(), db = m_bytes_per_pixel;
    size_t copied = std::min(sb, db);
    for (int32_t row_y = top; row_y < bottom; ++row_y) {
        const uint8_t* from = source.row(row_y - y) + (left - x) * sb;
        uint8_t* to = row(row_y) + left * db;
        if (sb == db) {
            std::memcpy(to, from, size_t(right - left) * db);
            continue;
        }
        for (int32_t i = left; i < right; ++i, from += sb, to += db)
            std::memcpy(to, from, copied);
    }
}

bool Bitmap::operator==(const Bitmap& other) const
{
    if (m_width != other.m_width || m_height != other.m_height || m_bytes_per_pixel != other.m_bytes_per_pixel)
        return false;
    for (int32_t y = 0; y < m_height; ++y)
        if (std::memcmp(row(y), other.row(y), size_t(m_width) * m_bytes_per_pixel) != 0)
            return false;
    return true;
}

} // namespace ruk
