// Dragging a window with the left button and throwing it on release, without the toolkit.
#include "host/WindowDrag.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace ruk {

bool WindowDrag::press(Motion& motion, const DragSettings& settings, DragPoint grab, DragPoint window_pos,
                       DragPoint cursor, int64_t now_ms)
{
    if (!settings.movable)
        return false;
    motion.set_drag_state(2);
    motion.set_speed(0);
    m_grab = grab;
    m_start = window_pos;
    m_press_ms = now_ms;
    // The history starts at the press point: a release after a single
    // move measures the last movement from there, never from the corner
    // of the screen.
    m_previous = cursor;
    m_before_previous = cursor;
    return true;
}

WindowDrag::Step WindowDrag::move(Motion& motion, float& target_left, float& target_top, const DragSettings& settings,
                                  DragPoint cursor, DragPoint in_window, DragPoint window_pos, MotionLimits limits,
                                  bool finger_driven, int64_t now_ms)
{
    Step step;
    if (motion.drag_state() == 2 && settings.movable && (finger_driven || now_ms - m_press_ms > FollowDelayMs)) {
        float left = static_cast<float>(int64_t{window_pos.x} + in_window.x - m_grab.x) * 100.0f;
        float top = static_cast<float>(int64_t{window_pos.y} + in_window.y - m_grab.y) * 100.0f;
        if (!settings.can_go_out)
            clamp_target(left, top, limits);
        if (settings.drag_axis == 0 || settings.drag_axis == 1)
            target_left = left;
        if (settings.drag_axis == 0 || settings.drag_axis == 2)
            target_top = top;
        step.moved = true;
    }
    step.mouse_moved = cursor != m_before_previous;
    m_before_previous = m_previous;
    m_previous = cursor;
    return step;
}

WindowDrag::Release WindowDrag::release(Motion& motion, const DragSettings& settings, DragPoint cursor,
                                        DragPoint window_pos, DragPoint screen_size, int64_t now_ms)
{
    Release result;
    const bool was_dragging = motion.drag_state() == 2;
    motion.set_drag_state(0);
    if (!settings.movable || window_pos == m_start) {
        result.click = true;
        return result;
    }
    // A box opened during the drag has ended it: the release throws nothing.
    if (!was_dragging)
        return result;
    const int32_t dx = m_before_previous.x - cursor.x;
    const int32_t dy = m_before_previous.y - cursor.y;
    std::optional<Throw> t = throw_for(dx, dy, motion.sensibility(), settings.drag_axis, screen_size);
    if (t) {
        motion.start_throw(t->heading, t->speed, now_ms);
        result.thrown = true;
    }
    return result;
}

std::optional<WindowDrag::Throw> WindowDrag::throw_for(int32_t dx, int32_t dy, int32_t sensibility,
                                                       int32_t drag_axis, DragPoint screen_size)
{
    if (dx == 0 || dy == 0 || sensibility <= 0)
        return std::nullopt;
    const double degrees = std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180.0 / std::numbers::pi;
    int32_t heading = normalise_angle(static_cast<int64_t>(std::trunc(degrees + 90.0)));
    // Wide enough that no screen size, movement or gain can overflow.
    const __int128 push = std::llabs(int64_t{screen_size.x} * dx) + std::llabs(int64_t{screen_size.y} * dy);
    const __int128 speed = push * sensibility / 1000;
    if (speed <= 0)
        return std::nullopt;
    if (drag_axis == 1)
        heading = heading < 180 ? 90 : 270;
    else if (drag_axis == 2)
        heading = heading > 90 && heading < 270 ? 180 : 0;
    const __int128 most = std::numeric_limits<int32_t>::max();
    return Throw{heading, static_cast<int32_t>(speed < most ? speed : most)};
}

} // namespace ruk
