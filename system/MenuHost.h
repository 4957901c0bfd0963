// What the menu family needs from the desktop to show a pop-up menu, without knowing the toolkit.
#pragma once

#include "system/MenuTable.h"

namespace ruk {

// Where a pop-up menu goes: the point and which of its edges (or its
// middle) lies on it.
struct PopupPlacement {
    enum class Horizontal { Left, Center, Right };
    enum class Vertical { Top, Center, Bottom };
    int x = 0;
    int y = 0;
    Horizontal horizontal = Horizontal::Left; // the point is the menu's left edge
    Vertical vertical = Vertical::Top;        // the point is the menu's top edge
};

class MenuHost {
public:
    virtual ~MenuHost() = default;
    // Shows the menu of `slot` (with its sub-menus) at a point of the screen
    // for the script window `window` and waits until it closes. Returns the
    // command number of the item chosen; nothing when none was.
    virtual std::optional<int32_t> show_popup(const MenuTable& menus, int32_t slot, int window,
                                              const PopupPlacement& where) = 0;
};

// No desktop: a pop-up menu closes at once with nothing chosen.
class NoMenuHost : public MenuHost {
public:
    std::optional<int32_t> show_popup(const MenuTable&, int32_t, int, const PopupPlacement&) override
    {
        return std::nullopt;
    }
};

} // namespace ruk
