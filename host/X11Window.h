// Small X11 services for the engine's windows that Qt does not offer.
#pragma once

#include <cstdint>

struct _XDisplay;

namespace ruk {

// True when the key with this X keycode is held down now (an auto-repeat
// release is not a real one). False without a display or a keycode.
bool x11_key_is_down(_XDisplay* display, unsigned keycode);

// Asks the window manager to leave the window out of the task bar and the
// pager (_NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER); a tool window alone
// does not say so. Does nothing without a display.
void set_skip_taskbar(_XDisplay* display, uint32_t window);

// True when a window manager runs on the display's first screen (it owns
// the WM_S0 selection).
bool x11_window_manager_running(_XDisplay* display);

// Marks the window as a dock (_NET_WM_WINDOW_TYPE_DOCK) or as an ordinary
// window again. Window managers read the type when the window is mapped.
void x11_set_dock_type(_XDisplay* display, uint32_t window, bool dock);

// Reserves `length` pixels at a screen edge (0 left, 1 top, 2 right, 3
// bottom) from `start` to `end` along it (_NET_WM_STRUT_PARTIAL and
// _NET_WM_STRUT); a length of 0 reserves nothing.
void x11_set_struts(_XDisplay* display, uint32_t window, int edge, int32_t length, int32_t start, int32_t end);

// Restacks the window just below `sibling`, through the window manager
// when one runs. False when either is 0.
bool x11_place_below(_XDisplay* display, uint32_t window, uint32_t sibling);

} // namespace ruk
