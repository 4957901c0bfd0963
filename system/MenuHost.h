// What the menu family needs from the desktop to show a pop-up menu, without knowing the toolkit.
#pragma once

#include "system/MenuTable.h"

#include <functional>

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

    // Menu bars. The family hands over its table once (it outlives the
    // host's bars) and the place where a chosen bar item goes; the host
    // calls `chosen` from the event loop, never from inside the bar.
    virtual void attach(const MenuTable& /*menus*/, std::function<void(int32_t)> /*chosen*/) {}
    // Shows the menu of `slot` as the bar of script window `window`; a slot
    // without a menu takes the window's bar away. False when the window
    // cannot show a bar (it is not on this desktop).
    virtual bool set_menu_bar(int /*window*/, int32_t /*slot*/) { return true; }
    // Builds the bars that show `slot` again, at once. Returns how many.
    virtual int redraw_menu_bar(int32_t /*slot*/) { return 0; }
    // A menu changed: the bars follow once the running command is done.
    virtual void menus_changed() {}
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
