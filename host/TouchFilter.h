// Touch and gesture messages of the engine's windows become immediate script events.
#pragma once

#include <QObject>

#include <functional>

namespace ruk {

struct HostState;

// Every touch event (begin, update, end, cancel) of a window raises
// "touch:start", every gesture event (Qt gestures and the platform's native
// touchpad gestures) raises "gesture:start", at once even inside a running
// event. Before raising, the message's number goes into the gesture value
// (a count of such messages, never 0). When a script has set the cancel flag
// - in the event or at any time before - the message is marked handled and
// goes no further (no pointer events are made from it), and the flag is
// cleared.
class TouchFilter : public QObject {
public:
    using Raise = std::function<void(const char* name)>;
    TouchFilter(HostState& state, Raise raise) : m_state(state), m_raise(std::move(raise)) {}

    // True when the event was a touch or gesture event that a script cancelled.
    bool handle(QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HostState& m_state;
    Raise m_raise;
    uint32_t m_count = 0;
};

} // namespace ruk
