// The "extern" family: other programs' windows and messages to other engines.
#include "system/Extern.h"

#include "core/Engine.h"
#include "host/HostState.h"
#include "host/InterEngine.h"
#include "system/X11Desktop.h"

namespace ruk {

namespace {

inline constexpr const char* MsgInvalidNumberId = "Invalid param ID (must be 0, 1, 2 or 3)";
// "sendmessage" and "postmessage" go to this handle when parameter 1 is empty.
inline constexpr int32_t DefaultMessageTarget = 32769;

// Handles travel in scripts as signed 32-bit integers.
uint32_t handle_param(Engine& e, int n, int32_t fallback = 0)
{
    return static_cast<uint32_t>(e.param_int(n, fallback));
}

std::string handle_text(uint32_t handle)
{
    return int_to_text(static_cast<int32_t>(handle));
}

Result extern_get(Engine& e, X11Desktop& desktop)
{
    const std::string& item = e.word(2);
    if (item == "titlefrompoint")
        return desktop.title_of(desktop.window_at(e.param_int(1, 0), e.param_int(2, 0)));
    if (item == "handlefrompoint")
        return handle_text(desktop.window_at(e.param_int(1, 0), e.param_int(2, 0)));
    if (item == "titlefromhandle")
        return desktop.title_of(handle_param(e, 1));
    if (item == "foregroundwindow")
        return handle_text(desktop.foreground_window());
    if (item == "desktopwindow")
        return handle_text(desktop.desktop_window());
    if (item == "handle")
        return handle_text(desktop.find_window(e.param(1)));
    if (item == "windowmodulefilename")
        return desktop.module_file_name(handle_param(e, 1));
    if (item == "pos") {
        // A handle that names no window gives zeros: four fields, as scripts
        // split them, and a size no real window has.
        WindowRect rect = desktop.window_rect(handle_param(e, 1)).value_or(WindowRect{});
        return int_to_text(rect.left) + "^^" + int_to_text(rect.top) + "^^" + int_to_text(rect.width) + "^^"
            + int_to_text(rect.height);
    }
    return e.call_function();
}

// The messages of "sendmessage" and "postmessage": handle, number, word and
// long parameter.
struct MessageParams {
    uint32_t window;
    uint32_t message;
    uint32_t wparam;
    uint32_t lparam;
};

MessageParams message_params(Engine& e)
{
    return {handle_param(e, 1, DefaultMessageTarget), handle_param(e, 2), handle_param(e, 3), handle_param(e, 4)};
}

Result extern_family(Engine& e, InterEngineState& state, X11Desktop& desktop)
{
    const std::string& op = e.word(1);
    if (op == "activate") {
        uint32_t window = desktop.find_window(e.param(1));
        return flag_to_text(window != 0 && desktop.activate(window));
    }
    if (op == "openicon") {
        desktop.open_icon(handle_param(e, 1));
        return flag_to_text(true);
    }
    if (op == "isiconic")
        return flag_to_text(desktop.is_iconic(handle_param(e, 1)));
    if (op == "get")
        return extern_get(e, desktop);
    if (op == "close") {
        uint32_t window = desktop.find_window(e.param(1));
        return flag_to_text(window != 0 && desktop.close(window));
    }
    if (op == "endtask") {
        desktop.post_message(handle_param(e, 1), MsgEndRequest, 0, 0);
        return std::string();
    }
    if (op == "exists")
        return flag_to_text(desktop.exists(e.param(1), e.param(2)));
    if (op == "ishandle")
        return flag_to_text(desktop.is_window(handle_param(e, 1)));
    if (op == "isvisible")
        return flag_to_text(desktop.is_visible(handle_param(e, 1)));
    if (op == "isenabled")
        return flag_to_text(desktop.is_enabled(handle_param(e, 1)));
    if (op == "sendmessage") {
        MessageParams m = message_params(e);
        desktop.send_message(m.window, m.message, m.wparam, m.lparam);
        return std::string();
    }
    if (op == "postmessage") {
        MessageParams m = message_params(e);
        desktop.post_message(m.window, m.message, m.wparam, m.lparam);
        return std::string();
    }
    if (op == "sendnum") {
        PackedNumbers numbers =
            pack_numbers(e.param_int(2, 0), e.param_int(3, 0), e.param_int(4, 0), e.param_int(5, 0));
        desktop.post_message(handle_param(e, 1), MsgNumbers, numbers.wparam, numbers.lparam);
        return std::string();
    }
    if (op == "sendstart") {
        desktop.post_message(handle_param(e, 1), MsgTextTransfer, desktop.own_window(),
                             static_cast<uint32_t>(TransferStart));
        return std::string();
    }
    if (op == "send") {
        desktop.post_message(handle_param(e, 1), MsgTextTransfer, desktop.own_window(), handle_param(e, 2));
        return std::string();
    }
    if (op == "sendfinish") {
        desktop.post_message(handle_param(e, 1), MsgTextTransfer, desktop.own_window(),
                             static_cast<uint32_t>(TransferEnd));
        return std::string();
    }
    if (op == "received")
        return state.received_text;
    if (op == "receivednum") {
        int32_t index = e.param_int(1, -1);
        if (index < 0 || index > 3) {
            e.report_error(MsgInvalidNumberId);
            return std::nullopt;
        }
        return int_to_text(state.received_numbers[static_cast<size_t>(index)]);
    }
    if (op == "remotehandle")
        return handle_text(state.remote_handle);
    return e.call_function();
}

} // namespace

void register_extern_family(Engine& engine, InterEngineState& state, X11Desktop& desktop)
{
    engine.register_family("extern", [&state, &desktop](Engine& e) { return extern_family(e, state, desktop); });
}

} // namespace ruk
