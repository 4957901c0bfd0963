// The window commands that give a window its look: "shape", "transparency" and "image".
#pragma once

#include "core/Engine.h"

namespace ruk {

class WindowHost;
class BitmapReferences;

// Each runs the current command for window `index` (an occupied slot); a
// sub-command they do not know goes to the script function fallback.
// "shape" "from" reads the bitmap it names through `bitmaps`.
Result window_shape(Engine& e, WindowHost& windows, BitmapReferences& bitmaps, int index);
Result window_transparency(Engine& e, WindowHost& windows, int index);
Result window_image(Engine& e, WindowHost& windows, int index);

// Gives the window a backing bitmap of its own size, black, when it has none.
void ensure_backing(WindowHost& windows, int index);

} // namespace ruk
