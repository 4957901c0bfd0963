// The engine window: input, timers and window changes become script events.
#include "host/Main.h"

#include "host/EngineApp.h"
#include "host/KeyCodes.h"
#include "host/X11Window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
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
    m_back_buffer = QImage(1, 1, QImage::Format_RGB888);
    m_back_buffer.fill(Qt::white);
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

void TrukEngineWin::apply_style()
{
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    const HostState& state = m_app.state();
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

void TrukEngineWin::FormMouseDown(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        raise("mouse:down");
}

void TrukEngineWin::FormMouseMove(QMouseEvent* event)
{
    QPoint now = event->globalPosition().toPoint();
    if (now != m_seen[0])
        raise("mouse:move");
    m_seen[0] = m_seen[1];
    m_seen[1] = now;
}

void TrukEngineWin::FormMouseUp(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        raise("mouse:up");
        // FIXME: a window dragged since the press raises no click once
        // dragging arrives.
        raise("mouse:click");
    } else if (event->button() == Qt::RightButton) {
        if (close_on_right_click) {
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
    if (key == 27 && close_on_escape) {
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

void TrukEngineWin::FormPaint(QPaintEvent*)
{
    // The picture is the back buffer, grown to the window's size; the
    // background is never cleared.
    if (m_back_buffer.width() < width() || m_back_buffer.height() < height()) {
        QImage grown(std::max(width(), m_back_buffer.width()), std::max(height(), m_back_buffer.height()),
                     QImage::Format_RGB888);
        grown.fill(Qt::white);
        QPainter copy(&grown);
        copy.drawImage(0, 0, m_back_buffer);
        copy.end();
        m_back_buffer = std::move(grown);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_back_buffer);
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
    const bool inside = QApplication::topLevelAt(QCursor::pos()) == this && isVisible();
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
    close();
}

void TrukEngineWin::close_for_shutdown()
{
    m_closing_for_shutdown = true;
    m_ruk_timer.stop();
    m_window_timer.stop();
    close();
}

uint64_t TrukEngineWin::handle() const
{
    return static_cast<uint64_t>(winId());
}

void TrukEngineWin::set_geometry(const WindowRect& rect)
{
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

void TrukEngineWin::set_close_switches(bool on_escape, bool on_right_click)
{
    close_on_escape = on_escape;
    close_on_right_click = on_right_click;
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
    if (state.cancel_close)
        event->ignore();
    else
        event->accept();
}

} // namespace ruk
