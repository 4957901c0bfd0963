// The engine window class, second half: what the window family asks of a window on the desktop.
#include "host/Main.h"

#include "host/EngineApp.h"
#include "host/WindowPainting.h"
#include "host/X11Window.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace ruk {

WindowRect TrukEngineWin::geometry() const
{
    const QRect frame = frameGeometry();
    return WindowRect{frame.x(), frame.y(), frame.width(), frame.height()};
}

WindowRect TrukEngineWin::client_rect() const
{
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    return WindowRect{origin.x(), origin.y(), QWidget::width(), QWidget::height()};
}

void TrukEngineWin::set_client_size(int32_t width, int32_t height)
{
    resize(std::max(0, width), std::max(0, height));
}

void TrukEngineWin::set_visible(bool visible)
{
    if (visible == isVisible())
        return;
    setVisible(visible);
    if (visible && m_index != 0 && !m_app.state().headless && !parentWidget())
        set_skip_taskbar(m_app.display(), static_cast<uint32_t>(winId()));
    if (visible && !parentWidget())
        m_app.table().bring_to_front(m_index);
}

void TrukEngineWin::repaint_now()
{
    grow_backing();
    if (record().look.colour_key)
        update_mask();
    repaint();
}

void TrukEngineWin::show_picture(const Bitmap& picture, int32_t x, int32_t y)
{
    if (!isVisible() || picture.empty())
        return;
    m_shown_picture = image_copy(picture);
    m_shown_at = QPoint(x, y);
    repaint(QRect(m_shown_at, m_shown_picture.size()));
    // A window that was not painted (hidden in between) drops the picture.
    m_shown_picture = QImage();
}

bool TrukEngineWin::set_icon(const std::string& path)
{
    QPixmap picture(QString::fromStdString(path));
    if (picture.isNull())
        return false;
    setWindowIcon(QIcon(picture));
    return true;
}

