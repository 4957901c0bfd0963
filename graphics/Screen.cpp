// The "screen" family: monitors, display modes, the work area and screen pixels.
#include "core/Engine.h"
#include "graphics/InputFamilies.h"
#include "graphics/X11Input.h"

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

} // namespace

void register_screen_family(Engine& engine, X11Input& desktop)
{
    engine.register_family("screen", [&desktop](Engine& e) -> Result {
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
        if (w1 == "copyto") {
            // FIXME: the screen is captured (X11Input::capture), but the
            // bitmap table that "copyto" writes into does not exist yet;
            // until it does every reference is refused.
            e.report_error("Invalid image.");
            return std::nullopt;
        }
        return e.call_function();
    });
}

} // namespace ruk
