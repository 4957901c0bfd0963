// The "menu" family: pop-up menus and menu bars with items, states and the item last clicked.
#include "system/MenuFamily.h"

#include "core/Engine.h"
#include "graphics/ScriptWindow.h"
#include "system/MenuHost.h"

#include <memory>

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";

// A window reference: "main" or the index of an occupied slot; -1 for none.
int window_index(WindowHost& windows, const std::string& reference)
{
    if (reference.empty())
        return -1;
    int index = reference == "main" ? 0 : eval_int(reference, -1);
    if (index < 0 || index >= WindowSlots || !windows.window(index))
        return -1;
    return index;
}

PopupPlacement placement(Engine& e)
{
    PopupPlacement where;
    where.x = e.param_int(3, 0);
    where.y = e.param_int(4, 0);
    const std::string& h = e.param(5);
    if (h == "center")
        where.horizontal = PopupPlacement::Horizontal::Center;
    else if (h == "right")
        where.horizontal = PopupPlacement::Horizontal::Right;
    const std::string& v = e.param(6);
    if (v == "bottom")
        where.vertical = PopupPlacement::Vertical::Bottom;
    else if (v == "center")
        where.vertical = PopupPlacement::Vertical::Center;
    // Parameter 7 (the opening animation) is accepted: Qt's menus open as the desktop style says.
    return where;
}

class MenuFamily {
public:
    MenuFamily(Engine& engine, MenuHost& host, WindowHost& windows) : m_host(host), m_windows(windows)
    {
        // An item chosen in a menu bar, reported by the host from the event loop.
        m_host.attach(m_menus, [this, &engine](int32_t command) {
            m_last_item = command;
            engine.run_event("menu:click", false, 0, true);
        });
    }
    Result handle(Engine& e);

private:
    Result item(Engine& e);
    Result add(Engine& e);
    void show_popup(Engine& e);

    MenuHost& m_host;
    WindowHost& m_windows;
    MenuTable m_menus;
    int32_t m_last_item = 0;
};

Result MenuFamily::handle(Engine& e)
{
    const std::string& op = e.word(1);
    const std::string& which = e.word(2);
    if (op == "create") {
        m_menus.create(e.param_int(1, 0), true);
        m_host.menus_changed();
        return std::nullopt;
    }
    if (op == "popup" && which == "create") {
        m_menus.create(e.param_int(1, 0), false);
        m_host.menus_changed();
        return std::nullopt;
    }
    if (op == "popup" && which == "show") {
        show_popup(e);
        return std::nullopt;
    }
    if (op == "item" && !which.empty()) {
        Result answer = item(e);
        m_host.menus_changed();
        return answer;
    }
    if (op == "destroy") {
        m_menus.destroy(e.param_int(1, 0));
        m_host.menus_changed();
        return std::nullopt;
    }
    if (op == "redraw") {
        // Every window that shows the menu as its bar builds the bar again now.
        m_host.redraw_menu_bar(e.param_int(1, 0));
        return std::nullopt;
    }
    if (op == "add" && !which.empty()) {
        Result answer = add(e);
        m_host.menus_changed();
        return answer;
    }
    if (op == "getitem")
        return int_to_text(m_last_item);
    if (op == "set") {
        const int window = window_index(m_windows, e.param(1));
        if (window < 0) {
            e.report_error(MsgBadWindow);
            return std::string("0");
        }
        // A slot without a menu takes the window's bar away.
        m_host.set_menu_bar(window, e.param_int(2, 0));
        return std::nullopt;
    }
    return e.call_function();
}

Result MenuFamily::item(Engine& e)
{
    const std::string& which = e.word(2);
    const int32_t slot = e.param_int(1, 0);
    const int32_t command = e.param_int(2, 0);
    if (which == "checked") {
        std::optional<bool> before = m_menus.set_checked(slot, command, e.param(3) == "1");
        return flag_to_text(before.value_or(false));
    }
    if (which == "enabled") {
        const std::string& state = e.param(3);
        std::optional<bool> before;
        if (state == "0")
            before = m_menus.set_enabled(slot, command, false, true);
        else if (state == "2")
            before = m_menus.set_enabled(slot, command, false, false);
        else
            before = m_menus.set_enabled(slot, command, true, false);
        return flag_to_text(before.value_or(false));
    }
    if (which == "radio") {
        m_menus.check_radio(slot, command, e.param_int(3, 0), e.param_int(4, 0));
        return std::nullopt;
    }
    return e.call_function();
}

Result MenuFamily::add(Engine& e)
{
    const std::string& which = e.word(2);
    const int32_t slot = e.param_int(1, 0);
    MenuItem entry;
    if (which == "popup") {
        entry.kind = MenuItem::Kind::SubMenu;
        entry.submenu = e.param_int(2, 1);
        entry.text = e.param(3);
    } else if (which == "separator") {
        entry.kind = MenuItem::Kind::Separator;
    } else if (which == "item") {
        entry.command = e.param_int(2, 1);
        entry.text = e.param(3);
        entry.checked = starts_with_1(e.param(4));
        entry.enabled = !starts_with_1(e.param(5)) && !starts_with_1(e.param(6));
        entry.greyed = starts_with_1(e.param(6));
        const std::string& column = e.param(7);
        entry.column_break = column == "1" ? 1 : column == "2" ? 2 : 0;
    } else {
        return e.call_function();
    }
    m_menus.add(slot, std::move(entry));
    return std::nullopt;
}

// An unknown window shows the menu for the engine window. A chosen item
// becomes the last item and raises "menu:click", which runs once the
// running event has ended.
void MenuFamily::show_popup(Engine& e)
{
    int window = window_index(m_windows, e.param(1));
    if (window < 0)
        window = 0;
    const int32_t slot = e.param_int(2, 0);
    if (!m_menus.menu(slot))
        return;
    e.host().clear_drag_state();
    if (std::optional<int32_t> chosen = m_host.show_popup(m_menus, slot, window, placement(e))) {
        m_last_item = *chosen;
        e.run_event("menu:click", false, 0, true);
    }
}

} // namespace

void register_menu_family(Engine& engine, MenuHost& host, WindowHost& windows)
{
    auto family = std::make_shared<MenuFamily>(engine, host, windows);
    engine.register_family("menu", [family](Engine& e) { return family->handle(e); });
}

} // namespace ruk
