// Small X11 services for the engine window that Qt does not offer.
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

} // namespace ruk
