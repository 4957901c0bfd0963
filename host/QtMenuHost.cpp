// Pop-up menus for scripts, on QMenu.
#include "host/QtMenuHost.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <algorithm>
#include <vector>

namespace ruk {

namespace {

QString qt_text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Fills `target` with the items of `slot`. A sub-menu that is already open
// above it (a menu that shows itself) is left out rather than repeated for ever.
void fill(QMenu& target, const MenuTable& menus, int32_t slot, std::vector<int32_t>& path)
{
    const Menu* menu = menus.menu(slot);
    if (!menu)
        return;
    path.push_back(slot);
    QActionGroup* radios = nullptr;
    for (const MenuItem& item : menu->items) {
        if (item.column_break == 2)
            target.addSeparator();
        switch (item.kind) {
        case MenuItem::Kind::Separator:
            target.addSeparator();
            break;
        case MenuItem::Kind::SubMenu: {
            bool on_path = std::find(path.begin(), path.end(), item.submenu) != path.end();
            if (on_path || !menus.menu(item.submenu))
                break;
            QMenu* sub = target.addMenu(qt_text(item.text));
            fill(*sub, menus, item.submenu, path);
            break;
        }
        case MenuItem::Kind::Command: {
            QAction* action = target.addAction(qt_text(item.text));
            action->setData(item.command);
            action->setEnabled(item.enabled);
            if (item.checked || item.radio) {
                action->setCheckable(true);
                action->setChecked(item.checked);
            }
            if (item.radio) {
                if (!radios) {
                    radios = new QActionGroup(&target);
                    radios->setExclusive(true);
                }
                radios->addAction(action);
            }
            break;
        }
        }
    }
    path.pop_back();
}

} // namespace

std::optional<int32_t> QtMenuHost::show_popup(const MenuTable& menus, int32_t slot, int,
                                              const PopupPlacement& where)
{
    QMenu menu;
    std::vector<int32_t> path;
    fill(menu, menus, slot, path);
    QSize size = menu.sizeHint();
    QPoint at(where.x, where.y);
    if (where.horizontal == PopupPlacement::Horizontal::Center)
        at.rx() -= size.width() / 2;
    else if (where.horizontal == PopupPlacement::Horizontal::Right)
        at.rx() -= size.width();
    if (where.vertical == PopupPlacement::Vertical::Center)
        at.ry() -= size.height() / 2;
    else if (where.vertical == PopupPlacement::Vertical::Bottom)
        at.ry() -= size.height();
    if (m_open_hook)
        m_open_hook(menu);
    QAction* chosen = menu.exec(at);
    if (!chosen || !chosen->data().isValid())
        return std::nullopt;
    return chosen->data().toInt();
}

} // namespace ruk
