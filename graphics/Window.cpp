// The "window" family: the window table, the per-window commands and saved positions.
#include "graphics/Window.h"

#include "core/Engine.h"
#include "graphics/BitmapReferences.h"
#include "graphics/WindowBitmaps.h"
#include "graphics/WindowLife.h"
#include "graphics/WindowLook.h"
#include "host/HostState.h"
#include "host/Package.h"
#include "system/Settings.h"

#include <filesystem>
#include <memory>

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";
constexpr size_t MaxTipLength = 63;

struct SavedPositions {
    Registry* registry;
    const PackageHeader* package;
};

WindowCreateOptions create_options(Engine& e)
{
    return WindowCreateOptions{e.param(1), e.param(2), e.param(3), e.param(4), e.param(5), e.param(6), e.param(7)};
}

// Sizes from scripts have a ceiling: past it the script gets an error and
// the window keeps its size.
bool refuse_size(Engine& e, int32_t width, int32_t height)
{
    if (width <= MaxSurfaceSide && height <= MaxSurfaceSide)
        return false;
    e.report_error(MsgSurfaceTooLarge);
    return true;
}

// The target position follows every position the script gives, and the
// real window goes there at once.
void move_to(WindowRecord& r, ScriptWindow& w, const WindowRect& rect)
{
    r.target_left = static_cast<float>(rect.left) * 100.0f;
    r.target_top = static_cast<float>(rect.top) * 100.0f;
    w.set_geometry(rect);
}

Result group_list(Engine& e, WindowHost& windows, bool count_only)
{
    const std::string& name = e.param(1);
    std::string list;
    int n = 0;
    for (int i = 0; i < windows.table().high_water(); ++i) {
        const std::optional<std::string>& group = e.group_name(i);
        const bool match = name.empty() ? !group.has_value() : group && *group == name;
        if (!match)
            continue;
        if (n++)
            list += "^^";
        list += std::to_string(i);
    }
    return count_only ? int_to_text(n) : list;
}

Result position(Engine& e, WindowHost& windows, int index, const SavedPositions& saved)
{
    ScriptWindow& w = *windows.window(index);
    WindowRecord& r = windows.table().record(index);
    const std::string& sub = e.word(3);
    const WindowRect now = w.geometry();
    if (sub.empty() || sub == "now") {
        WindowRect rect{e.param_int(1, now.left), e.param_int(2, now.top), e.param_int(3, now.width),
                        e.param_int(4, now.height)};
        if (refuse_size(e, rect.width, rect.height))
            return std::nullopt;
        if (sub == "now") {
            r.grab_x = e.param_int(5, r.grab_x);
            r.grab_y = e.param_int(6, r.grab_y);
        }
        move_to(r, w, rect);
        return std::nullopt;
    }
    if (sub == "rel") {
        move_to(r, w, WindowRect{now.left + e.param_int(1, 0), now.top + e.param_int(2, 0), now.width, now.height});
        return std::nullopt;
    }
    if (sub == "save" || sub == "load") {
        const std::string name = e.param(1).empty() ? std::to_string(index) : e.param(1);
        if (sub == "save") {
            if (saved.registry && saved.package && now.width > 0 && now.height > 0)
                save_window_position(*saved.registry, *saved.package, name, now);
            return std::nullopt;
        }
        std::optional<WindowRect> rect;
        if (saved.registry && saved.package)
            rect = load_window_position(*saved.registry, *saved.package, name);
        // A saved position is data from outside: a size past the ceiling
        // counts as no saved position.
        if (!rect || rect->width > MaxSurfaceSide || rect->height > MaxSurfaceSide)
            return "0";
        move_to(r, w, *rect);
        w.repaint_now();
        return "1";
    }
    return e.call_function();
}

