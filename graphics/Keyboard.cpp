// The "keyboard" family: key states, synthetic key strokes, each window's last key.
#include "core/Engine.h"
#include "graphics/InputFamilies.h"
#include "graphics/InputHost.h"
#include "host/HostState.h"

namespace ruk {

namespace {

constexpr const char* MsgBadWindow = "The window index is invalid.";

// The pointer buttons have key numbers of their own: 1 left, 2 right, 4 middle.
unsigned pointer_button_of(int virtual_key)
{
    switch (virtual_key) {
    case 1: return 1;
    case 2: return 3;
    case 4: return 2;
    default: return 0;
    }
}

bool key_is_down(InputHost& input, int virtual_key)
{
    if (unsigned button = pointer_button_of(virtual_key))
        return input.desktop_input().button_down(button);
    return input.desktop_input().key_down(input.keysyms_of(virtual_key));
}

// Negative while the key is down; the low bit set while a lock key is on.
int16_t key_sync_state(InputHost& input, int virtual_key)
{
    int16_t state = key_is_down(input, virtual_key) ? int16_t(-128) : int16_t(0);
    const char* indicator = virtual_key == 20 ? "Caps Lock" : virtual_key == 144 ? "Num Lock"
                          : virtual_key == 145 ? "Scroll Lock" : nullptr;
    if (indicator && input.desktop_input().indicator_on(indicator))
        state = static_cast<int16_t>(state | 1);
    return state;
}

} // namespace

void register_keyboard_family(Engine& engine, HostState& state, WindowHost& windows, InputHost& input)
{
    engine.register_family("keyboard", [&state, &windows, &input](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        const std::string& w2 = e.word(2);
        if (w1 == "global") {
            if (w2 == "code")
                return int_to_text(state.last_global_key);
            e.report_error(MsgBadWindow);
            return std::nullopt;
        }
        if (w1 == "keystate")
            return flag_to_text(key_is_down(input, e.param_int(1, 0)));
        if (w1 == "sendkey") {
            std::vector<unsigned long> keysyms = input.keysyms_of(e.param_int(1, 0));
            X11Input& desktop = input.desktop_input();
            if (!keysyms.empty() && desktop.fake_key(keysyms.front(), true))
                desktop.fake_key(keysyms.front(), false);
            return std::nullopt;
        }
        if (w1 == "keysyncstate")
            return int_to_text(key_sync_state(input, e.param_int(1, 0)));
        const int index = occupied_window_index(windows, w1);
        if (index < 0) {
            e.report_error(MsgBadWindow);
            return std::nullopt;
        }
        WindowInput values;
        input.window_input(index, values);
        if (w2 == "code")
            return int_to_text(values.last_key);
        if (w2 == "char")
            return values.last_character ? std::string(1, static_cast<char>(values.last_character)) : std::string();
        return e.call_function();
    });
}

} // namespace ruk
