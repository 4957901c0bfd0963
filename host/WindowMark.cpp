// The engine window's mark on the X server.
#include "host/WindowMark.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace ruk {

void mark_engine_window(_XDisplay* display, uint32_t window)
{
    if (!display || !window)
        return;
    Atom mark = XInternAtom(display, "RUK_ENGINE_WINDOW", False);
    long one = 1;
    XChangeProperty(display, window, mark, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&one), 1);
    XFlush(display);
}

} // namespace ruk
