// How the bitmap table reaches the backing bitmaps of the engine's windows.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/CanvasState.h"
#include "graphics/EffectSettings.h"

#include <array>

namespace ruk {

// The window table as the bitmap table sees it: each window's backing bitmap
// (what the window shows) and a way to show it again after drawing. The
// host's window table implements it; no family touches a widget.
class BitmapHost {
public:
    virtual ~BitmapHost() = default;
    // The backing bitmap of window `index` (0 to 254), or null when the slot
    // is free.
    virtual Bitmap* window_bitmap(int index) = 0;
    // Called after a command changed the backing bitmap of a window.
    virtual void bitmap_changed(int index) = 0;
    // Shows the whole backing bitmap again ("paint" without a rectangle).
    virtual void repaint(int index) = 0;
    // Shows the rectangle `from` of the backing bitmap in the window's
    // rectangle `to`, stretched. The default shows the whole bitmap again.
    virtual void paint_region(int index, PixelRect from, PixelRect to)
    {
        (void)from;
        (void)to;
        repaint(index);
    }
    // The window's size in pixels; the default is its bitmap's size.
    virtual bool window_size(int index, int32_t& width, int32_t& height)
    {
        Bitmap* bitmap = window_bitmap(index);
        if (!bitmap)
            return false;
        width = bitmap->width();
        height = bitmap->height();
        return true;
    }
};

// Without a desktop only the engine window exists: its backing bitmap is a
// plain bitmap owned here, and showing it again does nothing.
class MainBitmapOnly : public BitmapHost {
public:
    Bitmap* window_bitmap(int index) override { return index == 0 ? &m_main : nullptr; }
    void bitmap_changed(int) override {}
    void repaint(int) override {}

private:
    Bitmap m_main {1, 1, 24};
};

} // namespace ruk
