// Pop-up menus for scripts, on QMenu.
#pragma once

#include "system/MenuHost.h"

#include <functional>

class QMenu;

namespace ruk {

// Builds a QMenu from a slot of the menu table each time it is shown, so that
// it always shows the items' present states. A new column has no Qt
// counterpart: a column with a dividing line shows as a separator, a plain
// one as nothing.
class QtMenuHost : public MenuHost {
public:
    std::optional<int32_t> show_popup(const MenuTable& menus, int32_t slot, int window,
                                      const PopupPlacement& where) override;

    // Called with the menu once it is built and about to open (tests choose an item there).
    void set_open_hook(std::function<void(QMenu&)> hook) { m_open_hook = std::move(hook); }

private:
    std::function<void(QMenu&)> m_open_hook;
};

} // namespace ruk
