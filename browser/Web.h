// The "browser" family: up to 30 web pages inside script windows, and the events they raise.
#pragma once

#include <cstdint>

namespace ruk {

class Engine;
class BrowserHost;
class WindowHost;
class BitmapReferences;

// Registers "browser". Browsers are made through `browsers` (null: none
// can be made in this run); "create" takes its parent from `windows`; "copyto"
// draws into the bitmaps scripts name (`bitmaps`, the table the draw
// family shares), and a window showing that bitmap hears of it; the browsers' context menus follow the
// mouse family's `right_click_mode` (may be null: mode 0). Everything passed
// in outlives the engine's family table.
void register_browser_family(Engine& engine, BrowserHost* browsers, WindowHost& windows, BitmapReferences& bitmaps,
                             const int32_t* right_click_mode);

} // namespace ruk
