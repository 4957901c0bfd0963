// The engine window: input, timers and window changes become script events.
#include "host/Main.h"

#include "graphics/WindowLife.h"
#include "host/EngineApp.h"
#include "host/WindowPainting.h"
#include "host/KeyCodes.h"
#include "host/X11Window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

namespace ruk {

TrukEngineWin::TrukEngineWin(EngineApp& app, int index) : m_app(app), m_index(index)
{
    apply_style();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setAttribute(Qt::WA_AcceptTouchEvents);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QString::fromStdString(app.state().title));
    if (index == 0) {
        activation_countdown = 2;
        m_first_load_pending = true;
        m_timers_held = true;
    }
    connect(&m_ruk_timer, &QTimer::timeout, this, [this] { RukTimerTimer(); });
    connect(&m_window_timer, &QTimer::timeout, this, [this] { WindowTimerTimer(); });
    m_ruk_timer.setInterval(10);
    m_window_timer.setInterval(1000);
    if (!m_timers_held)
        m_ruk_timer.start();
}

void TrukEngineWin::start_timers()
{
    if (!m_timers_held || m_closing_for_shutdown)
        return;
    m_timers_held = false;
    m_ruk_timer.start();
}

TrukEngineWin::~TrukEngineWin() = default;

WindowRecord& TrukEngineWin::record()
{
    return m_app.table().record(m_index);
}

void TrukEngineWin::apply_style()
{
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    const HostState& state = m_app.state();
    if (m_index != 0) {
        // Script windows: no task-bar button; the window family chooses
        // whether they stay on top.
        setWindowFlags(flags | Qt::Tool);
        resize(0, 0);
        return;
    }
    if (!state.hidden)
        flags |= Qt::WindowStaysOnTopHint;
    if (!state.show_in_taskbar || state.hidden)
        flags |= Qt::Tool;
    setWindowFlags(flags);
}

void TrukEngineWin::raise(const char* name, bool immediate)
{
    m_app.raise(name, m_index, immediate, true);
}

// Where a screen point lies in the client area, by the engine's own record
// of where the window is: asking the window system would lag behind a window
// that has just been moved (a window manager applies moves later), and the
// drag would overshoot.
QPoint TrukEngineWin::cursor_inside(const QPoint& global) const
{
    const QWidget* parent = parentWidget();
    const QPoint origin = parent ? parent->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    return global - origin - QWidget::geometry().topLeft();
}

void TrukEngineWin::FormMouseDown(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    WindowRecord& r = record();
    const QPoint global = event->globalPosition().toPoint();
    const QPoint inside = cursor_inside(global);
    const WindowRect place = geometry();
    if (m_drag.press(r.motion, drag_settings(), DragPoint{inside.x(), inside.y()}, DragPoint{place.left, place.top},
                     DragPoint{global.x(), global.y()}, m_app.motion_clock_ms())) {
        r.grab_x = inside.x();
        r.grab_y = inside.y();
    }
    raise("mouse:down");
}

void TrukEngineWin::FormMouseMove(QMouseEvent* event)
{
    WindowRecord& r = record();
    const QPoint global = event->globalPosition().toPoint();
    const QPoint inside = cursor_inside(global);
    const WindowRect place = geometry();
    m_drag.set_grab(DragPoint{r.grab_x, r.grab_y});
    const DragSettings settings = drag_settings();
    const WindowDrag::Step step =
        m_drag.move(r.motion, r.target_left, r.target_top, settings, DragPoint{global.x(), global.y()},
                    DragPoint{inside.x(), inside.y()}, DragPoint{place.left, place.top}, motion_limits(),
                    m_app.state().finger_driven, m_app.motion_clock_ms());
    if (step.moved) {
        place_at_target(settings.drag_axis != 2, settings.drag_axis != 1);
        raise("move");
    }
    if (step.mouse_moved && still_in_table())
        raise("mouse:move");
}

