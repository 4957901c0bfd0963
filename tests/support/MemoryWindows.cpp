// Windows that exist only in memory.
#include "tests/support/MemoryWindows.h"

namespace ruk::test {

WindowRect MemoryWindow::client_rect() const
{
    WindowRect c = m_rect;
    for (const MemoryWindow* p = m_parent; p; p = p->m_parent) {
        c.left += p->m_rect.left;
        c.top += p->m_rect.top;
    }
    return c;
}

MemoryWindows::MemoryWindows()
{
    m_table.occupy(0, make_window(0));
    made = 0;
}

ScriptWindow* MemoryWindows::make_window(int index)
{
    m_windows.push_back(std::make_unique<MemoryWindow>());
    m_windows.back()->m_handle = 1000 + static_cast<uint64_t>(m_windows.size());
    (void)index;
    ++made;
    return m_windows.back().get();
}

// Window objects are kept to the end, as a deferred delete would keep them
// while their handler runs.
void MemoryWindows::free_window(ScriptWindow*)
{
    ++freed;
}

int MemoryWindows::window_at(int32_t x, int32_t y)
{
    std::vector<int> order = m_table.stacking();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const WindowRect r = window(*it)->geometry();
        if (window(*it)->is_visible() && x >= r.left && y >= r.top && x < r.left + r.width && y < r.top + r.height)
            return *it;
    }
    return -1;
}

uint64_t MemoryWindows::find_window(std::string_view caption)
{
    for (int i = 0; i < WindowTable::Slots; ++i)
        if (auto* w = static_cast<MemoryWindow*>(window(i)); w && w->m_title == caption)
            return w->handle();
    return 0;
}

} // namespace ruk::test