void TrukEngineWin::set_tooltip(std::string_view text)
{
    setToolTip(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

MonitorInfo TrukEngineWin::monitor() const
{
    QScreen* here = screen();
    if (!here)
        return MonitorInfo{};
    const QRect g = here->geometry();
    return MonitorInfo{WindowRect{g.x(), g.y(), g.width(), g.height()},
                       static_cast<int32_t>(QGuiApplication::screens().indexOf(here))};
}

void TrukEngineWin::change_flags(Qt::WindowFlags on, Qt::WindowFlags off)
{
    const Qt::WindowFlags before = windowFlags();
    const Qt::WindowFlags after = (before | on) & ~off;
    if (after == before)
        return;
    const bool shown = isVisible();
    const QPoint place = pos();
    setWindowFlags(after);
    move(place);
    if (shown)
        show();
}

// Frames come from the window manager: a style asks it for a title bar and
// border (or none) and, for the fixed styles, keeps the size fixed.
void TrukEngineWin::set_frame_style(int style)
{
    const Qt::WindowFlags all = Qt::FramelessWindowHint | Qt::Tool | Qt::Dialog | Qt::Window;
    Qt::WindowFlags flags = Qt::Window;
    switch (style) {
    case 0: flags = Qt::Dialog; break;
    case 2: case 3: flags = Qt::Window; break;
    case 4: case 5: flags = Qt::Tool; break;
    default: flags = Qt::Window | Qt::FramelessWindowHint; break;
    }
    if (m_index != 0 && style != 4 && style != 5)
        flags |= Qt::Tool; // script windows keep out of the task bar
    change_flags(flags, all & ~flags);
    const bool fixed = style == 0 || style == 2 || style == 5;
    if (fixed)
        setFixedSize(size());
    else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void TrukEngineWin::set_caption_buttons(bool system_menu, bool minimize, bool maximize, bool help)
{
    Qt::WindowFlags on = Qt::CustomizeWindowHint | Qt::WindowTitleHint, off;
    (system_menu ? on : off) |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    (minimize ? on : off) |= Qt::WindowMinimizeButtonHint;
    (maximize ? on : off) |= Qt::WindowMaximizeButtonHint;
    (help ? on : off) |= Qt::WindowContextHelpButtonHint;
    change_flags(on, off);
}

int TrukEngineWin::state() const
{
    const Qt::WindowStates s = windowState();
    if (s & Qt::WindowMinimized)
        return 1;
    if (s & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return 0;
}

void TrukEngineWin::set_state(int state)
{
    setWindowState(state == 1 ? Qt::WindowMinimized : state == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
}

void TrukEngineWin::set_focus()
{
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void TrukEngineWin::set_foreground()
{
    QWidget::raise();
    activateWindow();
}

void TrukEngineWin::set_stay_on_top(bool on_top)
{
    if (parentWidget())
        return;
    if (on_top)
        change_flags(Qt::WindowStaysOnTopHint, {});
    else
        change_flags({}, Qt::WindowStaysOnTopHint);
}

void TrukEngineWin::bring_to_front()
{
    QWidget::raise();
}

void TrukEngineWin::send_to_back()
{
    lower();
}

bool TrukEngineWin::place_behind(uint64_t handle)
{
    if (m_app.state().headless)
        return handle != 0;
    return x11_place_below(m_app.display(), static_cast<uint32_t>(winId()), static_cast<uint32_t>(handle));
}

// A child window lives in its parent's client area, clipped to it, at a
// position relative to it; a top-level window goes back to the screen.
void TrukEngineWin::set_parent_window(ScriptWindow* parent)
{
    auto* parent_widget = dynamic_cast<TrukEngineWin*>(parent);
    if (parent_widget == parentWidget())
        return;
    const bool shown = isVisible();
    const QRect place = QWidget::geometry();
    if (parent_widget) {
        setParent(parent_widget, Qt::Widget);
    } else {
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::Tool);
        if (record().stays_on_top())
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    setGeometry(place);
    if (shown)
        show();
}

void TrukEngineWin::update_mask()
{
    WindowRecord& r = record();
    const int w = QWidget::width(), h = QWidget::height();
    if (!r.outline && !r.look.colour_key) {
        clearMask();
        return;
    }
    QRegion region = r.outline ? outline_region(*r.outline) : QRegion(0, 0, w, h);
    if (r.look.colour_key)
        region = region.intersected(key_region(r.backing, w, h, *r.look.colour_key));
    // An empty mask would show the whole window: one pixel outside it stands
    // for "nothing".
    setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
}

void TrukEngineWin::apply_outline()
{
    update_mask();
    update();
}

bool TrukEngineWin::apply_look()
{
    const WindowLook& look = record().look;
    setWindowOpacity(look.alpha ? *look.alpha / 255.0 : 1.0);
    // Under a reparenting window manager the frame would still take the
    // clicks: a click-through window goes around the manager.
    Qt::WindowFlags through = Qt::WindowTransparentForInput;
    if (look.click_through && !parentWidget() && x11_window_manager_running(m_app.display()))
        through |= Qt::X11BypassWindowManagerHint;
    if (look.click_through)
        change_flags(through, {});
    else
        change_flags({}, Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint);
    update_mask();
    update();
    return true;
}

void TrukEngineWin::show_status_icon(std::string_view tip, const std::string& icon_path)
{
    if (!m_status_icon) {
        m_status_icon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_status_icon.get(), &QSystemTrayIcon::activated, this,
                         [this](QSystemTrayIcon::ActivationReason reason) { status_icon_activated(reason); });
    }
    QPixmap picture(QString::fromStdString(icon_path));
    if (!picture.isNull())
        m_status_icon->setIcon(QIcon(picture));
    else if (m_status_icon->icon().isNull())
        m_status_icon->setIcon(windowIcon());
    m_status_icon->setToolTip(QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
    m_status_icon->show();
}

void TrukEngineWin::hide_status_icon()
{
    if (m_status_icon)
        m_status_icon->hide();
}

// The tray reports clicks, not single button changes: a left click is a
// press and a release, a context request a right click.
void TrukEngineWin::status_icon_activated(int reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        raise("statusicon:mouse:down");
        raise("statusicon:mouse:up");
        break;
    case QSystemTrayIcon::DoubleClick:
        raise("statusicon:mouse:dblclick");
        break;
    case QSystemTrayIcon::Context:
        raise("statusicon:mouse:rightclick");
        raise("statusicon:mouse:right:up");
        break;
    default:
        break;
    }
}

// A desktop bar is a dock window. The window stays mapped: unmapping and
// mapping it again at once can leave it unmanaged, and window managers
// follow the struts of a mapped window anyway; the type takes effect the
// next time the window is shown.
void TrukEngineWin::set_desktop_bar(bool enable)
{
    if (m_app.state().headless || parentWidget())
        return;
    x11_set_dock_type(m_app.display(), static_cast<uint32_t>(winId()), enable);
    if (!enable)
        x11_set_struts(m_app.display(), static_cast<uint32_t>(winId()), 0, 0, 0, 0);
}

void TrukEngineWin::set_desktop_bar_area(int edge, const WindowRect& area)
{
    if (m_app.state().headless)
        return;
    const bool vertical = edge == 0 || edge == 2;
    QScreen* here = screen();
    const QRect s = here ? here->geometry() : QRect();
    int32_t length = 0;
    switch (edge) {
    case 0: length = area.left + area.width; break;
    case 1: length = area.top + area.height; break;
    case 2: length = s.width() - area.left; break;
    default: length = s.height() - area.top; break;
    }
    const int32_t start = vertical ? area.top : area.left;
    const int32_t end = vertical ? area.top + area.height : area.left + area.width;
    x11_set_struts(m_app.display(), static_cast<uint32_t>(winId()), edge, std::max(0, length), start, end);
    // FIXME: X11 sends no position notice for docks; "appbar:poschanged"
    // is not raised.
}

} // namespace ruk

namespace ruk {

bool TrukEngineWin::still_in_table() const
{
    return !m_closing_for_shutdown && m_app.table().window(m_index) == this && !m_app.engine().stopped();
}

DragSettings TrukEngineWin::drag_settings()
{
    const WindowRecord& r = record();
    return DragSettings{r.movable, r.drag_axis, r.can_go_out};
}

// The parent area is the parent window's client area, else the primary
// screen; the window counts with its frame.
MotionLimits TrukEngineWin::motion_limits() const
{
    const QWidget* parent = parentWidget();
    QSize area;
    if (parent) {
        area = parent->size();
    } else {
        const QScreen* primary = QGuiApplication::primaryScreen();
        area = primary ? primary->geometry().size() : QSize(0, 0);
    }
    const QRect frame = frameGeometry();
    return MotionLimits{area.width() - frame.width(), area.height() - frame.height()};
}

void TrukEngineWin::place_at_target(bool horizontal, bool vertical)
{
    const WindowRecord& r = record();
    const QPoint here = pos();
    QPoint to = here;
    if (horizontal)
        to.setX(static_cast<int>(std::lround(std::clamp(r.target_left / 100.0f, -1e8f, 1e8f))));
    if (vertical)
        to.setY(static_cast<int>(std::lround(std::clamp(r.target_top / 100.0f, -1e8f, 1e8f))));
    if (to != here)
        move(to);
}

void TrukEngineWin::AnimEngineTimer()
{
    if (m_timers_held || !still_in_table())
        return;
    WindowRecord& r = record();
    if (!r.motion.timer_running())
        return;
    const auto raise_motion = [this](MotionEvent event) {
        if (!still_in_table())
            return false;
        if (event == MotionEvent::Move || event == MotionEvent::End)
            place_at_target(true, true);
        raise(motion_event_name(event));
        return still_in_table();
    };
    r.motion.tick(r.target_left, r.target_top, motion_limits(), r.can_go_out, raise_motion);
}

} // namespace ruk