void TrukEngineWin::FormMouseUp(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        WindowRecord& r = record();
        const QPoint global = event->globalPosition().toPoint();
        const WindowRect place = geometry();
        const WindowRect screen = m_app.screen();
        const WindowDrag::Release release =
            m_drag.release(r.motion, drag_settings(), DragPoint{global.x(), global.y()},
                           DragPoint{place.left, place.top}, DragPoint{screen.width, screen.height},
                           m_app.motion_clock_ms());
        raise("mouse:up");
        if (release.click) {
            raise("mouse:click");
        } else if (release.thrown) {
            raise("anim:start");
            m_app.animation_started(m_index);
        }
    } else if (event->button() == Qt::RightButton) {
        if (record().close_on_right_click) {
            close_window();
        } else {
            raise("mouse:rightclick");
            raise("mouse:right:click");
        }
    }
}

void TrukEngineWin::FormDblClick(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    raise("mouse:doubleclick");
    raise("mouse:dblclick");
}

void TrukEngineWin::wheelEvent(QWheelEvent* event)
{
    if (event->angleDelta().y() < 0)
        FormMouseWheelDown();
    else if (event->angleDelta().y() > 0)
        FormMouseWheelUp();
}

void TrukEngineWin::FormMouseWheelDown()
{
    raise("mouse:wheel:down");
}

void TrukEngineWin::FormMouseWheelUp()
{
    raise("mouse:wheel:up");
}

void TrukEngineWin::FormKeyDown(QKeyEvent* event)
{
    const int key = virtual_key_from_qt(event->key(), event->modifiers());
    if (key == 27 && record().close_on_escape) {
        close_window();
        return;
    }
    // Auto-repeat raises no further key-down, only further characters.
    if (!event->isAutoRepeat() && !(m_key_held && key == last_key)) {
        last_key = key;
        last_character = 0;
        raise("keyboard:down");
        m_key_held = true;
    }
    if (!event->text().isEmpty())
        FormKeyPress(event->text());
}

void TrukEngineWin::FormKeyPress(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    last_character = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes[0]);
    raise("keyboard:press");
}

void TrukEngineWin::FormKeyUp(QKeyEvent* event)
{
    // The X server's auto-repeat sends releases of its own; a key that is
    // still down has not been released.
    if (event->isAutoRepeat() || x11_key_is_down(m_app.display(), event->nativeScanCode()))
        return;
    m_key_held = false;
    last_character = 0;
    raise("keyboard:up");
}

void TrukEngineWin::grow_backing()
{
    Bitmap& backing = record().backing;
    if (backing.width() < width() || backing.height() < height())
        backing.grow(width(), height());
}

// The picture is the backing bitmap, grown to the window's size, copied in
// one piece; the background is never cleared. A picture put on top by
// show_picture is drawn over it once, by the paint it asked for.
void TrukEngineWin::FormPaint(QPaintEvent*)
{
    grow_backing();
    const QImage picture = backing_image(record().backing);
    QPainter painter(this);
    if (!picture.isNull())
        painter.drawImage(0, 0, picture);
    if (!m_shown_picture.isNull()) {
        painter.drawImage(m_shown_at, m_shown_picture);
        m_shown_picture = QImage();
    }
}

void TrukEngineWin::FormResize(QResizeEvent*)
{
    if (isVisible())
        raise("resize");
}

void TrukEngineWin::moveEvent(QMoveEvent*)
{
    raise("window:move");
    m_app.raise("winmove", m_index, false, false);
}

void TrukEngineWin::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            FormActivate();
        else
            FormDeactivate();
    } else if (event->type() == QEvent::WindowStateChange && m_index == 0) {
        bool minimized = windowState() & Qt::WindowMinimized;
        if (minimized && !m_minimized)
            m_app.raise("minimize", 0, true, true);
        else if (!minimized && m_minimized)
            m_app.raise("restore", 0, false, true);
        m_minimized = minimized;
    }
    QWidget::changeEvent(event);
}

