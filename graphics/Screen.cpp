// The "screen" family: monitors, display modes, the work area and screen pixels.
#include "core/Engine.h"
#include "graphics/BitmapReferences.h"
#include "graphics/InputFamilies.h"
#include "graphics/X11Input.h"

#include <algorithm>

namespace ruk {

namespace {

int32_t bound_of(const WindowRect& r, const std::string& which)
{
    if (which == "left")
        return r.left;
    if (which == "top")
        return r.top;
    if (which == "width")
        return r.width;
    return r.height;
}

bool is_bound(const std::string& word)
{
    return word == "left" || word == "top" || word == "width" || word == "height";
}

// The order of attempts scripts rely on: a mode with exactly this size and
// depth; then the depth alone (an X screen cannot change its depth, so a
// depth it does not have ends the attempt with "0"); then the size alone,
// which on failure puts the mode found at the start back.
bool set_resolution(X11Input& desktop, int32_t width, int32_t height, int32_t bits)
{
    if (desktop.depth_supported(bits) && desktop.switch_mode(width, height))
        return true;
    if (!desktop.depth_supported(bits))
        return false;
    if (desktop.switch_mode(width, height))
        return true;
    desktop.restore_mode();
    return false;
}

// "copyto": the bitmap grows to (w, h) and the screen rectangle (sx, sy, w,
// h) is copied in at (dx, dy) as it is; the part of the rectangle that lies
// off the screen (all of it without a display) leaves the bitmap's pixels
// alone, and so does the part that falls beyond the bitmap's edge.
Result copy_screen(Engine& e, X11Input& desktop, BitmapReferences& bitmaps)
{
    NamedBitmap target = bitmaps.resolve(e.word(2));
    if (!target) {
        e.report_error("Invalid image.");
        return std::nullopt;
    }
    const WindowRect screen = desktop.primary_screen();
    const int32_t sx = e.param_int(1, 0);
    const int32_t sy = e.param_int(2, 0);
    const int32_t w = e.param_int(3, screen.width);
    const int32_t h = e.param_int(4, screen.height);
    const int32_t dx = e.param_int(5, 0);
    const int32_t dy = e.param_int(6, 0);
    Bitmap& bitmap = *target.bitmap;
    bitmap.grow(w, h);
    const ScreenImage image = desktop.capture(WindowRect {sx, sy, w, h});
    // The capture starts where the rectangle first meets the screen.
    const int64_t left = int64_t(dx) + std::max<int64_t>(0, -int64_t(sx));
    const int64_t top = int64_t(dy) + std::max<int64_t>(0, -int64_t(sy));
    for (int32_t y = 0; y < image.height; ++y) {
        const int64_t by = top + y;
        if (by < 0 || by >= bitmap.height())
            continue;
        for (int32_t x = 0; x < image.width; ++x) {
            const int64_t bx = left + x;
            if (bx >= 0 && bx < bitmap.width())
                bitmap.set_pixel(int32_t(bx), int32_t(by), image.pixels[size_t(y) * size_t(image.width) + size_t(x)]);
        }
    }
    bitmaps.changed(target);
    return std::nullopt;
}

} // namespace

void register_screen_family(Engine& engine, X11Input& desktop, BitmapReferences& bitmaps)
{
    engine.register_family("screen", [&desktop, &bitmaps](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        const std::string& w2 = e.word(2);
        if (w1 == "monitor") {
            std::vector<WindowRect> monitors = desktop.monitors();
            if (w2 == "count")
                return int_to_text(static_cast<int64_t>(monitors.size()));
            if (is_bound(w2)) {
                const int32_t n = e.param_int(1, 0);
                if (n < 0 || static_cast<size_t>(n) >= monitors.size())
                    return "0";
                return int_to_text(bound_of(monitors[static_cast<size_t>(n)], w2));
            }
            return e.call_function();
        }
        if (w1 == "resolution") {
            if (w2 == "set")
                return flag_to_text(
                    set_resolution(desktop, e.param_int(1, 640), e.param_int(2, 480), e.param_int(3, 24)));
            if (w2 == "restore") {
                desktop.restore_mode();
                return std::nullopt;
            }
            return e.call_function();
        }
        if (w1 == "width" || w1 == "height")
            return int_to_text(bound_of(desktop.primary_screen(), w1));
        if (w1 == "desktop" && is_bound(w2))
            return int_to_text(bound_of(desktop.work_area(), w2));
        if (w1 == "getpixel") {
            std::optional<uint32_t> colour = desktop.pixel(e.param_int(1, 0), e.param_int(2, 0));
            return colour ? int_to_text(*colour) : std::string("-1");
        }
        if (w1 == "copyto")
            return copy_screen(e, desktop, bitmaps);
        return e.call_function();
    });
}

} // namespace ruk
