// The "browser" family: up to 30 web pages inside script windows, and the events they raise.
#pragma once

#include <cstdint>
#include <memory>

namespace ruk {

class Engine;
class BrowserHost;
class WindowHost;
class NamedBitmaps;
class BitmapHost;

// Registers "browser". Browsers are made through `browsers` (null: none
// can be made in this run); "create" takes its parent from `windows`; "copyto"
// draws into the bitmaps the draw family names (`bitmaps`, may be null:
// then nothing has a name) and tells `window_bitmaps` (may be null) when a
// window's backing bitmap changed; the browsers' context menus follow the
// mouse family's `right_click_mode` (may be null: mode 0). Everything passed
// in outlives the engine's family table.
void register_browser_family(Engine& engine, BrowserHost* browsers, WindowHost& windows,
                             std::shared_ptr<NamedBitmaps> bitmaps,
                             BitmapHost* window_bitmaps, const int32_t* right_click_mode);

} // namespace ruk
