// Touch and gesture events to script events.
#include "host/TouchFilter.h"

#include "host/HostState.h"

#include <QEvent>

namespace ruk {

bool TouchFilter::handle(QEvent* event)
{
    const char* name = nullptr;
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        name = "touch:start";
        break;
    case QEvent::Gesture:
    case QEvent::NativeGesture:
        name = "gesture:start";
        break;
    default:
        return false;
    }
    if (++m_count == 0)
        m_count = 1;
    m_state.gesture_value = m_count;
    m_raise(name);
    if (!m_state.gesture_cancel)
        return false;
    m_state.gesture_cancel = 0;
    event->accept();
    return true;
}

bool TouchFilter::eventFilter(QObject*, QEvent* event)
{
    return handle(event);
}

} // namespace ruk
