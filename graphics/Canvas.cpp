// Lines, rectangles, ellipses, polygons, text and icons painted straight into a bitmap's own rows.
#include "graphics/Canvas.h"

#include "graphics/PainterModule.h"

namespace ruk {

CanvasPainter* Canvas::painter() const
{
    return m_shared ? PainterModule::shared().painter() : m_painter;
}

std::optional<PaintSurface> Canvas::surface() const
{
    if (m_bitmap.empty())
        return std::nullopt;
    CanvasPainter* p = painter();
    if (!p)
        return std::nullopt;
    return PaintSurface{m_bitmap.row(0), m_bitmap.width(), m_bitmap.height(), m_bitmap.stride(),
                        m_bitmap.bytes_per_pixel()};
}

bool Canvas::fonts_available()
{
    CanvasPainter* p = PainterModule::shared().painter();
    return p && p->fonts_available();
}

void Canvas::line_to(int32_t x, int32_t y)
{
    if (std::optional<PaintSurface> s = surface())
        painter()->line(*s, m_state, x, y);
    m_state.pen_x = x;
    m_state.pen_y = y;
}

void Canvas::shape(Shape shape, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t corner_w,
                   int32_t corner_h)
{
    if (right - left < 1 || bottom - top < 1)
        return;
    if (std::optional<PaintSurface> s = surface())
        painter()->shape(*s, m_state, shape, left, top, right, bottom, corner_w, corner_h);
}

void Canvas::fill(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (right <= left || bottom <= top)
        return;
    if (std::optional<PaintSurface> s = surface())
        painter()->fill(*s, m_state.brush_colour, left, top, right, bottom);
}

void Canvas::polygon(const std::vector<Point>& points, bool closed)
{
    if (points.empty())
        return;
    if (std::optional<PaintSurface> s = surface())
        painter()->polygon(*s, m_state, points, closed);
}

Canvas::TextSize Canvas::measure(std::string_view text) const
{
    CanvasPainter* p = painter();
    return p ? p->measure(m_state.font, text) : TextSize{};
}

void Canvas::text(int32_t x, int32_t y, std::string_view text)
{
    if (text.empty())
        return;
    if (std::optional<PaintSurface> s = surface())
        painter()->text(*s, m_state.font, x, y, text);
}

std::optional<IconPicture> Canvas::read_icon(const std::string& path, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || width > Bitmap::MaxSide || height > Bitmap::MaxSide)
        return std::nullopt;
    CanvasPainter* p = PainterModule::shared().painter();
    if (!p)
        return std::nullopt;
    std::optional<IconPicture> icon = p->read_icon(path.c_str(), width, height);
    // The module promises the size asked for; anything else is not drawn.
    if (icon && (icon->width != width || icon->height != height ||
                 icon->pixels.size() != size_t(width) * size_t(height)))
        return std::nullopt;
    return icon;
}

void Canvas::picture(const IconPicture& picture, int32_t x, int32_t y)
{
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
        return;
    if (std::optional<PaintSurface> s = surface())
        painter()->picture(*s, picture, x, y);
}

} // namespace ruk
