// The desktop around the windows over Xlib: monitors, display modes, pointer, keys, screen pixels.
#pragma once

#include "system/WindowRect.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace ruk {

// Pixels read from the screen: colour values (red in the low byte), top row
// first.
struct ScreenImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Questions about the screen, the pointer and the keyboard, and synthetic
// input, over an Xlib connection of its own, opened on first use. Without a
// display (headless runs) every question gets a neutral answer - one monitor
// of 0 x 0, the pointer at 0,0, no key down, no pixel - and every action does
// nothing.
//
// Display modes are the RandR modes of the primary output (or the first
// connected one). The first change records the mode and screen size found
// then; `restore_mode` and the destructor go back to them, so the desktop
// never stays changed after the engine has ended.
//
// Requests that the server may refuse (a window gone, a mode it will not
// take) run with an error handler of their own for the moment of the request
// and its reply, so a refusal is an answer, never the end of the process.
class X11Input {
public:
    // Uses $DISPLAY; `enabled` false gives the neutral answers (headless).
    explicit X11Input(bool enabled = true);
    // Uses the named display (":5"); for tests.
    explicit X11Input(std::string display_name);
    ~X11Input();
    X11Input(const X11Input&) = delete;
    X11Input& operator=(const X11Input&) = delete;

    bool available();

    // --- screen ---
    // Every monitor, the primary one first; one monitor of the whole screen
    // when the server does not tell.
    std::vector<WindowRect> monitors();
    // The primary monitor.
    WindowRect primary_screen();
    // _NET_WORKAREA of the current desktop, else the primary monitor.
    WindowRect work_area();
    // The colour of a screen pixel; nothing outside the screen or headless.
    std::optional<uint32_t> pixel(int32_t x, int32_t y);
    // The part of the rectangle that lies on the screen; an empty image
    // when none does.
    ScreenImage capture(const WindowRect& rect);

    // --- display modes ---
    // Depths a mode can be asked for: the screen's depth and the bits per
    // pixel it is stored with (24 and 32 on a usual screen).
    bool depth_supported(int32_t bits);
    // The sizes of the modes the primary output offers, in the server's order.
    std::vector<std::pair<int32_t, int32_t>> mode_sizes();
    // Switches the primary output to the mode with this size; false when
    // the output has none or the server refused.
    bool switch_mode(int32_t width, int32_t height);
    // Goes back to the mode found before the first switch; nothing when
    // none was made.
    void restore_mode();

    // --- pointer ---
    std::pair<int32_t, int32_t> pointer();
    void warp_pointer(int32_t x, int32_t y);
    // Synthetic button event through XTest: button 1 left, 3 right.
    void fake_button(unsigned button, bool down);
    // Which pointer buttons are down now (1 left, 2 middle, 3 right).
    bool button_down(unsigned button);

    // --- keyboard ---
    // Synthetic key event of the key that types `keysym`; false when no key
    // of the keyboard map does.
    bool fake_key(unsigned long keysym, bool down);
    // True when a key that types any of these keysyms is down now.
    bool key_down(const std::vector<unsigned long>& keysyms);
    // The state of the keyboard indicator ("Caps Lock", "Num Lock",
    // "Scroll Lock"); false when the server has no such indicator.
    bool indicator_on(const char* name);

    Display* display();

private:
    struct OutputMode;
    std::optional<OutputMode> primary_output();
    bool apply_mode(unsigned long mode_id, int32_t width, int32_t height);

    std::optional<std::string> m_display_name;
    bool m_enabled = true;
    bool m_tried = false;
    Display* m_display = nullptr;
    // The mode found before the first switch.
    unsigned long m_saved_mode = 0;
    bool m_mode_changed = false;
};

} // namespace ruk
