// The engine's own compositor: every visible window composed as the desktop shows it.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/WindowTable.h"
#include "system/WindowRect.h"

#include <vector>

namespace ruk {

// The colour behind all windows in a composed picture (a colour value).
inline constexpr uint32_t DesktopBackground = 0x704F30; // red 0x30, green 0x4F, blue 0x70

// A picture shown inside a window that its backing bitmap does not hold (a
// web page in a child widget): its place in the window's client area, in
// pixels, and its pixels as colour values.
struct WindowInset {
    int window = -1;
    int32_t left = 0;
    int32_t top = 0;
    Bitmap picture;
};

// Draws the windows of the table onto a picture of `screen` (the virtual
// screen's rectangle), bottom to top in the table's stacking order, each
// child window above its parent and clipped to its parent's client area.
// Children are also cut to their parent's outline, as the window system
// does. A window shows its backing bitmap (black where the bitmap is smaller than
// the window) inside its outline, leaves out pixels of its colour key and
// is blended with what lies below by its alpha. A window's insets cover its
// bitmap (a later inset over an earlier one) and lie below its child
// windows; they are clipped like the window, and its colour key, a mask
// made from the bitmap, cuts them where the bitmap has the key. The result
// depends on the table and the insets alone, so the same windows always
// give the same picture.
Bitmap compose_desktop(const WindowTable& table, const WindowRect& screen,
                       const std::vector<WindowInset>& insets = {});

} // namespace ruk
