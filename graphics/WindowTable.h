// The window table: 255 slots, the per-window record and the stacking order the engine keeps.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Logo.h"
#include "graphics/Outline.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace ruk {

class ScriptWindow;

// How a window is see-through: a colour key (pixels of that colour are
// holes), an alpha for the whole window (0 invisible, 255 opaque) and
// whether clicks pass through it. All off means an ordinary window.
struct WindowLook {
    std::optional<uint32_t> colour_key; // a colour value, red in the low byte
    std::optional<int32_t> alpha;       // 0 to 255
    bool click_through = false;
    bool operator==(const WindowLook&) const = default;
};

// Everything the engine keeps for one window besides the window object.
// Positions held as targets are in hundredths of a pixel.
struct WindowRecord {
    ScriptWindow* window = nullptr; // null: the slot is free
    int32_t parent = -1;            // the script window this one lives in, -1 top-level
    float target_left = 0;
    float target_top = 0;
    bool close_on_escape = true;
    bool close_on_right_click = true;
    bool can_go_out = false;
    bool movable = true;
    int32_t drag_axis = 0; // 0 both, 1 horizontal only, 2 vertical only
    int32_t grab_x = 0;
    int32_t grab_y = 0;
    Motion motion;
    bool status_icon_shown = false;
    bool desktop_bar_registered = false;
    int32_t form_style = 0; // 3: stays on top
    bool style_saved = false; // "transparency" has been used once
    WindowLook look;
    Bitmap backing;                 // the window's picture, 24 bits per pixel
    std::optional<Outline> outline; // none: the whole rectangle

    bool stays_on_top() const { return form_style == 3; }
};

// The slots, the high-water count and the stacking order of top-level
// windows. Slot 0 is the engine window. The table owns no window object:
// whoever makes windows puts them in with `occupy` and takes them out with
// `release`, which also resets the slot's record for the next window.
//
// Stacking: the table keeps top-level windows bottom to top, as they were
// last brought to the front or sent to the back; `stacking` puts the
// windows that stay on top above all others, each band in that order. The
// window system has its own order; this one is what the engine's own
// compositor (the headless snapshot) draws, and it follows every stacking
// command the engine gives.
class WindowTable {
public:
    static constexpr int Slots = 255;

    WindowRecord& record(int index) { return m_records[index]; }
    const WindowRecord& record(int index) const { return m_records[index]; }
    ScriptWindow* window(int index) const
    {
        return index >= 0 && index < Slots ? m_records[index].window : nullptr;
    }

    // The lowest free slot from 1 to 254, or -1 when all are taken.
    int lowest_free() const;
    // Puts a window in a slot, resets its record and raises the high-water
    // count; the window goes on top of the stacking order.
    void occupy(int index, ScriptWindow* window);
    // Empties a slot and resets its record.
    void release(int index);
    // One more than the highest index ever handed out; never shrinks.
    int high_water() const { return m_high_water; }
    int count() const;

    void bring_to_front(int index);
    void send_to_back(int index);
    // Puts `index` just below `other` in the stacking order; false when
    // `other` is not a stacked window.
    bool place_behind(int index, int other);
    // Top-level occupied windows, bottom to top, the stay-on-top band last.
    std::vector<int> stacking() const;
    // Child windows of `parent`, bottom to top.
    std::vector<int> children(int parent) const;

private:
    void unstack(int index);

    std::array<WindowRecord, Slots> m_records{};
    int m_high_water = 1;
    std::vector<int> m_order; // every occupied slot, bottom to top
};

} // namespace ruk
