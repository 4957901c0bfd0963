// Dragging a window with the left button and throwing it on release, without the toolkit.
#pragma once

#include "graphics/Logo.h"

#include <cstdint>
#include <optional>

namespace ruk {

struct DragPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const DragPoint&) const = default;
};

// The window's own drag settings (from its window record).
struct DragSettings {
    bool movable = true;
    int32_t drag_axis = 0; // 0 both axes, 1 horizontal only, 2 vertical only
    bool can_go_out = false;
};

// The left-button side of one window: where it was grabbed, when, where it
// started, and the cursor's last two screen positions. The drag state
// itself lives in the window's Motion, because the animation tick reads it.
//
// A press on a movable window starts a drag; moves follow the pointer once
// 180 ms have passed (at once when the pointer is a finger); a release
// either is a click (the window did not move), or ends the drag and, when
// the last movement was diagonal and the window has a sensibility, throws
// the window along that movement.
class WindowDrag {
public:
    static constexpr int64_t FollowDelayMs = 180;

    // Left button down. `grab` is the cursor inside the window, `window_pos`
    // the window's position. Returns whether a drag started.
    bool press(Motion& motion, const DragSettings& settings, DragPoint grab, DragPoint window_pos, DragPoint cursor,
               int64_t now_ms);

    struct Step {
        // The drag moved the target: raise "move".
        bool moved = false;
        // The cursor moved on the screen: raise "mouse:move".
        bool mouse_moved = false;
    };
    // The pointer moved to `cursor` on the screen, `in_window` inside the
    // window. While dragging (after the delay) the target follows the
    // pointer on the window's axes, kept inside `limits` unless the window
    // can go out.
    Step move(Motion& motion, float& target_left, float& target_top, const DragSettings& settings, DragPoint cursor,
              DragPoint in_window, DragPoint window_pos, MotionLimits limits, bool finger_driven, int64_t now_ms);

    struct Release {
        bool click = false;          // raise "mouse:click"
        bool thrown = false;         // raise "anim:start"; the timer runs
    };
    // Left button up at `cursor` with the window at `window_pos`. A throw
    // takes its heading and speed from the last movement of the pointer
    // and the size of the screen, and starts the motion's timer.
    Release release(Motion& motion, const DragSettings& settings, DragPoint cursor, DragPoint window_pos,
                    DragPoint screen_size, int64_t now_ms);

    // The heading and speed of a throw whose last movement seen from the
    // release point is (dx, dy), or nothing when it throws nothing.
    struct Throw {
        int32_t heading = 0;
        int32_t speed = 0;
    };
    static std::optional<Throw> throw_for(int32_t dx, int32_t dy, int32_t sensibility, int32_t drag_axis,
                                          DragPoint screen_size);

    DragPoint grab() const { return m_grab; }
    // Scripts may move the grab point while a drag runs ("pos" "now").
    void set_grab(DragPoint grab) { m_grab = grab; }

private:
    DragPoint m_grab;
    DragPoint m_start;
    int64_t m_press_ms = 0;
    DragPoint m_previous;
    DragPoint m_before_previous;
};

} // namespace ruk
