// The engine's menus: 10000 slots of menu bars and pop-up menus with their items and states.
#include "system/MenuTable.h"

namespace ruk {

namespace {

bool valid_slot(int32_t slot)
{
    return slot >= 0 && slot < MenuTable::Slots;
}

} // namespace

void MenuTable::create(int32_t slot, bool bar)
{
    if (!valid_slot(slot))
        return;
    m_menus[static_cast<size_t>(slot)] = Menu{bar, {}};
}

void MenuTable::destroy(int32_t slot)
{
    if (valid_slot(slot))
        m_menus[static_cast<size_t>(slot)].reset();
}

const Menu* MenuTable::menu(int32_t slot) const
{
    if (!valid_slot(slot) || !m_menus[static_cast<size_t>(slot)])
        return nullptr;
    return &*m_menus[static_cast<size_t>(slot)];
}

void MenuTable::add(int32_t slot, MenuItem item)
{
    if (valid_slot(slot) && m_menus[static_cast<size_t>(slot)])
        m_menus[static_cast<size_t>(slot)]->items.push_back(std::move(item));
}

MenuItem* MenuTable::find(int32_t slot, int32_t command)
{
    std::vector<bool> seen(Slots, false);
    return find(slot, command, seen);
}

MenuItem* MenuTable::find(int32_t slot, int32_t command, std::vector<bool>& seen)
{
    if (!valid_slot(slot) || seen[static_cast<size_t>(slot)] || !m_menus[static_cast<size_t>(slot)])
        return nullptr;
    seen[static_cast<size_t>(slot)] = true;
    for (MenuItem& item : m_menus[static_cast<size_t>(slot)]->items) {
        if (item.kind == MenuItem::Kind::Command && item.command == command)
            return &item;
    }
    for (MenuItem& item : m_menus[static_cast<size_t>(slot)]->items) {
        if (item.kind != MenuItem::Kind::SubMenu)
            continue;
        if (MenuItem* found = find(item.submenu, command, seen))
            return found;
    }
    return nullptr;
}

std::optional<bool> MenuTable::set_checked(int32_t slot, int32_t command, bool checked)
{
    MenuItem* item = find(slot, command);
    if (!item)
        return std::nullopt;
    bool before = item->checked;
    item->checked = checked;
    item->radio = false;
    return before;
}

std::optional<bool> MenuTable::set_enabled(int32_t slot, int32_t command, bool enabled, bool greyed)
{
    MenuItem* item = find(slot, command);
    if (!item)
        return std::nullopt;
    bool before = item->enabled;
    item->enabled = enabled;
    item->greyed = !enabled && greyed;
    return before;
}

void MenuTable::check_radio(int32_t slot, int32_t first, int32_t last, int32_t command)
{
    // One walk over the reachable items: a range may be as wide as a script likes.
    std::vector<bool> seen(Slots, false);
    std::vector<int32_t> pending{slot};
    while (!pending.empty()) {
        int32_t at = pending.back();
        pending.pop_back();
        if (!valid_slot(at) || seen[static_cast<size_t>(at)] || !m_menus[static_cast<size_t>(at)])
            continue;
        seen[static_cast<size_t>(at)] = true;
        for (MenuItem& item : m_menus[static_cast<size_t>(at)]->items) {
            if (item.kind == MenuItem::Kind::SubMenu)
                pending.push_back(item.submenu);
            else if (item.kind == MenuItem::Kind::Command && item.command >= first && item.command <= last)
                item.checked = item.radio = item.command == command;
        }
    }
}

} // namespace ruk
