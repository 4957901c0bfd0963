// The "system" family: machine queries, programs and documents, message boxes and the start-up switches.
#include "system/Misc.h"

#include "system/Disk.h"
#include "system/LoadedLibraries.h"
#include "system/ShellActions.h"

#include "core/Engine.h"
#include "graphics/BitmapReferences.h"
#include "host/HostState.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace ruk {

namespace {

constexpr int PlatformId = 2;
constexpr const char* MsgInvalidImage = "Invalid image.";
// Clipboard texts reach scripts with less than 256000 characters.
constexpr size_t MaxClipboardText = 255999;

// Scripts write paths as the disk family reads them: either separator, drive
// letters, letter case found in the working folder. A path that names an
// existing file becomes absolute (so that a program or library in the
// working folder is found); anything else, a program on the PATH say, stays
// as written with "/" separators.
std::string native_path(std::string_view path)
{
    if (auto resolved = disk::resolve_path(path)) {
        std::error_code ec;
        if (fs::exists(*resolved, ec))
            return fs::absolute(*resolved, ec).string();
    }
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}


} // namespace

std::string HeadlessSystemServices::engine_file_name()
{
    std::error_code ec;
    fs::path target = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : target.string();
}

// ---------------------------------------------------------------------------
// The family
// ---------------------------------------------------------------------------

namespace {

// What the family keeps between commands, for as long as the engine keeps its
// handler: the process slots, the libraries scripts loaded (unloaded when the
// family goes), the last system error of its own calls, and the switches that
// only this family reads.
class SystemFamily {
public:
    SystemFamily(HostState& state, SystemServices& services, Clipboard& clipboard, BitmapReferences& bitmaps)
        : m_state(state), m_services(services), m_clipboard(clipboard), m_bitmaps(bitmaps), m_processes(native_path),
          m_shell(m_processes, m_last_os_error)
    {
    }
    SystemFamily(const SystemFamily&) = delete;
    SystemFamily& operator=(const SystemFamily&) = delete;

    Result handle(Engine& e);

private:
    Result battery(Engine& e);
    Result rukengine(Engine& e);
    Result winapi(Engine& e);
    Result memory_info();
    Result load_library(const std::string& name);
    void set_priority(const std::string& word);
    Result process(Engine& e);
    bool set_switch(Engine& e);
    Result dialog(Engine& e);
    Result clipboard(Engine& e);
    void note_error(int code) { m_last_os_error = code; }

