// The engine's events: messages from other engines, the application-wide input hook and the idle handler.
#include "host/EngineApp.h"

#include "host/InterEngine.h"
#include "host/KeyCodes.h"
#include "host/TouchFilter.h"
#include "host/X11Window.h"
#include "host/Main.h"
#include "system/X11Desktop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace ruk {

// --- events -------------------------------------------------------------------

void EngineApp::raise(const char* name, int window, bool immediate, bool use_group)
{
    m_engine.run_event(name, immediate, window, use_group);
}

void EngineApp::handle_engine_message(uint32_t message, uint32_t wparam, uint32_t lparam)
{
    InterEngineEvent what = apply_engine_message(m_state.inter_engine, message, wparam, lparam);
    switch (what) {
    case InterEngineEvent::Received:
        raise("extern:received", 0, false, false);
        break;
    case InterEngineEvent::ReceivedNum:
        raise("extern:received:num", 0, false, false);
        break;
    case InterEngineEvent::EndRequest:
        // Destroy the engine window and leave the loop; shutdown then runs
        // the terminate sequence.
        if (m_main_window)
            m_main_window->hide();
        terminate_application();
        break;
    case InterEngineEvent::None:
        break;
    }
}

void EngineApp::handle_exception(const std::string& message)
{
    m_engine.handle_exception(message);
}

bool EngineApp::nativeEventFilter(const QByteArray& type, void* message, qintptr*)
{
    if (type != "xcb_generic_event_t")
        return false;
    uint32_t msg = 0, wparam = 0, lparam = 0;
    if (!m_desktop->decode_engine_message(message, msg, wparam, lparam))
        return false;
    handle_engine_message(msg, wparam, lparam);
    return true;
}

// The message hook: every input event of an engine window, before the window sees it.
bool EngineApp::eventFilter(QObject* watched, QEvent* event)
{
    if (!watched->isWidgetType() || !dynamic_cast<TrukEngineWin*>(watched))
        return false;
    auto* window = static_cast<TrukEngineWin*>(watched);
    if (m_touch_filter->handle(event))
        return true;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool left = mouse->button() == Qt::LeftButton;
        if (!left && mouse->button() != Qt::RightButton)
            break;
        const char* action = event->type() == QEvent::MouseButtonPress     ? "down"
                             : event->type() == QEvent::MouseButtonRelease ? "up"
                                                                           : "dblclick";
        if (event->type() == QEvent::MouseButtonPress && !window->isActiveWindow())
            raise("mouse:global:activate", 0, false, false);
        std::string button = std::string("mouse:global:") + (left ? "lbutton:" : "rbutton:") + action;
        std::string side = std::string("mouse:global:") + (left ? "left:" : "right:") + action;
        raise(button.c_str(), 0, false, true);
        raise(side.c_str(), 0, false, false);
        break;
    }
    case QEvent::MouseMove:
        raise("mouse:global:move", 0, false, false);
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        m_state.last_global_key = virtual_key_from_qt(key->key(), key->modifiers());
        // Auto-repeat repeats key-downs; its releases are not real ones.
        const bool repeat_release = event->type() == QEvent::KeyRelease
            && (key->isAutoRepeat() || x11_key_is_down(display(), key->nativeScanCode()));
        if (!repeat_release)
            raise(event->type() == QEvent::KeyPress ? "keyboard:global:down" : "keyboard:global:up", 0, false, true);
        // Ctrl with B, E to U, W or Y never reaches a window.
        const int k = m_state.last_global_key;
        if ((key->modifiers() & Qt::ControlModifier)
            && (k == 'B' || (k >= 'E' && k <= 'U') || k == 'W' || k == 'Y'))
            return true;
        break;
    }
    case QEvent::Move:
        raise("window:moved", 0, false, true);
        break;
    default:
        break;
    }
    return false;
}

// --- the idle handler ---------------------------------------------------------

// Arms the idle timer for the earliest due entry of the pending queue (at
// once when one is due, or always with "booster"); an entry queued later but
// due sooner brings the timer forward.
void EngineApp::schedule_idle()
{
    reap_children();
    if (m_engine.stopped())
        return;
    const int64_t now = tick_ms();
    const int64_t next = m_engine.next_due().value_or(INT64_MAX);
    int delay;
    if (m_state.continuous_idle || next <= now)
        delay = 0;
    else if (next != INT64_MAX)
        delay = static_cast<int>(std::min<int64_t>(next - now, 1000));
    else
        return;
    if (m_idle_timer.isActive() && m_idle_timer.remainingTime() <= delay)
        return;
    m_idle_timer.start(delay);
}

void EngineApp::idle_pass()
{
    if (m_engine.pc() == -1)
        m_engine.run_pending();
}

} // namespace ruk
