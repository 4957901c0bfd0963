// What the window family needs from a window on the desktop, without knowing the toolkit.
#pragma once

#include "graphics/WindowTable.h"
#include "system/WindowRect.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ruk {

class Outline;

// The display monitor that holds a window.
struct MonitorInfo {
    WindowRect bounds;
    int32_t index = 0;
};

// One window of the window table as the families see it. The host's form
// class implements it; the families never touch the toolkit's widgets, so a
// family works alike on the desktop, headless and against a fake in tests.
// The window's picture, outline and look live in its record of the window
// table; the calls below tell the window that they changed.
class ScriptWindow {
public:
    virtual ~ScriptWindow() = default;

    // The window system's handle (an X11 window id), 0 when it has none.
    virtual uint64_t handle() const = 0;
    // The whole window (frame included): a top-level window on the screen,
    // a child window in its parent's client area.
    virtual WindowRect geometry() const = 0;
    // The client area: its origin on the screen and its size.
    virtual WindowRect client_rect() const = 0;
    // Moves and sizes the whole window at once.
    virtual void set_geometry(const WindowRect& rect) = 0;
    // Sizes the client area, keeping the window's place.
    virtual void set_client_size(int32_t width, int32_t height) = 0;
    virtual bool is_visible() const = 0;
    virtual void set_visible(bool visible) = 0;
    virtual void set_title(std::string_view title) = 0;
    // Repaints at once from the backing bitmap (which grows to the window's
    // size first) and rebuilds a colour-key mask from it.
    virtual void repaint_now() = 0;
    // Shows a picture at (x, y) of the client area on top of what the window
    // shows, until the window is painted again from its backing bitmap.
    virtual void show_picture(const Bitmap& picture, int32_t x, int32_t y)
    {
        (void)picture;
        (void)x;
        (void)y;
        repaint_now();
    }

    // The window's own timer ("window:timer").
    virtual bool timer_enabled() const = 0;
    virtual void set_timer_enabled(bool enabled) = 0;
    virtual int timer_interval() const = 0;
    virtual void set_timer_interval(int milliseconds) = 0;
    // Stops every timer of the window (it is closing).
    virtual void stop_timers() = 0;

    // False when the icon file cannot be read.
    virtual bool set_icon(const std::string& path) = 0;
    // An empty text switches the hint off.
    virtual void set_tooltip(std::string_view text) = 0;
    virtual MonitorInfo monitor() const = 0;
    // 0 dialog frame, 1 none, 2 single, 3 sizeable, 4 sizeable tool window,
    // 5 tool window; anything else none.
    virtual void set_frame_style(int style) = 0;
    virtual void set_caption_buttons(bool system_menu, bool minimize, bool maximize, bool help) = 0;
    // 0 normal, 1 minimised, 2 maximised.
    virtual int state() const = 0;
    virtual void set_state(int state) = 0;
    virtual bool is_enabled() const = 0;
    virtual void set_enabled(bool enabled) = 0;
    virtual void set_focus() = 0;
    virtual void set_foreground() = 0;

    // Stacking, without moving, sizing or activating the window.
    virtual void set_stay_on_top(bool on_top) = 0;
    virtual void bring_to_front() = 0;
    virtual void send_to_back() = 0;
    // Just below the window with this handle; false when that window is unknown.
    virtual bool place_behind(uint64_t handle) = 0;

    // Makes the window a child living in `parent`'s client area, or a
    // top-level window again for null.
    virtual void set_parent_window(ScriptWindow* parent) = 0;
    // The record's outline (or none) becomes the window's shape.
    virtual void apply_outline() = 0;
    // The record's look (key, alpha, click-through) takes effect; false when
    // the window system cannot show it.
    virtual bool apply_look() = 0;

    // The notification-area icon: tip (already cut) and icon file.
    virtual void show_status_icon(std::string_view tip, const std::string& icon_path) = 0;
    virtual void hide_status_icon() = 0;
    // Docks the window as a desktop bar reserving `area` at `edge` (0 left,
    // 1 top, 2 right, 3 bottom); `enable(false)` gives the area back.
    virtual void set_desktop_bar(bool enable) = 0;
    virtual void set_desktop_bar_area(int edge, const WindowRect& area) = 0;

    // Closes the window as a user would: the engine window runs the
    // terminate sequence, a script window raises "window:close" and closes
    // unless a script cancels.
    virtual void close_as_user() = 0;
};

// The window table as the families reach it, and what only the host can
// make: window objects, and answers about the screen.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    WindowTable& table() { return m_table; }
    // The window of a slot (0 to 254), or null when the slot is free.
    ScriptWindow* window(int index) const { return m_table.window(index); }

    // A new hidden window of size 0 x 0 for a slot, or null when none can
    // be made; the caller puts it in the table.
    virtual ScriptWindow* make_window(int index) = 0;
    // Frees the window object of a slot that has been taken out of the
    // table; the host may finish this later (the window may be running one
    // of its own handlers).
    virtual void free_window(ScriptWindow* window) = 0;
    // The slot of the innermost script window at a screen point, or -1.
    virtual int window_at(int32_t x, int32_t y) = 0;
    // The primary screen's size.
    virtual WindowRect screen() = 0;
    // The handle of a top-level window of any program with exactly this
    // caption, or 0.
    virtual uint64_t find_window(std::string_view caption) = 0;
    // The screen area a window covered is drawn again, at once.
    virtual void repaint_area(const WindowRect&) {}

    // Milliseconds on the clock the animation timers run on.
    virtual int64_t motion_clock_ms() { return 0; }
    // A window's animation timer has started: the host ticks it from now on.
    virtual void animation_started(int) {}

protected:
    WindowTable m_table;
};

// A desktop without windows: every slot is free and none can be made (rukc
// run, unit tests).
class NoWindows : public WindowHost {
public:
    ScriptWindow* make_window(int) override { return nullptr; }
    void free_window(ScriptWindow*) override {}
    int window_at(int32_t, int32_t) override { return -1; }
    WindowRect screen() override { return WindowRect{0, 0, 0, 0}; }
    uint64_t find_window(std::string_view) override { return 0; }
};

} // namespace ruk
