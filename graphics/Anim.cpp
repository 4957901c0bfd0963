// The "anim" family: the heading, speed, friction and sensibility of a window, and turtle moves.
#include "graphics/Anim.h"

#include "graphics/InputFamilies.h"

#include "core/Engine.h"
#include "core/Text.h"
#include "graphics/ScriptWindow.h"

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";


bool is_anim_word(const std::string& op, const std::string& sub)
{
    if (op == "turn")
        return sub == "left" || sub == "right";
    return op == "move" || op == "direction" || op == "sensibility" || op == "friction" || op == "speed";
}

Result anim(Engine& e, WindowHost& windows)
{
    const std::string& op = e.word(2);
    const std::string& sub = e.word(3);
    if (!is_anim_word(op, sub))
        return e.call_function();
    const int index = occupied_window_index(windows, e.word(1));
    if (index < 0) {
        e.report_error(MsgBadWindow);
        return std::nullopt;
    }
    WindowRecord& record = windows.table().record(index);
    Motion& m = record.motion;
    const std::string& p1 = e.param(1);

    if (op == "turn") {
        if (sub == "left")
            m.turn_left(e.param_int(1, 0));
        else
            m.turn_right(e.param_int(1, 0));
        return std::nullopt;
    }
    if (op == "move") {
        const WindowRect r = windows.window(index)->geometry();
        m.move(record.target_left, record.target_top, r.left, r.top, e.param_int(1, 0), !sub.empty());
        return std::nullopt;
    }
    if (op == "direction") {
        if (p1.empty())
            return int_to_text(m.heading());
        m.set_direction(e.param_int(1, 0));
        return std::nullopt;
    }
    if (op == "sensibility") {
        if (p1.empty())
            return int_to_text(m.sensibility());
        m.set_sensibility(e.param_int(1, 0));
        return std::nullopt;
    }
    if (op == "friction") {
        if (p1.empty())
            return int_to_text(m.friction());
        m.set_friction(e.param_int(1, 0));
        return std::nullopt;
    }
    // "speed": scripts see whole pixels per tick.
    if (p1.empty())
        return int_to_text(m.speed() / 100);
    m.set_speed(int64_t{e.param_int(1, 0)} * 100);
    windows.window(index)->repaint_now();
    m.start_timer(windows.motion_clock_ms());
    windows.animation_started(index);
    return std::nullopt;
}

} // namespace

void register_anim_family(Engine& engine, WindowHost& windows)
{
    engine.register_family("anim", [&windows](Engine& e) { return anim(e, windows); });
}

} // namespace ruk
