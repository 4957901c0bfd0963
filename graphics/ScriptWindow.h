// What the window family needs from a window on the desktop, without knowing the toolkit.
#pragma once

#include "graphics/Logo.h"
#include "system/WindowRect.h"

#include <array>

#include <cstdint>
#include <string_view>

namespace ruk {

// One window of the window table as the families see it. The host's form
// class implements it; the families never touch the toolkit's widgets, so a
// family works alike on the desktop, headless and against a fake in tests.
class ScriptWindow {
public:
    virtual ~ScriptWindow() = default;

    // The window system's handle (an X11 window id), 0 when it has none.
    virtual uint64_t handle() const = 0;
    virtual WindowRect geometry() const = 0;
    // Moves and sizes the window at once.
    virtual void set_geometry(const WindowRect& rect) = 0;
    virtual bool is_visible() const = 0;
    virtual void set_visible(bool visible) = 0;
    virtual void set_title(std::string_view title) = 0;
    virtual void repaint_now() = 0;

    // The window's own timer ("window:timer").
    virtual bool timer_enabled() const = 0;
    virtual void set_timer_enabled(bool enabled) = 0;
    virtual int timer_interval() const = 0;
    virtual void set_timer_interval(int milliseconds) = 0;

    // Whether Escape and a right click close the window.
    virtual void set_close_switches(bool on_escape, bool on_right_click) = 0;
    // Closes the window as a user would: the engine window runs the
    // terminate sequence, a script window raises "window:close".
    virtual void close_as_user() = 0;
};

// The motion of a window slot and where the window wants to be, in
// hundredths of a pixel.
struct WindowMotion {
    Motion motion;
    float target_left = 0;
    float target_top = 0;
};

// The window table as the families reach it.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // The window of a slot (0 to 254), or null when the slot is free.
    virtual ScriptWindow* window(int index) = 0;

    // FIXME: the motion state belongs in the window's record of the window
    // table, which resets it when a slot gets a new window.
    WindowMotion& motion(int index) { return m_motion[static_cast<size_t>(index)]; }
    // Milliseconds on the clock the animation timers run on.
    virtual int64_t motion_clock_ms() { return 0; }
    // A window's animation timer has started: the host ticks it from now on.
    // FIXME: the engine window does not tick motion, drag or throw windows
    // yet; its mouse handlers and a 20 ms tick drive Motion and WindowDrag.
    virtual void animation_started(int) {}

private:
    std::array<WindowMotion, 255> m_motion{};
};

// A desktop without windows: every slot is free (rukc run, unit tests).
class NoWindows : public WindowHost {
public:
    ScriptWindow* window(int) override { return nullptr; }
};

} // namespace ruk
