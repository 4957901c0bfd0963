// The engine's own compositor: every visible window composed as the desktop shows it.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/WindowTable.h"
#include "system/WindowRect.h"

namespace ruk {

// The colour behind all windows in a composed picture (a colour value).
inline constexpr uint32_t DesktopBackground = 0x704F30; // red 0x30, green 0x4F, blue 0x70

// Draws the windows of the table onto a picture of `screen` (the virtual
// screen's rectangle), bottom to top in the table's stacking order, each
// child window above its parent and clipped to its parent's client area.
// Children are also cut to their parent's outline, as the window system
// does. A window shows its backing bitmap (black where the bitmap is smaller than
// the window) inside its outline, leaves out pixels of its colour key and
// is blended with what lies below by its alpha. The result depends on the
// table alone, so the same windows always give the same picture.
Bitmap compose_desktop(const WindowTable& table, const WindowRect& screen);

} // namespace ruk
