// The window table's slots and stacking order.
#include "graphics/WindowTable.h"

#include <algorithm>

namespace ruk {

int WindowTable::lowest_free() const
{
    for (int i = 1; i < Slots; ++i)
        if (!m_records[i].window)
            return i;
    return -1;
}

// A slot's heading outlives its windows; everything else starts afresh.
void WindowTable::occupy(int index, ScriptWindow* window)
{
    const int32_t heading = m_records[index].motion.heading();
    m_records[index] = WindowRecord{};
    m_records[index].motion.set_heading(heading);
    m_records[index].window = window;
    m_high_water = std::max(m_high_water, index + 1);
    unstack(index);
    m_order.push_back(index);
}

void WindowTable::release(int index)
{
    const int32_t heading = m_records[index].motion.heading();
    m_records[index] = WindowRecord{};
    m_records[index].motion.set_heading(heading);
    unstack(index);
}

int WindowTable::count() const
{
    int n = 0;
    for (const WindowRecord& r : m_records)
        n += r.window != nullptr;
    return n;
}

void WindowTable::unstack(int index)
{
    m_order.erase(std::remove(m_order.begin(), m_order.end(), index), m_order.end());
}

void WindowTable::bring_to_front(int index)
{
    if (!m_records[index].window)
        return;
    unstack(index);
    m_order.push_back(index);
}

void WindowTable::send_to_back(int index)
{
    if (!m_records[index].window)
        return;
    unstack(index);
    m_order.insert(m_order.begin(), index);
}

bool WindowTable::place_behind(int index, int other)
{
    if (index == other || !m_records[index].window)
        return false;
    auto it = std::find(m_order.begin(), m_order.end(), other);
    if (it == m_order.end())
        return false;
    unstack(index);
    it = std::find(m_order.begin(), m_order.end(), other);
    m_order.insert(it, index);
    return true;
}

std::vector<int> WindowTable::stacking() const
{
    std::vector<int> normal, on_top;
    for (int i : m_order) {
        const WindowRecord& r = m_records[i];
        if (!r.window || r.parent >= 0)
            continue;
        (r.stays_on_top() ? on_top : normal).push_back(i);
    }
    normal.insert(normal.end(), on_top.begin(), on_top.end());
    return normal;
}

std::vector<int> WindowTable::children(int parent) const
{
    std::vector<int> out;
    for (int i : m_order)
        if (m_records[i].window && m_records[i].parent == parent)
            out.push_back(i);
    return out;
}

} // namespace ruk