    HostState& m_state;
    SystemServices& m_services;
    Clipboard& m_clipboard;
    BitmapReferences& m_bitmaps;
    ProcessSlots m_processes;
    LoadedLibraries m_libraries;
    int m_last_os_error = 0;
    ShellActions m_shell;
    int m_platform = PlatformId;
    bool m_debug_mode = true;
    bool m_ignore_critical_errors = false;
};

Result SystemFamily::handle(Engine& e)
{
    const std::string& op = e.word(1);
    if (op == "battery")
        return battery(e);
    if (op == "rukengine")
        return rukengine(e);
    if (op == "ignorecriticalerrors") {
        // Nothing on this system shows a box for a failing drive; the switch is kept for scripts that set it.
        m_ignore_critical_errors = starts_with_1(e.param(1));
        return std::nullopt;
    }
    if (op == "winapi")
        return winapi(e);
    if (op == "getmemoryinfo")
        return memory_info();
    if (op == "loadlibrary")
        return load_library(e.param(1));
    if (op == "lasterror")
        return e.last_error();
    if (op == "priority") {
        set_priority(e.param(1));
        return std::nullopt;
    }
    if (op == "doevents") {
        m_services.process_events();
        return std::nullopt;
    }
    if (op == "beep") {
        m_services.beep();
        return std::nullopt;
    }
    if (op == "plateform")
        return int_to_text(m_platform);
    if (op == "os") {
        m_platform = PlatformId;
        return std::string("LINUX");
    }
    if (op == "clipboard")
        return clipboard(e);
    if (op == "language")
        return user_language();
    if (op == "execute")
        return int_to_text(m_shell.open(native_path(e.param(1)), e.param(2), native_path(e.param(3))));
    if (op == "process")
        return process(e);
    if (op == "print") {
        m_shell.print(native_path(e.param(1)), native_path(e.param(3)));
        return std::nullopt;
    }
    if (op == "explore") {
        m_shell.explore(native_path(e.param(1)));
        return std::nullopt;
    }
    if (op == "getcolors")
        return int_to_text(m_services.colour_depth());
    if (op == "getcomputername")
        return computer_name(m_last_os_error).value_or(std::string());
    if (op == "getusername")
        return user_name();
    if (!op.empty() && op[0] == '_' && set_switch(e))
        return std::nullopt;
    if (op == "createuniqueid")
        return e.random().random_id();
    if (op == "message") {
        e.info_box(e.param(1));
        return std::nullopt;
    }
    if (op == "dialog")
        return dialog(e);
    return e.call_function();
}

Result SystemFamily::battery(Engine& e)
{
    const std::string& which = e.word(2);
    PowerStatus power;
    if (which == "aclinestatus" || which == "lifepercent" || which == "lifetime" || which == "fulllifetime" ||
        which == "batteryflag")
        power = read_power_status();
    if (which == "aclinestatus")
        return int_to_text(power.ac_line);
    if (which == "lifepercent")
        return int_to_text(power.life_percent);
    if (which == "lifetime")
        return int_to_text(power.life_time);
    if (which == "fulllifetime")
        return int_to_text(power.full_life_time);
    if (which == "batteryflag")
        return int_to_text(power.battery_flag);
    return e.call_function();
}

Result SystemFamily::rukengine(Engine& e)
{
    const std::string& which = e.word(2);
    if (which == "countinstances")
        return int_to_text(m_services.count_engines());
    if (which == "version")
        return std::string(EngineVersion);
    if (which == "filename")
        return m_services.engine_file_name();
    return e.call_function();
}

Result SystemFamily::winapi(Engine& e)
{
    const std::string& which = e.word(2);
    if (which == "lasterror")
        return int_to_text(m_last_os_error);
    if (which == "errormsg") {
        int code = e.param_int(1, m_last_os_error);
        // A code the system has no name for has no message either.
        if (::strerrorname_np(code) == nullptr)
            return std::string();
        char buffer[256];
        std::string text = ::strerror_r(code, buffer, sizeof buffer);
        return text + "\r\n";
    }
    return e.call_function();
}

Result SystemFamily::memory_info()
{
    MemoryStatus memory = read_memory_status().value_or(MemoryStatus{});
    return int_to_text(memory.load_percent) + "^^" + int_to_text(static_cast<int64_t>(memory.total_kib)) + "^^" +
           int_to_text(static_cast<int64_t>(memory.available_kib));
}

Result SystemFamily::load_library(const std::string& name)
{
    int error = m_libraries.load(name.empty() ? name : native_path(name));
    if (error != 0) {
        note_error(error);
        return std::string("0");
    }
    return std::string("1");
}

void SystemFamily::set_priority(const std::string& word)
{
    int nice_value;
    if (word == "high")
        nice_value = -5;
    else if (word == "normal")
        nice_value = 0;
    else if (word == "low")
        nice_value = 19;
    else
        return;
    if (int error = set_thread_nice(nice_value))
        note_error(error);
}

Result SystemFamily::process(Engine& e)
{
    const std::string& which = e.word(2);
    if (which == "create") {
        int slot = e.param_int(1, 0);
        bool started = m_processes.create(slot, e.param(2), e.param(3), e.param(4));
        if (!started)
            note_error(m_processes.last_error());
        if (e.param_int(5, 0) == 0)
            return flag_to_text(started);
        // A program that never started has no exit code: -1 says so.
        if (!started)
            return std::string("-1");
        Engine* engine = &e;
        return int_to_text(m_processes.wait(slot, ProcessSlots::LongestWait, [engine] { return engine->abort_requested(); })
                               .value_or(-1));
    }
    if (which == "getexitcode") {
        auto code = m_processes.exit_code(e.param_int(1, 0));
        return code ? int_to_text(*code) : std::string();
    }
    if (which == "free") {
        m_processes.free(e.param_int(1, 0));
        return std::nullopt;
    }
    return e.call_function();
}

// The start-up switches; false for a word that is none of them.
bool SystemFamily::set_switch(Engine& e)
{
    const std::string& op = e.word(1);
    const bool on = starts_with_1(e.param(1));
    if (op == "_showintaskbar")
        m_state.show_in_taskbar = on;
    else if (op == "_hidden")
        m_state.hidden = on;
    else if (op == "_debugmode")
        m_debug_mode = on;
    else if (op == "_objectversion")
        m_state.object_version = e.param(1);
    else
        return false;
    return true;
}

Result SystemFamily::dialog(Engine& e)
{
    uint32_t type = dialog_type(e.param_int(3, 0), e.param_int(4, 0), e.param_int(5, 0), e.param_int(7, 0),
                                e.param_int(8, 0), e.param_int(9, 0), e.param_int(10, 0));
    // FIXME: the owner window (parameter 6) cannot be passed to the host's
    // box yet; every box is owned by the engine.
    e.host().clear_drag_state();
    int answer = e.host().message_box(e.param(2), e.param(1), type, dialog_default_answer(type));
    return int_to_text(answer);
}

// Texts and pictures through the desktop's clipboard. A picture goes to and
// from a bitmap the script names; a name no bitmap has is a script error.
Result SystemFamily::clipboard(Engine& e)
{
    const std::string& op = e.word(2);
    const std::string& which = e.word(3);
    if (op == "clear") {
        m_clipboard.clear();
        return std::string();
    }
    if (op == "get" && which == "format") {
        if (m_clipboard.has_image())
            return std::string("bitmap");
        return std::string(m_clipboard.has_text() ? "text" : "unknown");
    }
    if ((op == "get" || op == "set") && which == "image") {
        NamedBitmap named = m_bitmaps.resolve(e.param(1));
        if (!named) {
            e.report_error(MsgInvalidImage);
            return std::nullopt;
        }
        Bitmap* bitmap = named.bitmap;
        if (op == "set") {
            m_clipboard.set_image(*bitmap);
        } else if (std::optional<Bitmap> picture = m_clipboard.image()) {
            // The bitmap takes the picture's size and pixels, and keeps its own depth.
            if (bitmap->resize(picture->width(), picture->height())) {
                for (int32_t y = 0; y < picture->height(); ++y)
                    for (int32_t x = 0; x < picture->width(); ++x)
                        bitmap->set_pixel(x, y, picture->pixel(x, y));
                m_bitmaps.changed(named);
            }
        }
        return std::string();
    }
    if (op == "get" && which == "text") {
        std::string text = m_clipboard.text();
        if (text.size() > MaxClipboardText) {
            // The text is UTF-8: a character the limit would split goes whole.
            size_t cut = MaxClipboardText;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
        }
        return text;
    }
    if (op == "set" && which == "text") {
        m_clipboard.set_text(e.param(1));
        return std::string();
    }
    return e.call_function();
}

} // namespace

void register_system_family(Engine& engine, HostState& state, SystemServices& services, Clipboard& clipboard,
                            BitmapReferences& bitmaps)
{
    auto family = std::make_shared<SystemFamily>(state, services, clipboard, bitmaps);
    engine.register_family("system", [family](Engine& e) { return family->handle(e); });
}

} // namespace ruk