// The desktop bar: docking at a screen edge and the area it keeps.
Result desktop_bar(Engine& e, WindowHost& windows, int index)
{
    ScriptWindow& w = *windows.window(index);
    WindowRecord& r = windows.table().record(index);
    const std::string& sub = e.word(3);
    const WindowRect now = w.geometry();
    if (sub == "enable") {
        if (starts_with_1(e.param(1))) {
            if (!r.desktop_bar_registered)
                w.set_desktop_bar(true);
            r.desktop_bar_registered = true;
        } else if (r.desktop_bar_registered) {
            w.set_desktop_bar(false);
            r.desktop_bar_registered = false;
        }
        return std::nullopt;
    }
    if (sub == "setpos") {
        const std::string& p1 = e.param(1);
        const int edge = p1 == "0" ? 0 : p1 == "2" ? 2 : p1 == "3" ? 3 : 1;
        WindowRect area{e.param_int(2, now.left), e.param_int(3, now.top), e.param_int(4, now.width),
                        e.param_int(5, now.height)};
        if (r.desktop_bar_registered)
            w.set_desktop_bar_area(edge, area);
        return std::nullopt;
    }
    if (sub == "refreshpos") {
        const std::string& p1 = e.param(1);
        if (p1.size() != 1 || p1[0] < '0' || p1[0] > '3')
            return std::nullopt; // no such edge
        const int edge = p1[0] - '0';
        const WindowRect screen = windows.screen();
        WindowRect area{0, 0, screen.width, screen.height};
        if (edge == 0)
            area.width = now.width;
        else if (edge == 1)
            area.height = now.height;
        else if (edge == 2)
            area = WindowRect{screen.width - now.width, 0, now.width, screen.height};
        else
            area = WindowRect{0, screen.height - now.height, screen.width, now.height};
        if (r.desktop_bar_registered)
            w.set_desktop_bar_area(edge, area);
        move_to(r, w, area);
        w.repaint_now();
        return std::nullopt;
    }
    return e.call_function();
}

// "zorder": "bottom" and unknown words send the window to the back, "top"
// brings it to the front, "topmost" and "notopmost" put it into and out of
// the stay-on-top band, a window reference places it just behind that
// window. The flags show or hide it and can leave the stacking alone.
Result z_order(Engine& e, WindowHost& windows, int index)
{
    ScriptWindow& w = *windows.window(index);
    WindowTable& table = windows.table();
    WindowRecord& r = table.record(index);
    const std::string& place = e.param(1);
    if (!starts_with_1(e.param(6))) {
        if (place == "top") {
            w.bring_to_front();
            table.bring_to_front(index);
        } else if (place == "topmost" || place == "notopmost") {
            r.form_style = place == "topmost" ? 3 : 0;
            w.set_stay_on_top(place == "topmost");
            w.bring_to_front();
            table.bring_to_front(index);
        } else if (int other = place != "bottom" ? resolve_window(windows, place) : -1; other >= 0 && other != index) {
            if (table.place_behind(index, other))
                w.place_behind(windows.window(other)->handle());
        } else {
            w.send_to_back();
            table.send_to_back(index);
        }
    }
    if (starts_with_1(e.param(8)))
        w.set_visible(true);
    else if (e.param(9) == "0")
        w.set_visible(false);
    return std::nullopt;
}

Result parent_commands(Engine& e, WindowHost& windows, int index)
{
    ScriptWindow& w = *windows.window(index);
    WindowTable& table = windows.table();
    WindowRecord& r = table.record(index);
    const std::string& sub = e.word(3);
    if (sub.empty()) {
        const int parent = resolve_window(windows, e.param(1));
        if (parent == index)
            return std::nullopt;
        // A window cannot live inside its own child (or the child's child).
        for (int p = parent; p >= 0; p = table.record(p).parent)
            if (p == index)
                return std::nullopt;
        w.set_parent_window(parent >= 0 ? windows.window(parent) : nullptr);
        r.parent = parent;
        return std::nullopt;
    }
    if (sub != "left" && sub != "top" && sub != "width" && sub != "height")
        return e.call_function();
    if (r.parent < 0 || !table.window(r.parent))
        return std::string();
    const WindowRect p = table.window(r.parent)->geometry();
    return int_to_text(sub == "left" ? p.left : sub == "top" ? p.top : sub == "width" ? p.width : p.height);
}

