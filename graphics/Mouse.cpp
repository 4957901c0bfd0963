// The "mouse" family: pointer position, cursor shapes, synthetic clicks.
#include "core/Engine.h"
#include "graphics/InputFamilies.h"
#include "graphics/InputHost.h"
#include "graphics/ScriptWindow.h"
#include "graphics/Window.h"
#include "host/HostState.h"
#include "system/Disk.h"

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";

Result button_command(Engine& e, X11Input& desktop)
{
    const std::string& side = e.word(2);
    const std::string& action = e.word(3);
    if (side != "left" && side != "right")
        return e.call_function();
    const unsigned button = side == "left" ? 1 : 3;
    if (action == "click") {
        desktop.fake_button(button, true);
        desktop.fake_button(button, false);
    } else if (action == "down" || action == "up") {
        desktop.fake_button(button, action == "down");
    } else {
        return e.call_function();
    }
    return std::nullopt;
}

// "mouse" REF x|y|cursor|isoverwindow.
Result window_command(Engine& e, WindowHost& windows, InputHost& input)
{
    const std::string& op = e.word(2);
    const bool known = op == "x" || op == "y" || op == "cursor" || op == "isoverwindow";
    const int index = occupied_window_index(windows, e.word(1));
    if (index < 0) {
        if (!known)
            return e.call_function();
        e.report_error(MsgBadWindow);
        return std::nullopt;
    }
    if (op == "x" || op == "y") {
        const auto [x, y] = input.desktop_input().pointer();
        const WindowRect r = screen_geometry(windows, index);
        return int_to_text(op == "x" ? x - r.left : y - r.top);
    }
    if (op == "cursor") {
        CursorShape shape;
        if (cursor_shape_of(e.param(1), shape))
            input.set_window_cursor(index, shape);
        return std::nullopt;
    }
    if (op == "isoverwindow") {
        WindowInput values;
        input.window_input(index, values);
        return flag_to_text(values.mouse_over);
    }
    return e.call_function();
}

} // namespace

void register_mouse_family(Engine& engine, HostState& state, WindowHost& windows, InputHost& input)
{
    engine.register_family("mouse", [&state, &windows, &input](Engine& e) -> Result {
        X11Input& desktop = input.desktop_input();
        const std::string& w1 = e.word(1);
        if (w1 == "x" || w1 == "y") {
            const auto [x, y] = desktop.pointer();
            return int_to_text(w1 == "x" ? x : y);
        }
        if (w1 == "cursor") {
            // A word that names no shape leaves the cursor as it is.
            CursorShape shape;
            if (cursor_shape_of(e.param(1), shape))
                input.set_application_cursor(shape);
            return std::nullopt;
        }
        if (w1 == "visible") {
            input.show_cursor(starts_with_1(e.param(1)));
            return std::nullopt;
        }
        if (w1 == "pos") {
            desktop.warp_pointer(e.param_int(1, 0), e.param_int(2, 0));
            return std::nullopt;
        }
        if (w1 == "button")
            return button_command(e, desktop);
        if (w1 == "fingerdriven") {
            state.finger_driven = starts_with_1(e.param(1));
            return std::nullopt;
        }
        if (w1 == "load") {
            input.set_application_cursor(CursorShape::Normal);
            std::optional<std::string> path = disk::resolve_path(e.param(1));
            if (path && input.load_user_cursor(*path) && e.param(2) != "0")
                input.set_application_cursor(CursorShape::UserDefined);
            return std::nullopt;
        }
        if (w1 == "isoverruk" || w1 == "isovervop")
            return flag_to_text(input.pointer_over_engine());
        if (w1 == "rightclickmode") {
            state.right_click_mode = e.param_int(1, 0);
            return std::nullopt;
        }
        return window_command(e, windows, input);
    });
}

} // namespace ruk
