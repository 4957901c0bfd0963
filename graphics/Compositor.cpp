// Composing the windows of the table into one picture of the screen.
#include "graphics/Compositor.h"

#include "graphics/ScriptWindow.h"

#include <algorithm>

namespace ruk {

namespace {

struct Clip {
    int32_t left, top, right, bottom;
};

void draw_window(Bitmap& out, const WindowTable& table, int index, const WindowRect& screen, Clip clip)
{
    const ScriptWindow* w = table.window(index);
    if (!w || !w->is_visible())
        return;
    const WindowRecord& r = table.record(index);
    const WindowRect c = w->client_rect();
    const int32_t ox = c.left - screen.left, oy = c.top - screen.top;
    clip = Clip{std::max(clip.left, ox), std::max(clip.top, oy), std::min(clip.right, ox + c.width),
                std::min(clip.bottom, oy + c.height)};
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return;

    std::vector<OutlineRect> spans;
    if (r.outline)
        spans = r.outline->spans();
    else
        spans.push_back(OutlineRect{0, 0, c.width, c.height});
    const Bitmap& picture = r.backing;
    const int alpha = r.look.alpha.value_or(255);
    for (const OutlineRect& s : spans) {
        const int32_t top = std::max(s.top + oy, clip.top), bottom = std::min(s.bottom + oy, clip.bottom);
        const int32_t left = std::max(s.left + ox, clip.left), right = std::min(s.right + ox, clip.right);
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t x = left; x < right; ++x) {
                const uint32_t colour = picture.pixel(x - ox, y - oy);
                if (r.look.colour_key && colour == *r.look.colour_key)
                    continue;
                if (alpha >= 255) {
                    out.set_pixel(x, y, colour);
                    continue;
                }
                const uint32_t below = out.pixel(x, y);
                auto mix = [alpha](uint32_t a, uint32_t b) {
                    return static_cast<uint8_t>((a * alpha + b * (255 - alpha) + 127) / 255);
                };
                out.set_pixel(x, y,
                              make_colour(mix(colour_red(colour), colour_red(below)),
                                          mix(colour_green(colour), colour_green(below)),
                                          mix(colour_blue(colour), colour_blue(below))));
            }
        }
    }
    for (int child : table.children(index))
        draw_window(out, table, child, screen, clip);
}

} // namespace

Bitmap compose_desktop(const WindowTable& table, const WindowRect& screen)
{
    Bitmap out(std::max(1, screen.width), std::max(1, screen.height), 24);
    out.fill(DesktopBackground);
    const Clip all{0, 0, out.width(), out.height()};
    for (int index : table.stacking())
        draw_window(out, table, index, screen, all);
    return out;
}

} // namespace ruk
