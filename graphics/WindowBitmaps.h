// The draw family's view of the window table: each window's backing bitmap.
#pragma once

#include "graphics/BitmapHost.h"
#include "graphics/ScriptWindow.h"

namespace ruk {

// Drawing goes into a window's backing bitmap in its record of the window
// table; the window shows it when a script asks ("draw.N.paint", a repaint
// of the window) or the window system needs it painted again.
class WindowBitmaps : public BitmapHost {
public:
    explicit WindowBitmaps(WindowHost& windows) : m_windows(windows) {}

    Bitmap* window_bitmap(int index) override
    {
        return m_windows.window(index) ? &m_windows.table().record(index).backing : nullptr;
    }
    void bitmap_changed(int) override {}
    void repaint(int index) override
    {
        if (ScriptWindow* window = m_windows.window(index))
            window->repaint_now();
    }
    // FIXME: a stretched copy of part of the bitmap onto part of the window
    // shows the whole bitmap again for now.
    bool window_size(int index, int32_t& width, int32_t& height) override
    {
        ScriptWindow* window = m_windows.window(index);
        if (!window)
            return false;
        const WindowRect client = window->client_rect();
        width = client.width;
        height = client.height;
        return true;
    }

private:
    WindowHost& m_windows;
};

} // namespace ruk
