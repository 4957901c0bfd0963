// The key map, task-bar state, dock struts and stacking of the engine's windows on the X server.
#include "host/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

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

bool x11_window_manager_running(_XDisplay* display)
{
    if (!display)
        return false;
    return XGetSelectionOwner(display, XInternAtom(display, "WM_S0", False)) != None;
}

void x11_set_dock_type(_XDisplay* display, uint32_t window, bool dock)
{
    if (!display || !window)
        return;
    Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    Atom value = XInternAtom(display, dock ? "_NET_WM_WINDOW_TYPE_DOCK" : "_NET_WM_WINDOW_TYPE_NORMAL", False);
    XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&value), 1);
    XFlush(display);
}

void x11_set_struts(_XDisplay* display, uint32_t window, int edge, int32_t length, int32_t start, int32_t end)
{
    if (!display || !window)
        return;
    long partial[12] = {};
    long plain[4] = {};
    if (length > 0 && edge >= 0 && edge <= 3) {
        // The order of _NET_WM_STRUT is left, right, top, bottom.
        static const int slot[4] = {0, 2, 1, 3};
        const int s = slot[edge];
        partial[s] = plain[s] = length;
        partial[4 + 2 * s] = start;
        partial[5 + 2 * s] = std::max(start, end - 1);
    }
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(partial), 12);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STRUT", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(plain), 4);
    XFlush(display);
}

bool x11_place_below(_XDisplay* display, uint32_t window, uint32_t sibling)
{
    if (!display || !window || !sibling)
        return false;
    XWindowChanges changes{};
    changes.sibling = sibling;
    changes.stack_mode = Below;
    XReconfigureWMWindow(display, window, DefaultScreen(display), CWSibling | CWStackMode, &changes);
    XFlush(display);
    return true;
}

} // namespace ruk