Result per_window(Engine& e, WindowHost& windows, BitmapReferences& bitmaps, int index, HostState& state,
                  const SavedPositions& saved)
{
    (void)state;
    ScriptWindow& w = *windows.window(index);
    WindowTable& table = windows.table();
    WindowRecord& r = table.record(index);
    const std::string& op = e.word(2);
    const std::string& sub = e.word(3);
    const std::string& p1 = e.param(1);

    // Sub-commands with a sub-operation in word 3.
    if (op == "pos")
        return position(e, windows, index, saved);
    if (op == "shape")
        return window_shape(e, windows, bitmaps, index);
    if (op == "image")
        return window_image(e, windows, index);
    if (op == "appbar")
        return desktop_bar(e, windows, index);
    if (op == "parent")
        return parent_commands(e, windows, index);
    if (op == "monitor") {
        const MonitorInfo m = w.monitor();
        if (sub == "left")
            return int_to_text(m.bounds.left);
        if (sub == "top")
            return int_to_text(m.bounds.top);
        if (sub == "width")
            return int_to_text(m.bounds.width);
        if (sub == "height")
            return int_to_text(m.bounds.height);
        if (sub == "index")
            return int_to_text(m.index);
        return e.call_function();
    }
    if (op == "border") {
        const WindowRect g = screen_geometry(windows, index), c = w.client_rect();
        if (sub == "left")
            return int_to_text(c.left - g.left);
        if (sub == "top")
            return int_to_text(c.top - g.top);
        if (sub == "right")
            return int_to_text((g.width - c.width) - (c.left - g.left));
        if (sub == "bottom")
            return int_to_text((g.height - c.height) - (c.top - g.top));
        return e.call_function();
    }
    if (op == "timer") {
        if (sub == "enabled") {
            if (p1.empty())
                return flag_to_text(w.timer_enabled());
            w.set_timer_enabled(starts_with_1(p1));
            return std::nullopt;
        }
        if (sub == "delay") {
            if (p1.empty())
                return int_to_text(w.timer_interval());
            // A delay of 0 stops the timer; a negative one changes nothing.
            const int delay = e.param_int(1, 1000);
            if (delay == 0)
                w.set_timer_enabled(false);
            else if (delay > 0)
                w.set_timer_interval(delay);
            return std::nullopt;
        }
        return e.call_function();
    }
    if (op == "statusicon") {
        if (sub == "show") {
            w.show_status_icon(p1.substr(0, std::min(p1.size(), MaxTipLength)), e.param(2));
            r.status_icon_shown = true;
            return std::nullopt;
        }
        if (sub == "hide") {
            if (r.status_icon_shown)
                w.hide_status_icon();
            r.status_icon_shown = false;
            return std::nullopt;
        }
        return e.call_function();
    }
    if (op == "group") {
        if (sub == "get")
            return e.group_name(index).value_or(std::string());
        if (sub == "set") {
            e.set_group_name(index, p1.empty() ? std::nullopt : std::optional<std::string>(p1));
            return std::nullopt;
        }
        return e.call_function();
    }

    // Everything below takes no sub-operation.
    if (!sub.empty())
        return e.call_function();
    const WindowRect g = w.geometry();
    if (op == "title") {
        w.set_title(p1);
        return std::nullopt;
    }
    if (op == "handle")
        return int_to_text(static_cast<int64_t>(w.handle()));
    if (op == "icon") {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(p1, ec) || !w.set_icon(p1))
            e.report_error(p1 + " cannot be found.");
        return std::nullopt;
    }
    if (op == "tooltip") {
        w.set_tooltip(p1);
        return std::nullopt;
    }
    if (op == "left" || op == "top") {
        if (p1.empty())
            return int_to_text(op == "left" ? g.left : g.top);
        WindowRect to = g;
        (op == "left" ? to.left : to.top) = e.param_int(1, 0);
        move_to(r, w, to);
        return std::nullopt;
    }
    if (op == "width" || op == "height") {
        if (p1.empty())
            return int_to_text(op == "width" ? g.width : g.height);
        WindowRect to = g;
        (op == "width" ? to.width : to.height) = std::max(0, e.param_int(1, 50));
        if (refuse_size(e, to.width, to.height))
            return std::nullopt;
        w.set_geometry(to);
        return std::nullopt;
    }
    if (op == "clientwidth" || op == "clientheight") {
        const WindowRect c = w.client_rect();
        if (p1.empty())
            return int_to_text(op == "clientwidth" ? c.width : c.height);
        if (w.state() == 0) {
            const int v = std::max(0, e.param_int(1, 50));
            if (refuse_size(e, v, 0))
                return std::nullopt;
            w.set_client_size(op == "clientwidth" ? v : c.width, op == "clientwidth" ? c.height : v);
        }
        return std::nullopt;
    }
    if (op == "clientarea") {
        const int width = std::max(0, e.param_int(1, 50)), height = std::max(0, e.param_int(2, 50));
        if (w.state() == 0 && !refuse_size(e, width, height))
            w.set_client_size(width, height);
        return std::nullopt;
    }
    if (op == "borderstyle") {
        w.set_frame_style(p1.size() == 1 && p1[0] >= '0' && p1[0] <= '5' ? p1[0] - '0' : 1);
        return std::nullopt;
    }
    if (op == "bordericon") {
        w.set_caption_buttons(starts_with_1(p1), starts_with_1(e.param(2)), starts_with_1(e.param(3)),
                              starts_with_1(e.param(4)));
        return std::nullopt;
    }
    if (op == "state") {
        if (p1.empty())
            return int_to_text(w.state());
        w.set_state(e.param_int(1, 0));
        return std::nullopt;
    }
    if (op == "transparency")
        return window_transparency(e, windows, index);
    if (op == "repaint") {
        w.repaint_now();
        return std::nullopt;
    }
    if (op == "create") {
        std::optional<int> made = create_script_window(e, windows, create_options(e), index);
        return made ? int_to_text(*made) : std::string();
    }
    if (op == "getparentid")
        return r.parent >= 0 ? int_to_text(r.parent) : std::string();
    if (op == "zorder")
        return z_order(e, windows, index);
    if (op == "formstyle") {
        r.form_style = e.param_int(1, 0);
        w.set_stay_on_top(r.stays_on_top());
        return std::nullopt;
    }
    if (op == "stayontop") {
        if (p1.empty())
            return flag_to_text(r.stays_on_top());
        // The first character decides, as for every switch: "1..." into the
        // band, "0..." out of it, anything else changes nothing.
        if (p1[0] != '0' && p1[0] != '1')
            return std::nullopt;
        r.form_style = p1[0] == '1' ? 3 : 0;
        w.set_stay_on_top(p1[0] == '1');
        return std::nullopt;
    }
    if (op == "zinsertafter") {
        const uint64_t other = windows.find_window(p1);
        if (other == 0 || !w.place_behind(other))
            return "0";
        for (int i = 0; i < WindowTable::Slots; ++i)
            if (ScriptWindow* s = table.window(i); s && i != index && s->handle() == other)
                table.place_behind(index, i);
        return "1";
    }
    if (op == "setforegroundwindow") {
        w.set_foreground();
        table.bring_to_front(index);
        return std::nullopt;
    }
    if (op == "bringtofront" || op == "sendtoback") {
        if (op == "bringtofront") {
            w.bring_to_front();
            table.bring_to_front(index);
        } else {
            w.send_to_back();
            table.send_to_back(index);
        }
        return std::nullopt;
    }
    if (op == "enabled") {
        if (p1.empty())
            return flag_to_text(w.is_enabled());
        w.set_enabled(starts_with_1(p1));
        return std::nullopt;
    }
    if (op == "setfocus") {
        w.set_focus();
        return std::nullopt;
    }
    if (op == "visible") {
        if (p1.empty())
            return flag_to_text(w.is_visible());
        w.set_visible(p1 != "0");
        return std::nullopt;
    }
    if (op == "cangoout") {
        r.can_go_out = starts_with_1(p1);
        return std::nullopt;
    }
    if (op == "autoclose") {
        r.close_on_escape = starts_with_1(p1);
        r.close_on_right_click = starts_with_1(e.param(2));
        return std::nullopt;
    }
    if (op == "movable") {
        apply_movable_mode(windows, index, p1);
        return std::nullopt;
    }
    if (op == "close") {
        if (index == 0) {
            e.report_error(MsgBadWindow);
            return std::nullopt;
        }
        return flag_to_text(close_script_window(e, windows, index));
    }
    return e.call_function();
}

} // namespace

