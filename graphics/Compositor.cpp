// Composing the windows of the table into one picture of the screen.
#include "graphics/Compositor.h"

#include "graphics/ScriptWindow.h"

#include <algorithm>

namespace ruk {

namespace {

// Where a window may draw: rectangles in picture coordinates, sorted top
// to bottom, never overlapping. A child inherits its parent's area cut to
// its own outline, as a window system clips children to their parent's
// shape.
using Area = std::vector<OutlineRect>;

Area intersect(const Area& a, const Area& b)
{
    Area out;
    for (const OutlineRect& p : a)
        for (const OutlineRect& q : b) {
            OutlineRect r{std::max(p.left, q.left), std::max(p.top, q.top), std::min(p.right, q.right),
                          std::min(p.bottom, q.bottom)};
            if (!r.empty())
                out.push_back(r);
        }
    return out;
}

uint8_t mix(uint32_t a, uint32_t b, int alpha)
{
    return static_cast<uint8_t>((a * alpha + b * (255 - alpha) + 127) / 255);
}

// The colour a window shows at (x, y) of its client area: the topmost inset
// covering it, else its bitmap.
uint32_t shown_colour(uint32_t own_colour, const std::vector<const WindowInset*>& insets, int32_t x, int32_t y)
{
    for (auto it = insets.rbegin(); it != insets.rend(); ++it) {
        const WindowInset& inset = **it;
        const int32_t ix = x - inset.left, iy = y - inset.top;
        if (ix >= 0 && iy >= 0 && ix < inset.picture.width() && iy < inset.picture.height())
            return inset.picture.pixel(ix, iy);
    }
    return own_colour;
}

void draw_window(Bitmap& out, const WindowTable& table, int index, const WindowRect& screen, const Area& clip,
                 const std::vector<WindowInset>& all_insets)
{
    const ScriptWindow* w = table.window(index);
    if (!w || !w->is_visible())
        return;
    const WindowRecord& r = table.record(index);
    const WindowRect c = w->client_rect();
    const int32_t ox = c.left - screen.left, oy = c.top - screen.top;

    Area own;
    if (r.outline) {
        for (OutlineRect s : r.outline->spans()) {
            s.left = std::max(s.left, 0) + ox;
            s.right = std::min(s.right, c.width) + ox;
            s.top = std::max(s.top, 0) + oy;
            s.bottom = std::min(s.bottom, c.height) + oy;
            if (!s.empty())
                own.push_back(s);
        }
    } else {
        own.push_back(OutlineRect{ox, oy, ox + c.width, oy + c.height});
    }
    const Area area = intersect(own, clip);
    if (area.empty())
        return;

    std::vector<const WindowInset*> insets;
    for (const WindowInset& inset : all_insets)
        if (inset.window == index)
            insets.push_back(&inset);

    const Bitmap& picture = r.backing;
    const int alpha = r.look.alpha.value_or(255);
    for (const OutlineRect& s : area) {
        for (int32_t y = s.top; y < s.bottom; ++y) {
            for (int32_t x = s.left; x < s.right; ++x) {
                const uint32_t own_colour = picture.pixel(x - ox, y - oy);
                if (r.look.colour_key && own_colour == *r.look.colour_key)
                    continue;
                const uint32_t colour = insets.empty() ? own_colour : shown_colour(own_colour, insets, x - ox, y - oy);
                if (alpha >= 255) {
                    out.set_pixel(x, y, colour);
                    continue;
                }
                const uint32_t below = out.pixel(x, y);
                out.set_pixel(x, y,
                              make_colour(mix(colour_red(colour), colour_red(below), alpha),
                                          mix(colour_green(colour), colour_green(below), alpha),
                                          mix(colour_blue(colour), colour_blue(below), alpha)));
            }
        }
    }
    for (int child : table.children(index))
        draw_window(out, table, child, screen, area, all_insets);
}

} // namespace

Bitmap compose_desktop(const WindowTable& table, const WindowRect& screen, const std::vector<WindowInset>& insets)
{
    Bitmap out(std::max(1, screen.width), std::max(1, screen.height), 24);
    out.fill(DesktopBackground);
    const Area all{OutlineRect{0, 0, out.width(), out.height()}};
    for (int index : table.stacking())
        draw_window(out, table, index, screen, all, insets);
    return out;
}

} // namespace ruk
