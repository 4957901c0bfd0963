// The 256 off-screen bitmaps scripts draw into.
#include "graphics/BitmapTable.h"

namespace ruk {

int32_t BitmapTable::slot_of_reference(int64_t reference)
{
    if (reference <= -1 && reference >= -Slots)
        return int32_t(-reference - 1);
    return -1;
}

bool BitmapTable::occupied(int32_t slot) const
{
    return slot >= 0 && slot < Slots && m_entries[size_t(slot)] != nullptr;
}

BitmapTable::Entry* BitmapTable::use(int32_t slot)
{
    if (slot < 0 || slot >= Slots)
        return nullptr;
    std::unique_ptr<Entry>& entry = m_entries[size_t(slot)];
    if (!entry)
        entry = std::make_unique<Entry>();
    return entry.get();
}

int32_t BitmapTable::create()
{
    // The last slot is reached only through its reference, never created here.
    for (int32_t slot = 0; slot < Slots - 1; ++slot) {
        if (!m_entries[size_t(slot)]) {
            use(slot);
            return slot;
        }
    }
    return -1;
}

void BitmapTable::remove(int32_t slot)
{
    if (slot >= 0 && slot < Slots)
        m_entries[size_t(slot)].reset();
}

void BitmapTable::clear()
{
    for (auto& entry : m_entries)
        entry.reset();
}

} // namespace ruk
