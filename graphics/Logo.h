// Motion of one window: heading, speed, friction, sensibility, its 20 ms tick and its bounces.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace ruk {

// What a tick or a throw has to tell scripts, in the order it happened.
enum class MotionEvent { Start, Move, HitLeft, HitRight, HitTop, HitBottom, HitBorder, End };

// The script event name of a motion event ("anim:move", "hit:screenborder:left", ...).
const char* motion_event_name(MotionEvent event);

// How far a window may go before it leaves its parent area: the parent's
// (or the screen's) width and height less the window's, in pixels. Either
// may be negative when the window is larger than its parent.
struct MotionLimits {
    int32_t max_x = 0;
    int32_t max_y = 0;
};

// Brings an angle into 0 .. 359.
int32_t normalise_angle(int64_t degrees);

// Targets are where a window wants to be (left, top), in hundredths of a
// pixel; they live in the window's record, the window on the screen follows
// them, and motion, clamping and the border tests work on them.

// Keeps a target inside 0 .. limit x 100 on both axes: below 0 first
// becomes 0, then above the limit becomes the limit, so a window larger
// than its parent ends at its (negative) limit.
void clamp_target(float& left, float& top, MotionLimits limits);

// The motion state of one window and its animation tick.
//
// The stored heading is not what scripts call the direction: one unit of
// motion moves the target by (-sin heading, +cos heading) on a screen whose
// y grows downwards, so a script direction u (0 right, 90 up, 180 left,
// 270 down) is stored as 270 - u.
//
// Speed is in hundredths of a pixel per tick; each tick takes friction x 10
// from it. Motion happens only while the sensibility is above 0; the
// sensibility is also the gain of a throw, in thousandths.
//
// The animation timer belongs here too, as times on a millisecond clock
// that the caller passes in: the engine passes its monotonic clock, tests
// step one by hand. A running timer is due every 20 ms; a caller that
// falls more than one period behind gets one tick, not a burst, and the
// cadence starts again from that moment.
class Motion {
public:
    static constexpr int64_t TickMs = 20;

    // The state of a window slot that has just been made: at rest, no
    // friction or sensibility yet. The heading is kept from the slot's last
    // window, as scripts have always seen it.
    void reset_for_new_window();

    int32_t heading() const { return m_heading; }
    void set_heading(int64_t degrees) { m_heading = normalise_angle(degrees); }
    // A left turn makes the script direction grow, so the stored heading falls.
    void turn_left(int64_t degrees) { set_heading(int64_t{m_heading} - degrees); }
    void turn_right(int64_t degrees) { set_heading(int64_t{m_heading} + degrees); }
    // Stores 270 - direction, brought into 0 .. 359.
    void set_direction(int64_t direction) { set_heading(270 - direction); }

    int32_t speed() const { return m_speed; }
    void set_speed(int64_t hundredths);
    int32_t friction() const { return m_friction; }
    void set_friction(int32_t friction) { m_friction = friction; }
    int32_t sensibility() const { return m_sensibility; }
    void set_sensibility(int32_t sensibility) { m_sensibility = sensibility; }

    // 2 while the left button holds the window, 0 otherwise; no tick runs
    // while it is not 0.
    int32_t drag_state() const { return m_drag_state; }
    void set_drag_state(int32_t state) { m_drag_state = state; }

    // The animation timer.
    bool timer_running() const { return m_timer_running; }
    void start_timer(int64_t now_ms);
    void stop_timer() { m_timer_running = false; }
    // When the next tick is due (meaningful while the timer runs).
    int64_t next_tick_ms() const { return m_next_tick_ms; }
    // True when a tick is due at `now_ms`; then the next one is scheduled.
    bool take_due_tick(int64_t now_ms);

    // True while a tick runs (its events included).
    bool in_tick() const { return m_in_tick; }

    // One animation tick. `raise` hears every event at the moment it
    // happens and answers false when the window has gone (a script closed
    // it); the tick then stops at once and touches nothing more. Skipped
    // (nothing happens, false returned) while the sensibility is not above
    // 0, the window is being dragged or a tick of this window is running.
    // Returns true when the tick ran.
    bool tick(float& left, float& top, MotionLimits limits, bool can_go_out,
              const std::function<bool(MotionEvent)>& raise);

    // Moves the target like a turtle by `distance` hundredths: against the
    // heading, or along it when `along`. A target coordinate of exactly -1
    // stands for "where the window is" and is first taken from the
    // window's position in pixels.
    void move(float& left, float& top, int32_t window_left, int32_t window_top, int64_t distance, bool along) const;

    // A throw: the new heading and speed, and the timer starts.
    void start_throw(int32_t heading, int32_t speed, int64_t now_ms);

private:
    int32_t m_heading = 0;
    int32_t m_speed = 0;
    int32_t m_friction = -1;
    int32_t m_sensibility = -1;
    int32_t m_drag_state = 0;
    bool m_timer_running = false;
    bool m_in_tick = false;
    int64_t m_next_tick_ms = 0;
};

} // namespace ruk
