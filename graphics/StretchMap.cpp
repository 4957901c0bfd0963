// Where a stretched, deformed copy reads: the source row and column of every destination pixel.
#include "graphics/StretchMap.h"

#include <algorithm>

namespace ruk {

StretchMap::StretchMap(PixelRect from, PixelRect to, const DeformSettings& deform, int32_t first_column,
                       int32_t end_column)
    : m_from(from)
    , m_to(to)
    , m_deform(deform)
    , m_first_column(first_column)
{
    if (end_column > first_column && to.w > 0) {
        m_columns.resize(size_t(end_column - first_column));
        for (int32_t v = first_column; v < end_column; ++v)
            m_columns[size_t(v - first_column)] = int64_t(from.x) + int64_t(v) * from.w / to.w;
    }
}

int64_t StretchMap::source_row(int32_t h) const
{
    return int64_t(m_from.y) + int64_t(h) * m_from.h / m_to.h;
}

int32_t StretchMap::deform_shift(int32_t v, int32_t h) const
{
    if (!m_deform.active())
        return 0;
    // 128-bit products: a setting, a width and a height from a script can
    // each be near 2^31.
    const __int128 w = m_to.w;
    const __int128 hh = m_to.h;
    const __int128 g = w * hh;
    auto term = [&](int32_t setting, __int128 across, __int128 down) -> int32_t {
        if (setting <= 0)
            return 0;
        return int16_t(int64_t(setting * across * down / g));
    };
    return term(m_deform.top_left, w - v, hh - h) - term(m_deform.top_right, v, hh - h)
        + term(m_deform.bottom_left, w - v, h) - term(m_deform.bottom_right, v, h);
}

StepRange step_range(int64_t lowest, int64_t end, int32_t step)
{
    step = std::max(step, 1);
    int64_t first = std::max<int64_t>(0, lowest);
    first = (first + step - 1) / step * step;
    if (end <= first)
        return {};
    return {int32_t(first), int32_t(end)};
}

StepGrid step_grid(const PixelRect& from, const PixelRect& to, int32_t dst_width, int32_t dst_height, int32_t x_step,
                   int32_t y_step, bool doubled)
{
    auto advance = [doubled](int32_t step) {
        step = std::max(step, 1);
        return doubled && step < INT32_MAX ? step + 1 : step;
    };
    StepGrid grid;
    grid.x_step = advance(x_step);
    grid.y_step = advance(y_step);
    grid.rows = step_range(std::max<int64_t>(-int64_t(to.y), -int64_t(from.y)),
                           std::min<int64_t>(to.h, int64_t(dst_height) - to.y), grid.y_step);
    grid.cols = step_range(std::max<int64_t>(-int64_t(to.x), -int64_t(from.x)),
                           std::min<int64_t>(to.w, int64_t(dst_width) - to.x), grid.x_step);
    return grid;
}

} // namespace ruk
