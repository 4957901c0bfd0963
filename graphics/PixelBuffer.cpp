// A small owned pixel table: the copy an effect takes when its source and destination share memory.
#include "graphics/PixelBuffer.h"

#include <algorithm>
#include <cstring>

namespace ruk {

PixelBuffer::PixelBuffer(int32_t width, int32_t height, int32_t bytes_per_pixel)
    : m_width(std::max(width, 0))
    , m_height(std::max(height, 0))
    , m_bytes_per_pixel(bytes_per_pixel)
{
    m_bytes.assign(size_t(m_width) * size_t(m_height) * size_t(m_bytes_per_pixel), 0);
}

PixelBuffer PixelBuffer::copy_of(const PixelView& view)
{
    if (!usable(view))
        return {};
    PixelBuffer copy(view.width, view.height, view.bytes_per_pixel);
    size_t row_bytes = size_t(view.width) * size_t(view.bytes_per_pixel);
    for (int32_t y = 0; y < view.height; ++y)
        std::memcpy(copy.m_bytes.data() + size_t(y) * row_bytes, view.row(y), row_bytes);
    return copy;
}

PixelView PixelBuffer::view()
{
    return PixelView {m_bytes.empty() ? nullptr : m_bytes.data(), m_width, m_height,
        ptrdiff_t(m_width) * m_bytes_per_pixel, m_bytes_per_pixel};
}

bool usable(const PixelView& view)
{
    return view.data && view.width > 0 && view.height > 0
        && (view.bytes_per_pixel == 3 || view.bytes_per_pixel == 4);
}

namespace {

// The first and one-past-last byte addresses the view's pixels occupy.
std::pair<uintptr_t, uintptr_t> byte_span(const PixelView& v)
{
    uintptr_t first = reinterpret_cast<uintptr_t>(v.row(0));
    uintptr_t last = reinterpret_cast<uintptr_t>(v.row(v.height - 1));
    if (last < first)
        std::swap(first, last);
    return {first, last + uintptr_t(v.width) * uintptr_t(v.bytes_per_pixel)};
}

} // namespace

bool views_overlap(const PixelView& a, const PixelView& b)
{
    if (!usable(a) || !usable(b))
        return false;
    auto [a_first, a_end] = byte_span(a);
    auto [b_first, b_end] = byte_span(b);
    return a_first < b_end && b_first < a_end;
}

} // namespace ruk
