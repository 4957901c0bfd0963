// What the screen, mouse, keyboard and gesture families need from the toolkit, without knowing it.
#pragma once

#include "graphics/X11Input.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ruk {

// Cursor shapes scripts name ("normal", "hotspot", ... "userdefined").
enum class CursorShape {
    Normal,
    Hotspot,
    Hourglass,
    Help,
    None,
    NoDrop,
    SizeWE,
    SizeNS,
    SizeNWSE,
    SizeNESW,
    Edit,
    UserDefined,
};

// What the engine window keeps per window for the input families.
struct WindowInput {
    int last_key = 0;       // virtual-key number of the last key down
    int last_character = 0; // 0 when none since the last key down or up
    bool mouse_over = false;
};

// The part of the input families that lives in the toolkit: cursors, which
// windows are the engine's, and the key table. The host implements it; runs
// without a desktop use NoInputHost, which answers neutrally.
class InputHost {
public:
    virtual ~InputHost() = default;

    // The cursor over every engine window; Normal lets each window's own show.
    virtual void set_application_cursor(CursorShape shape) = 0;
    // The cursor over one window; false when the slot is free.
    virtual bool set_window_cursor(int index, CursorShape shape) = 0;
    // Moves the show/hide counter by one; the cursor shows while it is 0 or more.
    virtual void show_cursor(bool show) = 0;
    // Loads a cursor file (.cur, .ico or any picture) into the user-defined
    // slot; false when it cannot be read (the slot keeps what it had).
    virtual bool load_user_cursor(const std::string& path) = 0;
    // True when the top-level window under the pointer is one of the engine's.
    virtual bool pointer_over_engine() = 0;
    // The values of a window; false when the slot is free.
    virtual bool window_input(int index, WindowInput& out) = 0;
    // The X keysyms of a virtual-key number (both sides for Shift, Control
    // and Alt); empty when it has none.
    virtual std::vector<unsigned long> keysyms_of(int virtual_key) = 0;
    // The screen, the pointer and the keyboard on the X server (neutral
    // without a display).
    virtual X11Input& desktop_input() = 0;
};

class NoInputHost : public InputHost {
public:
    void set_application_cursor(CursorShape) override {}
    bool set_window_cursor(int, CursorShape) override { return false; }
    void show_cursor(bool) override {}
    bool load_user_cursor(const std::string&) override { return false; }
    bool pointer_over_engine() override { return false; }
    bool window_input(int, WindowInput&) override { return false; }
    std::vector<unsigned long> keysyms_of(int) override { return {}; }
    X11Input& desktop_input() override { return m_input; }

private:
    X11Input m_input{false};
};

} // namespace ruk