// The countdown holds back only the focus events of the first activations;
// a visible window's activation is always reported.
void TrukEngineWin::FormActivate()
{
    if (activation_countdown == 0)
        raise("window:gotfocus");
    else
        --activation_countdown;
    if (isVisible())
        raise("window:activate");
}

void TrukEngineWin::FormDeactivate()
{
    if (activation_countdown == 0)
        raise("window:lostfocus");
    else
        --activation_countdown;
    if (isVisible())
        raise("window:deactivate");
}

void TrukEngineWin::RukTimerTimer()
{
    // The innermost engine window under the cursor: a child window, not its
    // parent, has the cursor when it is over the child.
    const TrukEngineWin* under = nullptr;
    for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w && !under; w = w->parentWidget())
        under = dynamic_cast<TrukEngineWin*>(w);
    const bool inside = under == this && isVisible();
    if (inside && !mouse_inside)
        raise("mouse:enter");
    else if (!inside && mouse_inside)
        raise("mouse:exit");
    mouse_inside = inside;

    if (m_first_load_pending) {
        m_first_load_pending = false;
        raise("load", true);
        if (!m_app.state().hidden && !isVisible() && !m_closing_for_shutdown && !m_app.engine().stopped())
            show();
    }
}

void TrukEngineWin::WindowTimerTimer()
{
    // A script may switch the timer on in "initialize"; its ticks count
    // from the end of start-up.
    if (m_timers_held)
        return;
    raise("window:timer");
}

void TrukEngineWin::close_window()
{
    if (m_index == 0) {
        m_app.terminate_sequence();
        return;
    }
    HostState& state = m_app.state();
    state.cancel_close = false;
    raise("window:close", true);
    if (!state.cancel_close)
        close_script_window(m_app.engine(), m_app, m_index);
}

void TrukEngineWin::close_for_shutdown()
{
    m_closing_for_shutdown = true;
    m_ruk_timer.stop();
    m_window_timer.stop();
    close();
}

void TrukEngineWin::stop_timers()
{
    m_ruk_timer.stop();
    m_window_timer.stop();
    m_closing_for_shutdown = true;
}

uint64_t TrukEngineWin::handle() const
{
    return static_cast<uint64_t>(winId());
}

void TrukEngineWin::set_geometry(const WindowRect& rect_in)
{
    // The whole window is given; Qt sizes the client area.
    WindowRect rect = rect_in;
    const QRect frame = frameGeometry();
    rect.width = std::max(0, rect.width - (frame.width() - QWidget::width()));
    rect.height = std::max(0, rect.height - (frame.height() - QWidget::height()));
    // A move alone keeps the size the window system gave; a size change alone
    // keeps the place.
    if (rect.width == width() && rect.height == height())
        move(rect.left, rect.top);
    else if (rect.left == x() && rect.top == y())
        resize(rect.width, rect.height);
    else
        setGeometry(rect.left, rect.top, rect.width, rect.height);
}

void TrukEngineWin::set_title(std::string_view title)
{
    setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
}

void TrukEngineWin::set_timer_enabled(bool enabled)
{
    if (enabled)
        m_window_timer.start();
    else
        m_window_timer.stop();
}

void TrukEngineWin::FormClose(QCloseEvent* event)
{
    if (m_closing_for_shutdown) {
        event->accept();
        return;
    }
    HostState& state = m_app.state();
    state.cancel_close = false;
    raise("window:close");
    if (m_index == 0) {
        // The window system asked the engine window to close: end the engine.
        event->ignore();
        m_app.terminate_sequence();
        return;
    }
    // The window system asked a script window to close: it closes as the
    // window family closes it, unless a script cancels.
    event->ignore();
    if (!state.cancel_close)
        close_script_window(m_app.engine(), m_app, m_index);
}

} // namespace ruk
