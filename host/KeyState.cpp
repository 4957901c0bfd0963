// Reading the X server's key map.
#include "host/KeyState.h"

#include <X11/Xlib.h>

namespace ruk {

bool x11_key_is_down(_XDisplay* display, unsigned keycode)
{
    if (!display || keycode == 0 || keycode > 255)
        return false;
    char keys[32];
    XQueryKeymap(display, keys);
    return (keys[keycode / 8] >> (keycode % 8)) & 1;
}

} // namespace ruk
