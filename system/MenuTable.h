// The engine's menus: 10000 slots of menu bars and pop-up menus with their items and states.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruk {

struct MenuItem {
    enum class Kind { Command, Separator, SubMenu };
    Kind kind = Kind::Command;
    int32_t command = 0;     // what "menu:click" reports (commands only)
    int32_t submenu = -1;    // the slot shown under this item (sub-menus only)
    std::string text;
    bool checked = false;
    bool radio = false;      // the check mark is drawn as a radio mark
    bool enabled = true;
    bool greyed = false;     // shown disabled; an item may be disabled without it
    int column_break = 0;    // 1: starts a new column, 2: with a dividing line
};

struct Menu {
    bool bar = false;        // a menu bar rather than a pop-up menu
    std::vector<MenuItem> items;
};

// Items are found by command number in the menu and, depth first, in the
// sub-menus it shows; a sub-menu that shows itself again (directly or
// further down) is looked at once. Slot numbers outside 0 to 9999 name no
// menu; operations on them change nothing.
class MenuTable {
public:
    static constexpr int32_t Slots = 10000;

    // Puts a new empty menu in the slot, replacing what was there.
    void create(int32_t slot, bool bar);
    void destroy(int32_t slot);
    const Menu* menu(int32_t slot) const;
    // Appending to a slot without a menu changes nothing.
    void add(int32_t slot, MenuItem item);

    // Checks (true) or unchecks the item; nothing when no item has that
    // command. Returns whether it was checked before.
    std::optional<bool> set_checked(int32_t slot, int32_t command, bool checked);
    // Enables the item, or disables it with or without greying. Returns
    // whether it was enabled before; nothing when there is no such item.
    std::optional<bool> set_enabled(int32_t slot, int32_t command, bool enabled, bool greyed);
    // Checks `command` with a radio mark and unchecks the other commands
    // from `first` to `last` found in the menu.
    void check_radio(int32_t slot, int32_t first, int32_t last, int32_t command);

private:
    MenuItem* find(int32_t slot, int32_t command);
    MenuItem* find(int32_t slot, int32_t command, std::vector<bool>& seen);

    std::vector<std::optional<Menu>> m_menus = std::vector<std::optional<Menu>>(Slots);
};

} // namespace ruk
