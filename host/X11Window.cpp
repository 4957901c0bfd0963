// The key map and the task-bar state of the engine window on the X server.
#include "host/X11Window.h"

#include <X11/Xatom.h>
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

void set_skip_taskbar(_XDisplay* display, uint32_t window)
{
    if (!display || !window)
        return;
    Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom skip_taskbar = XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False);
    Atom skip_pager = XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // add
    event.xclient.data.l[1] = static_cast<long>(skip_taskbar);
    event.xclient.data.l[2] = static_cast<long>(skip_pager);
    event.xclient.data.l[3] = 1; // from an application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

} // namespace ruk
