// The "window" family (the engine window's part of it).
#include "graphics/Window.h"

#include "core/Engine.h"
#include "host/HostState.h"
#include "host/Main.h"
#include "host/Package.h"
#include "system/Settings.h"

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";

// A reference is "main" or an integer expression naming an occupied slot.
TrukEngineWin* resolve(const WindowLookup& lookup, const std::string& reference, int& index)
{
    if (reference.empty())
        return nullptr;
    index = reference == "main" ? 0 : eval_int(reference, -1);
    if (index < 0 || index >= WindowSlots)
        return nullptr;
    return lookup(index);
}

int count_windows(const WindowLookup& lookup)
{
    int n = 0;
    for (int i = 0; i < WindowSlots; ++i)
        n += lookup(i) != nullptr;
    return n;
}

struct SavedPositions {
    Registry* registry;
    const PackageHeader* package;
};

Result per_window(Engine& e, TrukEngineWin& w, int index, const SavedPositions& saved)
{
    const std::string& op = e.word(2);
    const std::string& sub = e.word(3);
    const std::string& p1 = e.param(1);
    if (op == "title") {
        w.setWindowTitle(QString::fromUtf8(p1.data(), static_cast<qsizetype>(p1.size())));
        return std::nullopt;
    }
    if (op == "handle")
        return int_to_text(static_cast<int64_t>(w.winId()));
    if (op == "left" || op == "top") {
        if (p1.empty())
            return int_to_text(op == "left" ? w.x() : w.y());
        // FIXME: the target position drives motion; without motion the
        // window goes there at once.
        int v = e.param_int(1, 0);
        w.move(op == "left" ? v : w.x(), op == "left" ? w.y() : v);
        return std::nullopt;
    }
    if (op == "width" || op == "height") {
        if (p1.empty())
            return int_to_text(op == "width" ? w.width() : w.height());
        int v = e.param_int(1, 50);
        if (v > MaxSurfaceSide) {
            e.report_error(MsgSurfaceTooLarge);
            return std::nullopt;
        }
        w.resize(op == "width" ? v : w.width(), op == "width" ? w.height() : v);
        return std::nullopt;
    }
    if (op == "pos" && (sub.empty() || sub == "now")) {
        int left = e.param_int(1, w.x()), top = e.param_int(2, w.y());
        int width = e.param_int(3, w.width()), height = e.param_int(4, w.height());
        if (width > MaxSurfaceSide || height > MaxSurfaceSide) {
            e.report_error(MsgSurfaceTooLarge);
            return std::nullopt;
        }
        w.setGeometry(left, top, width, height);
        return std::nullopt;
    }
    if (op == "pos" && (sub == "save" || sub == "load")) {
        const std::string name = p1.empty() ? std::to_string(index) : p1;
        if (sub == "save") {
            if (saved.registry && saved.package && w.width() > 0 && w.height() > 0)
                save_window_position(*saved.registry, *saved.package, name,
                                     WindowRect{w.x(), w.y(), w.width(), w.height()});
            return std::nullopt;
        }
        std::optional<WindowRect> rect;
        if (saved.registry && saved.package)
            rect = load_window_position(*saved.registry, *saved.package, name);
        // A saved position is data from outside: a size past the ceiling
        // counts as no saved position.
        if (!rect || rect->width > MaxSurfaceSide || rect->height > MaxSurfaceSide)
            return "0";
        w.setGeometry(rect->left, rect->top, rect->width, rect->height);
        w.repaint();
        return "1";
    }
    if (op == "visible") {
        if (p1.empty())
            return flag_to_text(w.isVisible());
        w.setVisible(p1 != "0");
        return std::nullopt;
    }
    if (op == "autoclose") {
        w.close_on_escape = starts_with_1(p1);
        w.close_on_right_click = starts_with_1(e.param(2));
        return std::nullopt;
    }
    if (op == "timer" && sub == "enabled") {
        if (p1.empty())
            return flag_to_text(w.window_timer().isActive());
        if (starts_with_1(p1))
            w.window_timer().start();
        else
            w.window_timer().stop();
        return std::nullopt;
    }
    if (op == "timer" && sub == "delay") {
        if (p1.empty())
            return int_to_text(w.window_timer().interval());
        // A delay of 0 stops the timer; a negative one changes nothing.
        int delay = e.param_int(1, 1000);
        if (delay == 0)
            w.window_timer().stop();
        else if (delay > 0)
            w.window_timer().setInterval(delay);
        return std::nullopt;
    }
    if (op == "repaint") {
        w.repaint();
        return std::nullopt;
    }
    if (op == "close") {
        if (index == 0) {
            e.report_error(MsgBadWindow);
            return std::nullopt;
        }
        w.close_window();
        return "1";
    }
    return e.call_function();
}

} // namespace

void register_window_family(Engine& engine, HostState& state, WindowLookup lookup, Registry* registry,
                            const PackageHeader* package)
{
    SavedPositions saved{registry, package};
    engine.register_family("window", [&state, lookup, saved](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        if (w1 == "count")
            return int_to_text(count_windows(lookup));
        if (w1 == "eventauthor")
            return e.event_author() < 0 ? std::optional<std::string>() : int_to_text(e.event_author());
        if (w1 == "cancelclose") {
            state.cancel_close = starts_with_1(e.param(1));
            return std::nullopt;
        }
        if (w1 == "exists") {
            int index = -1;
            return flag_to_text(resolve(lookup, e.param(1), index) != nullptr);
        }
        int index = -1;
        if (TrukEngineWin* w = resolve(lookup, w1, index))
            return per_window(e, *w, index, saved);
        if (!w1.empty() && e.word(2) == "close")
            return "0"; // closing a window that does not exist
        return e.call_function();
    });
}

} // namespace ruk
