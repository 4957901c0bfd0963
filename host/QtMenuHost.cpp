// Pop-up menus and menu bars for scripts, on QMenu and QMenuBar.
#include "host/QtMenuHost.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

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

// Empties a drop-down menu that is about to be filled again, sub-menus included.
void empty(QMenu& menu)
{
    for (QMenu* sub : menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        sub->deleteLater();
    menu.clear();
}

// Keeps a bar as wide as its window.
class BarFollower : public QObject {
public:
    BarFollower(QMenuBar* bar, QWidget* window) : QObject(bar), m_bar(bar)
    {
        window->installEventFilter(this);
        fit(window);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            fit(static_cast<QWidget*>(watched));
        return false;
    }

private:
    void fit(QWidget* window)
    {
        m_bar->setGeometry(0, 0, window->width(), m_bar->heightForWidth(window->width()) > 0
                                                      ? m_bar->heightForWidth(window->width())
                                                      : m_bar->sizeHint().height());
    }
    QMenuBar* m_bar;
};

} // namespace

QtMenuHost::QtMenuHost(std::function<QWidget*(int)> window_widget)
    : m_window_widget(std::move(window_widget)), m_context(std::make_unique<QObject>())
{
}

QtMenuHost::~QtMenuHost()
{
    for (Bar& bar : m_bars)
        delete bar.widget.data();
}

void QtMenuHost::attach(const MenuTable& menus, std::function<void(int32_t)> chosen)
{
    m_menus = &menus;
    m_chosen = std::move(chosen);
}

void QtMenuHost::forget_closed_windows()
{
    std::erase_if(m_bars, [](const Bar& bar) { return !bar.widget; });
}

bool QtMenuHost::set_menu_bar(int window, int32_t slot)
{
    forget_closed_windows();
    QWidget* widget = m_window_widget ? m_window_widget(window) : nullptr;
    if (!widget || !m_menus)
        return false;
    auto at = std::find_if(m_bars.begin(), m_bars.end(), [&](const Bar& b) { return b.window == window; });
    // A bar left over from a closed window with the same index is not this window's.
    if (at != m_bars.end() && at->widget->parentWidget() != widget) {
        delete at->widget.data();
        m_bars.erase(at);
        at = m_bars.end();
    }
    if (!m_menus->menu(slot)) {
        if (at != m_bars.end()) {
            delete at->widget.data();
            m_bars.erase(at);
        }
        return true;
    }
    if (at == m_bars.end()) {
        Bar bar;
        bar.window = window;
        bar.widget = new QMenuBar(widget);
        bar.widget->setNativeMenuBar(false);
        new BarFollower(bar.widget, widget);
        // Every chosen item, in the bar or in its drop-down menus, comes here;
        // the script hears of it once the bar's own handling is over.
        QObject::connect(bar.widget, &QMenuBar::triggered, m_context.get(), [this](QAction* action) {
            if (!action->data().isValid() || !m_chosen)
                return;
            const int32_t command = action->data().toInt();
            QTimer::singleShot(0, m_context.get(), [this, command] { m_chosen(command); });
        });
        m_bars.push_back(bar);
        at = m_bars.end() - 1;
    }
    at->slot = slot;
    build(*at);
    at->widget->show();
    at->widget->raise();
    return true;
}

// The bar's own items; each drop-down menu fills itself as it opens.
void QtMenuHost::build(Bar& bar)
{
    QMenuBar& widget = *bar.widget;
    for (QMenu* sub : widget.findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        sub->deleteLater();
    widget.clear();
    const Menu* menu = m_menus->menu(bar.slot);
    if (!menu) {
        // The menu was destroyed: the window shows no bar any more.
        widget.hide();
        widget.deleteLater();
        bar.widget.clear();
        return;
    }
    for (const MenuItem& item : menu->items) {
        switch (item.kind) {
        case MenuItem::Kind::Separator:
            widget.addSeparator();
            break;
        case MenuItem::Kind::SubMenu: {
            if (!m_menus->menu(item.submenu) || item.submenu == bar.slot)
                break;
            QMenu* sub = widget.addMenu(qt_text(item.text));
            const int32_t slot = item.submenu, top = bar.slot;
            QObject::connect(sub, &QMenu::aboutToShow, m_context.get(), [this, sub, slot, top] {
                empty(*sub);
                std::vector<int32_t> path{top};
                fill(*sub, *m_menus, slot, path);
            });
            break;
        }
        case MenuItem::Kind::Command: {
            QAction* action = widget.addAction(qt_text(item.text));
            action->setData(item.command);
            action->setEnabled(item.enabled);
            if (item.checked || item.radio) {
                action->setCheckable(true);
                action->setChecked(item.checked);
            }
            break;
        }
        }
    }
    widget.adjustSize();
    if (QWidget* window = widget.parentWidget())
        widget.setGeometry(0, 0, window->width(), widget.sizeHint().height());
}

int QtMenuHost::redraw_menu_bar(int32_t slot)
{
    forget_closed_windows();
    int count = 0;
    for (Bar& bar : m_bars) {
        if (bar.slot != slot)
            continue;
        build(bar);
        ++count;
    }
    forget_closed_windows();
    return count;
}

void QtMenuHost::menus_changed()
{
    if (m_rebuild_pending || m_bars.empty())
        return;
    m_rebuild_pending = true;
    QTimer::singleShot(0, m_context.get(), [this] {
        m_rebuild_pending = false;
        forget_closed_windows();
        for (Bar& bar : m_bars)
            build(bar);
        forget_closed_windows();
    });
}

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
