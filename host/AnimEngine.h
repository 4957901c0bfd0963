// The animation timer of every window: one precise timer, due at the earliest tick of all gliding windows.
#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>

namespace ruk {

class WindowTable;

// Every window with a running animation timer ticks every 20 ms on the
// motion clock. Rather than one timer per window, the engine keeps a single
// precise timer armed at the earliest due tick of all windows; when it
// fires, each window whose tick is due ticks (in slot order), and the timer
// is armed again. The due times live in each window's Motion, so a window
// that falls behind gets one tick, not a burst, and ticks stay on a 20 ms
// cadence of their own whatever the other windows do.
//
// A tick may run scripts, and a script may pump messages (a box, a wait):
// the timer may then fire again inside a tick. That is allowed; the window
// that is ticking skips, because its Motion's tick guard is set.
class AnimEngine {
public:
    // `clock` gives milliseconds on the motion clock; `tick` runs one due
    // tick of a slot's window.
    AnimEngine(WindowTable& table, std::function<int64_t()> clock, std::function<void(int)> tick);

    // Arms the timer at the earliest due tick of all running windows, or
    // stops it when none runs. Call after a window's timer started.
    void schedule();
    void stop() { m_timer.stop(); }

private:
    void fire();

    WindowTable& m_table;
    std::function<int64_t()> m_clock;
    std::function<void(int)> m_tick;
    QTimer m_timer;
};

} // namespace ruk
