// The animation timer of every window: one precise timer, due at the earliest tick of all gliding windows.
#include "host/AnimEngine.h"

#include "graphics/WindowTable.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace ruk {

AnimEngine::AnimEngine(WindowTable& table, std::function<int64_t()> clock, std::function<void(int)> tick)
    : m_table(table), m_clock(std::move(clock)), m_tick(std::move(tick))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
}

void AnimEngine::schedule()
{
    int64_t earliest = std::numeric_limits<int64_t>::max();
    for (int i = 0; i < m_table.high_water(); ++i) {
        const WindowRecord& r = m_table.record(i);
        if (r.window && r.motion.timer_running())
            earliest = std::min(earliest, r.motion.next_tick_ms());
    }
    if (earliest == std::numeric_limits<int64_t>::max()) {
        m_timer.stop();
        return;
    }
    const int64_t wait = std::clamp<int64_t>(earliest - m_clock(), 0, 1000);
    m_timer.start(static_cast<int>(wait));
}

// The due windows are taken first, so that a window a script makes or
// starts during this round waits for its own first tick.
void AnimEngine::fire()
{
    const int64_t now = m_clock();
    std::vector<int> due;
    for (int i = 0; i < m_table.high_water(); ++i) {
        WindowRecord& r = m_table.record(i);
        if (r.window && r.motion.take_due_tick(now))
            due.push_back(i);
    }
    for (int index : due)
        if (m_table.record(index).window)
            m_tick(index);
    schedule();
}

} // namespace ruk
