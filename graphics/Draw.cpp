// The "draw" family: bitmap references, the family-level rows and the shapes.
#include "graphics/Draw.h"

#include "core/Engine.h"
#include "graphics/Blend.h"
#include "graphics/Canvas.h"
#include "graphics/Clipboard.h"
#include "graphics/DrawState.h"
#include "graphics/Effects.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace ruk {

namespace {

// The slot "mem" "exists" and "mem" "delete" look at: |int(P1, 2) + 1|.
int64_t mem_slot(Engine& e) { return std::llabs(int64_t(e.param_int(1, 2)) + 1); }

Result mem_command(Engine& e, DrawState& s)
{
    const std::string& w2 = e.word(2);
    if (w2 == "exists") {
        const int64_t slot = mem_slot(e);
        if (slot > 255)
            return std::string("-1");
        return flag_to_text(s.bitmaps.off_screen().occupied(int32_t(slot)));
    }
    if (w2 == "create") {
        const int32_t slot = s.bitmaps.off_screen().create();
        if (slot < 0)
            return std::string();
        return int_to_text(-(slot + 1));
    }
    if (w2 == "delete") {
        const int64_t slot = mem_slot(e);
        if (slot > 255) {
            e.report_error(MsgInvalidImage);
            return std::nullopt;
        }
        s.bitmaps.off_screen().remove(int32_t(slot));
        return std::string();
    }
    return e.call_function();
}

// An empty parameter keeps the setting.
void keep_or_set(Engine& e, int n, int32_t& setting)
{
    if (!e.param(n).empty())
        setting = e.param_int(n, setting);
}

Result mx_command(Engine& e, DrawState& s)
{
    const std::string& w2 = e.word(2);
    if (w2 == "effects") {
        EffectSettings& fx = s.effects;
        keep_or_set(e, 1, fx.mode);
        keep_or_set(e, 2, fx.x_step);
        keep_or_set(e, 3, fx.y_step);
        for (int k = 0; k < 3; ++k) {
            keep_or_set(e, 4 + k, fx.percent[size_t(k)]);
            keep_or_set(e, 7 + k, fx.source_shift[size_t(k)]);
        }
        keep_or_set(e, 10, fx.cycle_length);
        return std::string();
    }
    if (w2 == "deform") {
        keep_or_set(e, 1, s.deform.top_left);
        keep_or_set(e, 2, s.deform.top_right);
        keep_or_set(e, 3, s.deform.bottom_left);
        keep_or_set(e, 4, s.deform.bottom_right);
        return std::string();
    }
    return e.call_function();
}

Result paint_command(Engine& e, DrawState& s, const DrawTarget& target)
{
    if (target.window < 0) {
        e.report_error(MsgBadWindowIndex);
        return std::nullopt;
    }
    if (e.param(1).empty()) {
        s.bitmaps.windows().repaint(target.window);
        return std::string();
    }
    int32_t width = 0;
    int32_t height = 0;
    s.bitmaps.windows().window_size(target.window, width, height);
    PixelRect from;
    from.x = coordinate(e, 1, 0);
    from.y = coordinate(e, 2, 0);
    from.w = coordinate(e, 3, width - from.x);
    from.h = coordinate(e, 4, height - from.y);
    const PixelRect to {coordinate(e, 5, from.x), coordinate(e, 6, from.y), coordinate(e, 7, from.w),
                        coordinate(e, 8, from.h)};
    s.bitmaps.windows().paint_region(target.window, from, to);
    return std::string();
}

Result line_command(Engine& e, DrawTarget& t)
{
    const int32_t x1 = coordinate(e, 3, 0);
    const int32_t y1 = coordinate(e, 4, 0);
    t.bitmap->grow(x1, y1);
    t.canvas->pen_width = coordinate(e, 5, 1);
    t.canvas->pen_colour = uint32_t(e.param_int(6, 0));
    if (!e.param(1).empty()) {
        t.canvas->pen_x = coordinate(e, 1, 0);
        t.canvas->pen_y = coordinate(e, 2, 0);
    }
    Canvas(*t.bitmap, *t.canvas).line_to(x1, y1);
    return std::string();
}

// Pen and brush of one colour; the brush is clear when the pen has a width.
void solid_shape_state(CanvasState& state, uint32_t colour, int32_t pen_width)
{
    state.pen_colour = colour;
    state.brush_colour = colour;
    state.pen_width = pen_width;
    state.brush_clear = pen_width != 0;
}

// Draws a translucent rectangle or ellipse: the shape goes into a w x h
// picture whose background is a key colour it cannot have, and that picture
// is blended onto (x, y) with the key left out and every channel at the
// opacity (the effect settings keep that percentage afterwards).
void translucent_shape(DrawState& s, DrawTarget& t, Canvas::Shape shape, int32_t x, int32_t y, int32_t w, int32_t h,
                       uint32_t colour, int32_t pen_width, int32_t opacity, int32_t corner_w, int32_t corner_h)
{
    Bitmap picture(w, h, 24);
    if (picture.empty())
        return;
    const uint32_t key = colour != 0 ? 0 : 255;
    picture.fill(key);
    CanvasState state;
    solid_shape_state(state, colour, pen_width);
    const int32_t d = pen_width / 2;
    Canvas(picture, state).shape(shape, d, d, w - d, h - d, corner_w, corner_h);
    s.effects.set_all_percentages(opacity);
    draw_blend(s, *t.bitmap, PixelRect {x, y, w, h}, picture, PixelRect {0, 0, w, h}, true, key);
}

Result rect_command(Engine& e, DrawState& s, DrawTarget& t)
{
    const int32_t x = coordinate(e, 1, 0);
    const int32_t y = coordinate(e, 2, 0);
    const int32_t w = coordinate(e, 3, 50);
    const int32_t h = coordinate(e, 4, 50);
    const auto colour = uint32_t(e.param_int(5, 0));
    const int32_t pen_width = coordinate(e, 6, 0);
    const int32_t opacity = coordinate(e, 7, 100);
    const bool corners = !e.param(8).empty();
    const int32_t corner_w = coordinate(e, 8, 0);
    const int32_t corner_h = coordinate(e, 9, 0);
    const int32_t d = pen_width / 2;
    t.bitmap->grow(x + w, y + h);
    if (opacity == 100) {
        solid_shape_state(*t.canvas, colour, pen_width);
        Canvas canvas(*t.bitmap, *t.canvas);
        if (!corners && pen_width == 0)
            canvas.fill(x, y, x + w, y + h);
        else
            canvas.shape(Canvas::Shape::Rectangle, x + d, y + d, x + w - d, y + h - d, corner_w, corner_h);
    } else if (!corners && pen_width == 0) {
        if (t.bitmap->width() >= x && t.bitmap->height() >= y) {
            t.bitmap->set_pixel_format(24);
            translucent_fill(t.bitmap->view(), x, y, w, h, colour, opacity);
        }
    } else {
        translucent_shape(s, t, Canvas::Shape::Rectangle, x, y, w, h, colour, pen_width, opacity, corner_w, corner_h);
    }
    return std::string();
}

Result ellipse_command(Engine& e, DrawState& s, DrawTarget& t)
{
    const int32_t x = coordinate(e, 1, 0);
    const int32_t y = coordinate(e, 2, 0);
    const int32_t w = coordinate(e, 3, 50);
    const int32_t h = coordinate(e, 4, 50);
    const auto colour = uint32_t(e.param_int(5, 0));
    const int32_t pen_width = coordinate(e, 6, 0);
    const int32_t opacity = coordinate(e, 7, 100);
    const int32_t d = pen_width / 2;
    t.bitmap->grow(x + w, y + h);
    if (opacity == 100) {
        solid_shape_state(*t.canvas, colour, pen_width);
        Canvas(*t.bitmap, *t.canvas).shape(Canvas::Shape::Ellipse, x + d, y + d, x + w - d, y + h - d);
    } else {
        translucent_shape(s, t, Canvas::Shape::Ellipse, x, y, w, h, colour, pen_width, opacity, 0, 0);
    }
    return std::string();
}

Result polygon_command(Engine& e, DrawTarget& t)
{
    const int32_t x = coordinate(e, 1, 0);
    const int32_t y = coordinate(e, 2, 0);
    const auto colour = uint32_t(e.param_int(3, 0));
    std::string_view name = e.param(4);
    if (!name.empty() && name[0] == '&')
        name.remove_prefix(1);
    const int32_t pen_width = coordinate(e, 5, 0);
    const int64_t scale = coordinate(e, 6, 100);
    std::vector<Canvas::Point> points;
    const int32_t number = e.vars().find(name);
    if (number >= 0) {
        const std::vector<std::string>& elements = e.vars().at(number).elements;
        for (size_t i = 0; i + 1 < elements.size(); i += 2) {
            const int64_t px = eval_int(elements[i], 0);
            const int64_t py = eval_int(elements[i + 1], 0);
            points.push_back({int32_t(x + px * scale / 100), int32_t(y + py * scale / 100)});
        }
    }
    solid_shape_state(*t.canvas, colour, pen_width);
    Canvas(*t.bitmap, *t.canvas).polygon(points, pen_width == 0);
    return std::string();
}

Result getpixel_command(Engine& e, const DrawTarget& t)
{
    std::string out = int_to_text(t.bitmap->pixel(coordinate(e, 1, 0), coordinate(e, 2, 0)));
    for (int n = 3; n <= 11 && !e.param(n).empty(); n += 2) {
        out += "^^";
        out += int_to_text(t.bitmap->pixel(coordinate(e, n, 0), coordinate(e, n + 1, 0)));
    }
    return out;
}

Result size_command(Engine& e, const std::string& w2, DrawTarget& t)
{
    Bitmap& bitmap = *t.bitmap;
    if (w2 == "size") {
        bitmap.resize(coordinate(e, 1, 0), coordinate(e, 2, 0));
        return std::string();
    }
    const bool width = w2 == "width";
    if (e.param(1).empty())
        return int_to_text(width ? bitmap.width() : bitmap.height());
    if (width)
        bitmap.resize(coordinate(e, 1, 0), bitmap.height());
    else
        bitmap.resize(bitmap.width(), coordinate(e, 1, 0));
    return std::string();
}

// The per-bitmap rows, tried in their documented order. Nothing is returned
// for a word the family does not know: the caller passes it on.
std::optional<Result> bitmap_command(Engine& e, DrawState& s, DrawTarget& t)
{
    const std::string& w2 = e.word(2);
    if (w2 == "paint")
        return paint_command(e, s, t);
    if (w2 == "rotate")
        return draw_rotate(e, s, t);
    if (w2 == "copyfrom")
        return draw_copy_from(e, s, t);
    if (w2 == "brushfrom")
        return draw_brush_from(e, s, t);
    if (w2 == "line")
        return line_command(e, t);
    if (w2 == "rect")
        return rect_command(e, s, t);
    if (w2 == "ellipse")
        return ellipse_command(e, s, t);
    if (w2 == "polygon")
        return polygon_command(e, t);
    if (w2 == "isegual")
        return draw_compare(e, s, t);
    if (w2 == "getpixel")
        return getpixel_command(e, t);
    if (w2 == "setpixel") {
        t.bitmap->set_pixel(e.param_int(1, 0), e.param_int(2, 0), uint32_t(e.param_int(3, 0)));
        return std::string();
    }
    if (w2 == "copymode") {
        if (std::optional<RasterOp> op = raster_op_from_name(e.param(1)))
            t.canvas->copy_mode = *op;
        return std::string();
    }
    if (w2 == "width" || w2 == "height" || w2 == "size")
        return size_command(e, w2, t);
    if (w2 == "pixelformat") {
        t.bitmap->set_pixel_format(e.param_int(1, -1));
        return std::string();
    }
    if (w2 == "text")
        return draw_text(e, s, t);
    if (w2 == "load")
        return draw_load(e, s, t);
    if (w2 == "save")
        return draw_save(e, s, t);
    return std::nullopt;
}

// Rows that leave a bitmap's pixels as they are, so a window showing it
// need not hear of them.
bool only_reads(Engine& e)
{
    const std::string& w2 = e.word(2);
    if (w2 == "getpixel" || w2 == "save" || w2 == "paint" || w2 == "copymode")
        return true;
    if (w2 == "width" || w2 == "height")
        return e.param(1).empty();
    if (w2 == "text")
        return !e.word(3).empty() && e.word(3) != "ex";
    return false;
}

Result draw_command(Engine& e, DrawState& s)
{
    const std::string& w1 = e.word(1);
    if (w1 == "mem")
        return mem_command(e, s);
    if (w1 == "isequal") {
        if (e.word(2) == "x")
            return int_to_text(s.difference_x);
        if (e.word(2) == "y")
            return int_to_text(s.difference_y);
        return e.call_function();
    }
    if (w1 == "mx")
        return mx_command(e, s);
    DrawTarget target = s.resolve(w1);
    if (!target)
        return e.call_function();
    std::optional<Result> result = bitmap_command(e, s, target);
    if (!result)
        return e.call_function();
    if (!only_reads(e))
        s.bitmaps.changed(target);
    return *result;
}

} // namespace

void register_draw_family(Engine& engine, BitmapReferences& bitmaps)
{
    auto state = std::make_shared<DrawState>(bitmaps);
    engine.register_family("draw", [state](Engine& e) -> Result { return draw_command(e, *state); });
}

} // namespace ruk
