// The one table of bitmaps scripts name.
#include "graphics/BitmapReferences.h"

#include "core/Text.h"

namespace ruk {

BitmapReferences::BitmapReferences(BitmapHost* windows)
{
    if (!windows) {
        m_own_windows = std::make_unique<MainBitmapOnly>();
        windows = m_own_windows.get();
    }
    m_windows = windows;
}

NamedBitmap BitmapReferences::resolve(std::string_view reference)
{
    if (!reference.empty() && reference[0] == 'm') {
        Bitmap* main = m_windows->window_bitmap(0);
        return main ? NamedBitmap {main, &m_window_canvas[0], 0} : NamedBitmap {};
    }
    if (reference.empty())
        return {};
    const int32_t value = eval_int(reference, -10000);
    if (value >= 0 && value < int32_t(m_window_canvas.size())) {
        Bitmap* bitmap = m_windows->window_bitmap(value);
        return bitmap ? NamedBitmap {bitmap, &m_window_canvas[size_t(value)], value} : NamedBitmap {};
    }
    const int32_t slot = BitmapTable::slot_of_reference(value);
    if (slot < 0)
        return {};
    BitmapTable::Entry* entry = m_table.use(slot);
    return NamedBitmap {&entry->bitmap, &entry->canvas, -1};
}

void BitmapReferences::changed(const NamedBitmap& named)
{
    if (named.window >= 0)
        m_windows->bitmap_changed(named.window);
}

} // namespace ruk
