// The "window" family (the engine window's part of it).
#include "graphics/Window.h"

#include "core/Engine.h"
#include "host/HostState.h"
#include "host/Package.h"
#include "system/Settings.h"

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";

// A reference is "main" or an integer expression naming an occupied slot.
ScriptWindow* resolve(WindowHost& windows, const std::string& reference, int& index)
{
    if (reference.empty())
        return nullptr;
    index = reference == "main" ? 0 : eval_int(reference, -1);
    if (index < 0 || index >= WindowSlots)
        return nullptr;
    return windows.window(index);
}

int count_windows(WindowHost& windows)
{
    int n = 0;
    for (int i = 0; i < WindowSlots; ++i)
        n += windows.window(i) != nullptr;
    return n;
}

struct SavedPositions {
    Registry* registry;
    const PackageHeader* package;
};

Result per_window(Engine& e, ScriptWindow& w, int index, const SavedPositions& saved)
{
    const std::string& op = e.word(2);
    const std::string& sub = e.word(3);
    const std::string& p1 = e.param(1);
    if (op == "title") {
        w.set_title(p1);
        return std::nullopt;
    }
    if (op == "handle")
        return int_to_text(static_cast<int64_t>(w.handle()));
    WindowRect r = w.geometry();
    if (op == "left" || op == "top") {
        if (p1.empty())
            return int_to_text(op == "left" ? r.left : r.top);
        // FIXME: the target position drives motion; without motion the
        // window goes there at once.
        (op == "left" ? r.left : r.top) = e.param_int(1, 0);
        w.set_geometry(r);
        return std::nullopt;
    }
    if (op == "width" || op == "height") {
        if (p1.empty())
            return int_to_text(op == "width" ? r.width : r.height);
        int v = e.param_int(1, 50);
        if (v > MaxSurfaceSide) {
            e.report_error(MsgSurfaceTooLarge);
            return std::nullopt;
        }
        (op == "width" ? r.width : r.height) = v;
        w.set_geometry(r);
        return std::nullopt;
    }
    if (op == "pos" && (sub.empty() || sub == "now")) {
        WindowRect target{e.param_int(1, r.left), e.param_int(2, r.top), e.param_int(3, r.width), e.param_int(4, r.height)};
        if (target.width > MaxSurfaceSide || target.height > MaxSurfaceSide) {
            e.report_error(MsgSurfaceTooLarge);
            return std::nullopt;
        }
        w.set_geometry(target);
        return std::nullopt;
    }
    if (op == "pos" && (sub == "save" || sub == "load")) {
        const std::string name = p1.empty() ? std::to_string(index) : p1;
        if (sub == "save") {
            if (saved.registry && saved.package && r.width > 0 && r.height > 0)
                save_window_position(*saved.registry, *saved.package, name, r);
            return std::nullopt;
        }
        std::optional<WindowRect> rect;
        if (saved.registry && saved.package)
            rect = load_window_position(*saved.registry, *saved.package, name);
        // A saved position is data from outside: a size past the ceiling
        // counts as no saved position.
        if (!rect || rect->width > MaxSurfaceSide || rect->height > MaxSurfaceSide)
            return "0";
        w.set_geometry(*rect);
        w.repaint_now();
        return "1";
    }
    if (op == "visible") {
        if (p1.empty())
            return flag_to_text(w.is_visible());
        w.set_visible(p1 != "0");
        return std::nullopt;
    }
    if (op == "autoclose") {
        w.set_close_switches(starts_with_1(p1), starts_with_1(e.param(2)));
        return std::nullopt;
    }
    if (op == "timer" && sub == "enabled") {
        if (p1.empty())
            return flag_to_text(w.timer_enabled());
        w.set_timer_enabled(starts_with_1(p1));
        return std::nullopt;
    }
    if (op == "timer" && sub == "delay") {
        if (p1.empty())
            return int_to_text(w.timer_interval());
        // A delay of 0 stops the timer; a negative one changes nothing.
        int delay = e.param_int(1, 1000);
        if (delay == 0)
            w.set_timer_enabled(false);
        else if (delay > 0)
            w.set_timer_interval(delay);
        return std::nullopt;
    }
    if (op == "repaint") {
        w.repaint_now();
        return std::nullopt;
    }
    if (op == "close") {
        if (index == 0) {
            e.report_error(MsgBadWindow);
            return std::nullopt;
        }
        w.close_as_user();
        return "1";
    }
    return e.call_function();
}

} // namespace

void register_window_family(Engine& engine, HostState& state, WindowHost& windows, Registry* registry,
                            const PackageHeader* package)
{
    SavedPositions saved{registry, package};
    engine.register_family("window", [&state, &windows, saved](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        if (w1 == "count")
            return int_to_text(count_windows(windows));
        if (w1 == "eventauthor")
            return e.event_author() < 0 ? std::optional<std::string>() : int_to_text(e.event_author());
        if (w1 == "cancelclose") {
            state.cancel_close = starts_with_1(e.param(1));
            return std::nullopt;
        }
        if (w1 == "exists") {
            int index = -1;
            return flag_to_text(resolve(windows, e.param(1), index) != nullptr);
        }
        int index = -1;
        if (ScriptWindow* w = resolve(windows, w1, index))
            return per_window(e, *w, index, saved);
        if (!w1.empty() && e.word(2) == "close")
            return "0"; // closing a window that does not exist
        return e.call_function();
    });
}

} // namespace ruk
