// Pop-up menus and menu bars for scripts, on QMenu and QMenuBar.
#pragma once

#include "system/MenuHost.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QMenuBar;
class QObject;
class QWidget;

namespace ruk {

// Builds a QMenu from a slot of the menu table each time it is shown, so that
// it always shows the items' present states. A new column has no Qt
// counterpart: a column with a dividing line shows as a separator, a plain
// one as nothing.
//
// Menu bars: a script window shows at most one bar, a QMenuBar laid over the
// top strip of the window (script windows are borderless, so there is no
// frame to hold it); the window's picture and coordinates stay as they are.
// The bar's own items are built again shortly after any menu changes (or at
// once by redraw_menu_bar()); its drop-down menus are built each time they
// open. A bar goes with its window.
class QtMenuHost : public MenuHost {
public:
    // `window_widget` gives the widget of a script window (null for none);
    // without it no window can show a bar.
    explicit QtMenuHost(std::function<QWidget*(int)> window_widget = {});
    ~QtMenuHost() override;

    std::optional<int32_t> show_popup(const MenuTable& menus, int32_t slot, int window,
                                      const PopupPlacement& where) override;
    void attach(const MenuTable& menus, std::function<void(int32_t)> chosen) override;
    bool set_menu_bar(int window, int32_t slot) override;
    int redraw_menu_bar(int32_t slot) override;
    void menus_changed() override;

    // Called with the menu once it is built and about to open (tests choose an item there).
    void set_open_hook(std::function<void(QMenu&)> hook) { m_open_hook = std::move(hook); }

private:
    struct Bar {
        int window = 0;
        int32_t slot = 0;
        QPointer<QMenuBar> widget;
    };
    void build(Bar& bar);
    void forget_closed_windows();

    std::function<QWidget*(int)> m_window_widget;
    std::function<void(int32_t)> m_chosen;
    const MenuTable* m_menus = nullptr;
    std::unique_ptr<QObject> m_context; // ends the bars' connections with the host
    std::vector<Bar> m_bars;
    bool m_rebuild_pending = false;
    std::function<void(QMenu&)> m_open_hook;
};

} // namespace ruk