int resolve_window(WindowHost& windows, const std::string& reference)
{
    if (reference.empty())
        return -1;
    const int index = reference == "main" ? 0 : eval_int(reference, -1);
    if (index < 0 || index >= WindowTable::Slots || !windows.window(index))
        return -1;
    return index;
}

WindowRect screen_geometry(WindowHost& windows, int index)
{
    WindowRect g = windows.window(index)->geometry();
    const int parent = windows.table().record(index).parent;
    if (ScriptWindow* p = parent >= 0 ? windows.window(parent) : nullptr) {
        const WindowRect origin = p->client_rect();
        g.left += origin.left;
        g.top += origin.top;
    }
    return g;
}

void register_window_family(Engine& engine, HostState& state, WindowHost& windows, Registry* registry,
                            const PackageHeader* package, BitmapReferences* bitmaps)
{
    SavedPositions saved{registry, package};
    // Without a shared table the family names the windows' own bitmaps.
    struct OwnBitmaps {
        explicit OwnBitmaps(WindowHost& windows) : host(windows), references(&host) {}
        WindowBitmaps host;
        BitmapReferences references;
    };
    std::shared_ptr<OwnBitmaps> own;
    if (!bitmaps) {
        own = std::make_shared<OwnBitmaps>(windows);
        bitmaps = &own->references;
    }
    engine.register_family("window", [&state, &windows, saved, bitmaps, own](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        if (w1 == "count")
            return int_to_text(windows.table().count());
        if (w1 == "create") {
            std::optional<int> made = create_script_window(e, windows, create_options(e));
            return made ? int_to_text(*made) : std::string();
        }
        if (w1 == "eventauthor")
            return e.event_author() < 0 ? std::optional<std::string>() : int_to_text(e.event_author());
        if (w1 == "cancelclose") {
            state.cancel_close = starts_with_1(e.param(1));
            return std::nullopt;
        }
        if (w1 == "group" && (e.word(2) == "getlist" || e.word(2) == "count"))
            return group_list(e, windows, e.word(2) == "count");
        if (w1 == "exists")
            return flag_to_text(resolve_window(windows, e.param(1)) >= 0);
        if (w1 == "frompoint") {
            const int found = windows.window_at(e.param_int(1, 0), e.param_int(2, 0));
            return found >= 0 ? int_to_text(found) : std::string();
        }
        const int index = resolve_window(windows, w1);
        if (index >= 0)
            return per_window(e, windows, *bitmaps, index, state, saved);
        if (!w1.empty() && e.word(2) == "close" && e.word(3).empty())
            return "0"; // closing a window that does not exist
        return e.call_function();
    });
}

} // namespace ruk
