// The draw family's rows between two bitmaps: copies, tints, quarter turns and comparisons.
#include "core/Engine.h"
#include "graphics/Blend.h"
#include "graphics/DrawState.h"
#include "graphics/Effects.h"
#include "graphics/RasterOps.h"

namespace ruk {

namespace {

// The second bitmap of a command (word 3); reports "Invalid image." when the
// reference names none.
DrawTarget second_bitmap(Engine& e, DrawState& s)
{
    DrawTarget source = s.resolve(e.word(3));
    if (!source)
        e.report_error(MsgInvalidImage);
    return source;
}

// The stretch copy as the family runs it: both pictures at 32 bits per
// pixel, the early stop and the growth of the stretch blend.
void draw_stretch(DrawState& s, Bitmap& destination, PixelRect to, Bitmap& source, PixelRect from)
{
    destination.set_pixel_format(32);
    source.set_pixel_format(32);
    if (source.width() < from.x || source.height() < from.y)
        return;
    source.grow(from.x + from.w, from.y + from.h);
    destination.grow(to.x + to.w, to.y + to.h);
    stretch_copy(destination.view(), to, source.view(), from, s.effects, s.deform);
}

} // namespace

void draw_blend(DrawState& s, Bitmap& destination, PixelRect to, Bitmap& source, PixelRect from, bool transparent,
                int64_t key_colour)
{
    destination.set_pixel_format(24);
    source.set_pixel_format(24);
    if (source.width() < from.x || source.height() < from.y)
        return;
    source.grow(from.x + from.w, from.y + from.h);
    destination.grow(to.x + to.w, to.y + to.h);
    stretch_blend(destination.view(), to, source.view(), from, s.effects, s.deform, transparent, key_colour);
}

Result draw_copy_from(Engine& e, DrawState& s, DrawTarget& t)
{
    DrawTarget source = second_bitmap(e, s);
    if (!source)
        return std::nullopt;
    Bitmap& dst = *t.bitmap;
    Bitmap& src = *source.bitmap;
    if (e.param(1).empty()) {
        if (&dst != &src)
            dst = src;
        return std::string();
    }
    PixelRect from {coordinate(e, 1, 0), coordinate(e, 2, 0), coordinate(e, 3, dst.width()), coordinate(e, 4, dst.height())};
    PixelRect to {coordinate(e, 5, 0), coordinate(e, 6, 0), coordinate(e, 7, from.w), coordinate(e, 8, from.h)};
    const std::string& opacity = e.param(9);
    if (opacity.empty() || (opacity[0] != 'm' && opacity[0] != 'M'))
        s.effects.set_all_percentages(e.param_int(9, 100));
    const bool transparent = starts_with_1(e.param(10));
    dst.grow(to.x + to.w, to.y + to.h);
    if (!s.effects.percentages_all_100() || transparent)
        draw_blend(s, dst, to, src, from, transparent, e.param_int(11, 0));
    else if (from.w == to.w && from.h == to.h)
        raster_copy(dst.view(), to.x, to.y, src.view(), from.x, from.y, from.w, from.h, t.canvas->copy_mode,
                    t.canvas->brush_colour);
    else
        draw_stretch(s, dst, to, src, from);
    return std::string();
}

Result draw_brush_from(Engine& e, DrawState& s, DrawTarget& t)
{
    DrawTarget source = second_bitmap(e, s);
    if (!source)
        return std::nullopt;
    Bitmap& dst = *t.bitmap;
    Bitmap& src = *source.bitmap;
    const int32_t sx = coordinate(e, 1, 0);
    const int32_t sy = coordinate(e, 2, 0);
    const int32_t w = coordinate(e, 3, dst.width());
    const int32_t h = coordinate(e, 4, dst.height());
    const int32_t dx = coordinate(e, 5, 0);
    const int32_t dy = coordinate(e, 6, 0);
    const auto colour = uint32_t(e.param_int(7, 0));
    const int32_t opacity = coordinate(e, 8, 100);
    const std::string& name = e.param(9);
    const Channel channel = name.starts_with('b') ? ChannelBlue : name.starts_with('g') ? ChannelGreen : ChannelRed;
    dst.grow(dx + w, dy + h);
    dst.set_pixel_format(24);
    src.set_pixel_format(24);
    src.grow(sx + w, sy + h);
    dst.grow(dx + w, dy + h);
    tint_through_channel(dst.view(), dx, dy, src.view(), sx, sy, w, h, colour, opacity, channel);
    return std::string();
}

Result draw_rotate(Engine& e, DrawState& s, DrawTarget& t)
{
    DrawTarget source = second_bitmap(e, s);
    if (!source)
        return std::nullopt;
    Bitmap& dst = *t.bitmap;
    source.bitmap->set_pixel_format(32);
    // Turning a bitmap onto itself reads the picture as it was before.
    const Bitmap copy = &dst == source.bitmap ? *source.bitmap : Bitmap();
    const Bitmap& src = &dst == source.bitmap ? copy : *source.bitmap;
    dst.set_pixel_format(32);
    dst.grow(src.height(), src.width());
    rotate_quarter(dst.view(), src.view(), e.param(1) == "0" ? QuarterTurn::CounterClockwise : QuarterTurn::Clockwise);
    return std::string();
}

Result draw_compare(Engine& e, DrawState& s, DrawTarget& t)
{
    DrawTarget other = second_bitmap(e, s);
    if (!other)
        return std::nullopt;
    Bitmap& bitmap = *t.bitmap;
    Bitmap& against = *other.bitmap;
    const int32_t dx = coordinate(e, 1, 0);
    const int32_t dy = coordinate(e, 2, 0);
    const int32_t w = coordinate(e, 3, against.width());
    const int32_t h = coordinate(e, 4, against.height());
    const int32_t sx = coordinate(e, 5, 0);
    const int32_t sy = coordinate(e, 6, 0);
    const auto ignored = uint32_t(e.param_int(7, 0));
    bitmap.set_pixel_format(24);
    against.set_pixel_format(24);
    bitmap.grow(dx + w, dy + h);
    against.grow(sx + w, sy + h);
    std::optional<PixelDifference> difference =
        compare_pixels(bitmap.view(), dx, dy, against.view(), sx, sy, w, h, ignored);
    s.difference_x = difference ? difference->x : 0;
    s.difference_y = difference ? difference->y : 0;
    if (!difference)
        return std::string();
    return int_to_text(difference->colour);
}

} // namespace ruk
