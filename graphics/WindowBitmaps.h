// The window table as the shared bitmap table sees it: each window's backing bitmap.
#pragma once

#include "graphics/BitmapHost.h"
#include "graphics/ScriptWindow.h"
#include "graphics/StretchedPart.h"

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
    // The stretched part goes onto the window only (as a full repaint would
    // show it, the bitmap first grows to the window's size); the backing
    // bitmap keeps its pixels, so the next repaint shows the whole picture.
    void paint_region(int index, PixelRect from, PixelRect to) override
    {
        ScriptWindow* window = m_windows.window(index);
        if (!window)
            return;
        const WindowRect client = window->client_rect();
        Bitmap& backing = m_windows.table().record(index).backing;
        backing.grow(client.width, client.height);
        StretchedPart part = stretch_part(backing, from, to, PixelRect {0, 0, client.width, client.height});
        if (!part.picture.empty())
            window->show_picture(part.picture, part.x, part.y);
    }
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
