// Motion of one window: heading, speed, friction, sensibility, its 20 ms tick and its bounces.
#include "graphics/Logo.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ruk {

namespace {

int32_t saturate(int64_t value)
{
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

long double radians(int32_t degrees)
{
    return static_cast<long double>(degrees) * std::numbers::pi_v<long double> / 180.0L;
}

} // namespace

const char* motion_event_name(MotionEvent event)
{
    switch (event) {
    case MotionEvent::Start: return "anim:start";
    case MotionEvent::Move: return "anim:move";
    case MotionEvent::HitLeft: return "hit:screenborder:left";
    case MotionEvent::HitRight: return "hit:screenborder:right";
    case MotionEvent::HitTop: return "hit:screenborder:top";
    case MotionEvent::HitBottom: return "hit:screenborder:bottom";
    case MotionEvent::HitBorder: return "hit:screenborder";
    case MotionEvent::End: return "anim:end";
    }
    return "";
}

int32_t normalise_angle(int64_t degrees)
{
    int64_t a = degrees % 360;
    if (a < 0)
        a += 360;
    return static_cast<int32_t>(a);
}

void clamp_target(float& left, float& top, MotionLimits limits)
{
    const float right = static_cast<float>(limits.max_x) * 100.0f;
    const float bottom = static_cast<float>(limits.max_y) * 100.0f;
    if (left < 0)
        left = 0;
    if (left > right)
        left = right;
    if (top < 0)
        top = 0;
    if (top > bottom)
        top = bottom;
}

void Motion::reset_for_new_window()
{
    const int32_t heading = m_heading;
    *this = Motion{};
    m_heading = heading;
}

void Motion::set_speed(int64_t hundredths)
{
    m_speed = saturate(hundredths);
}

void Motion::start_timer(int64_t now_ms)
{
    if (m_timer_running)
        return;
    m_timer_running = true;
    m_next_tick_ms = now_ms + TickMs;
}

bool Motion::take_due_tick(int64_t now_ms)
{
    if (!m_timer_running || now_ms < m_next_tick_ms)
        return false;
    m_next_tick_ms += TickMs;
    if (m_next_tick_ms <= now_ms)
        m_next_tick_ms = now_ms + TickMs;
    return true;
}

bool Motion::tick(float& left, float& top, MotionLimits limits, bool can_go_out,
                  const std::function<bool(MotionEvent)>& raise)
{
    if (m_sensibility <= 0 || m_in_tick || m_drag_state != 0)
        return false;
    m_in_tick = true;

    if (m_speed < 1) {
        m_timer_running = false;
        if (!can_go_out)
            clamp_target(left, top, limits);
        if (!raise(MotionEvent::End))
            return true;
        m_in_tick = false;
        return true;
    }

    m_speed = saturate(std::max<int64_t>(int64_t{m_speed} - int64_t{m_friction} * 10, 0));
    const long double theta = radians(m_heading);
    left = static_cast<float>(left - m_speed * std::sin(theta));
    top = static_cast<float>(top + m_speed * std::cos(theta));
    if (!can_go_out)
        clamp_target(left, top, limits);
    if (!raise(MotionEvent::Move))
        return true;

    // Each test sees what the ones before it (and their events) left.
    // Mirroring the heading as -heading turns the horizontal motion round,
    // -heading - 180 the vertical one.
    const auto bounce = [&](MotionEvent event, bool horizontal) {
        set_heading(horizontal ? -int64_t{m_heading} : -int64_t{m_heading} - 180);
        return raise(event) && raise(MotionEvent::HitBorder);
    };
    if (left / 100 >= limits.max_x && !bounce(MotionEvent::HitRight, true))
        return true;
    if (left / 100 <= 0 && !bounce(MotionEvent::HitLeft, true))
        return true;
    if (top / 100 >= limits.max_y && !bounce(MotionEvent::HitBottom, false))
        return true;
    if (top / 100 <= 0 && !bounce(MotionEvent::HitTop, false))
        return true;
    m_in_tick = false;
    return true;
}

void Motion::move(float& left, float& top, int32_t window_left, int32_t window_top, int64_t distance, bool along) const
{
    if (left == -1.0f)
        left = static_cast<float>(window_left) * 100.0f;
    if (top == -1.0f)
        top = static_cast<float>(window_top) * 100.0f;
    const long double theta = radians(m_heading);
    const long double sign = along ? 1.0L : -1.0L;
    left = static_cast<float>(left - sign * distance * std::sin(theta));
    top = static_cast<float>(top + sign * distance * std::cos(theta));
}

void Motion::start_throw(int32_t heading, int32_t speed, int64_t now_ms)
{
    set_heading(heading);
    m_speed = speed;
    start_timer(now_ms);
}

} // namespace ruk
