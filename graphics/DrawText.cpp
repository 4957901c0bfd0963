// The draw family's "text" rows: drawing and measuring text and the bitmap's font.
#include "core/Engine.h"
#include "graphics/Canvas.h"
#include "graphics/DrawState.h"

#include <algorithm>
#include <cstdlib>

namespace ruk {

namespace {

// "text" with no word 3: text placed in an optional box and aligned.
Result text_in_box(Engine& e, DrawTarget& t)
{
    Canvas canvas(*t.bitmap, *t.canvas);
    const std::string& text = e.param(5);
    const Canvas::TextSize size = canvas.measure(text);
    int32_t left = coordinate(e, 1, 0);
    int32_t top = coordinate(e, 2, 0);
    if (!e.param(3).empty()) {
        const int32_t w = coordinate(e, 3, 0);
        if (e.param(7) == "center")
            left += w / 2 - size.width / 2;
        else if (e.param(7) == "right")
            left += w - size.width;
    }
    if (!e.param(4).empty()) {
        const int32_t h = coordinate(e, 4, 0);
        if (e.param(8) == "center")
            top += h / 2 - size.height / 2;
        else if (e.param(8) == "bottom")
            top += h - size.height;
    }
    t.canvas->font.colour = uint32_t(e.param_int(6, 0));
    t.bitmap->grow(left + size.width, top + size.height);
    canvas.text(left, top, text);
    return std::string();
}

// "text" "ex": a font built from nothing but its parameters becomes the
// bitmap's font; the text is drawn unless word 4 asks for its width only.
Result text_ex(Engine& e, DrawTarget& t)
{
    FontChoice font;
    if (!e.param(5).empty())
        font.pixel_size = std::min(std::abs(coordinate(e, 5, font.pixel_size)), 2000);
    if (!e.param(6).empty())
        font.colour = uint32_t(e.param_int(6, 0));
    if (!e.param(7).empty()) {
        const int32_t weight = e.param_int(7, 400);
        font.weight = weight == 1 ? 700 : weight;
    }
    if (!e.param(8).empty())
        font.char_width = std::min(coordinate(e, 8, 0), 2000);
    if (!e.param(9).empty())
        font.angle_tenths = (coordinate(e, 9, 0) % 360) * 10;
    font.italic = starts_with_1(e.param(10));
    font.underline = starts_with_1(e.param(11));
    font.face = e.param(4);
    t.canvas->font = font;
    Canvas canvas(*t.bitmap, *t.canvas);
    const std::string& text = e.param(3);
    if (e.word(4) != "getwidth")
        canvas.text(coordinate(e, 1, 0), coordinate(e, 2, 0), text);
    return int_to_text(canvas.measure(text).width);
}

} // namespace

Result draw_text(Engine& e, DrawState&, DrawTarget& t)
{
    const std::string& w3 = e.word(3);
    FontChoice& font = t.canvas->font;
    if (w3.empty())
        return text_in_box(e, t);
    if (w3 == "getwidth")
        return int_to_text(Canvas(*t.bitmap, *t.canvas).measure(e.param(1)).width);
    if (w3 == "size") {
        font.pixel_size = FontChoice::pixels_from_points(std::clamp(e.param_int(1, 10), -2000, 2000));
        font.pixel_size = std::abs(font.pixel_size);
        return std::string();
    }
    if (w3 == "height") {
        font.pixel_size = std::min(std::abs(coordinate(e, 1, 10)), 2000);
        return std::string();
    }
    if (w3 == "charset") {
        font.charset = std::clamp(e.param_int(1, 0), 0, 255);
        return std::string();
    }
    if (w3 == "style") {
        font.weight = starts_with_1(e.param(1)) ? 700 : 400;
        font.italic = starts_with_1(e.param(2));
        font.underline = starts_with_1(e.param(3));
        font.strike_out = starts_with_1(e.param(4));
        return std::string();
    }
    if (w3 == "font") {
        font.face = e.param(1);
        if (starts_with_1(e.param(2)))
            font.weight = 700;
        return std::string();
    }
    if (w3 == "ex")
        return text_ex(e, t);
    return e.call_function();
}

} // namespace ruk
