// Creating and closing script windows.
#include "graphics/WindowLife.h"

#include "core/Engine.h"
#include "graphics/ScriptWindow.h"

namespace ruk {

void apply_movable_mode(WindowHost& windows, int index, const std::string& mode)
{
    WindowRecord& r = windows.table().record(index);
    if (mode.empty() || mode == "1") {
        r.movable = true;
        r.drag_axis = 0;
    } else if (mode == "xonly") {
        r.movable = true;
        r.drag_axis = 1;
    } else if (mode == "yonly") {
        r.movable = true;
        r.drag_axis = 2;
    } else {
        r.movable = false;
        r.drag_axis = 0;
    }
}

std::optional<int> create_script_window(Engine& engine, WindowHost& windows, const WindowCreateOptions& options,
                                        int parent)
{
    WindowTable& table = windows.table();
    const int slot = table.lowest_free();
    if (slot < 0)
        return std::nullopt;
    ScriptWindow* w = windows.make_window(slot);
    if (!w)
        return std::nullopt;
    table.occupy(slot, w);
    WindowRecord& r = table.record(slot);
    ScriptWindow* parent_window = parent >= 0 && parent != slot ? table.window(parent) : nullptr;
    if (parent_window) {
        w->set_parent_window(parent_window);
        r.parent = parent;
    }
    engine.set_group_name(slot, options.group.empty() ? std::nullopt : std::optional<std::string>(options.group));
    apply_movable_mode(windows, slot, options.movable_mode);
    // The stacking band is chosen before the window is shown, so that it
    // appears where it belongs.
    if (!parent_window && options.stay_on_top != "0") {
        r.form_style = 3;
        w->set_stay_on_top(true);
    }
    r.close_on_escape = options.close_on_escape != "0";
    r.close_on_right_click = options.close_on_right_click != "0";
    r.can_go_out = starts_with_1(options.can_go_out);
    if (options.visible != "0")
        w->set_visible(true);
    return slot;
}

bool close_script_window(Engine& engine, WindowHost& windows, int index)
{
    WindowTable& table = windows.table();
    if (index <= 0 || index >= WindowTable::Slots)
        return false;
    ScriptWindow* w = table.window(index);
    if (!w)
        return false;
    if (!engine.stopped()) {
        engine.run_event("unload", true, index, true);
        // "unload" may have closed the window itself.
        if (table.window(index) != w)
            return true;
    }
    // A child lives in its parent: it cannot outlive it.
    for (int child : table.children(index))
        close_script_window(engine, windows, child);
    if (table.window(index) != w)
        return true;
    WindowRecord& r = table.record(index);
    const WindowRect covered = w->geometry();
    const bool top_level = r.parent < 0;
    w->set_visible(false);
    w->stop_timers();
    if (r.status_icon_shown)
        w->hide_status_icon();
    if (r.desktop_bar_registered)
        w->set_desktop_bar(false);
    engine.set_group_name(index, std::nullopt);
    table.release(index);
    if (top_level)
        windows.repaint_area(covered);
    windows.free_window(w);
    return true;
}

} // namespace ruk
