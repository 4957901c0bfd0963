// The "system" family: questions about the machine and the engine, programs, message boxes and start-up switches.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace ruk {

class Engine;
struct HostState;

// What the family needs from the running engine or its desktop. The engine
// gives the Qt version; rukc run and the tests give the headless one.
class SystemServices {
public:
    virtual ~SystemServices() = default;
    // Handles every window message waiting in the engine's queue, running the
    // events they raise, then returns.
    virtual void process_events() = 0;
    // The desktop's default sound.
    virtual void beep() = 0;
    // Bits per pixel of the engine window's surface.
    virtual int colour_depth() = 0;
    // Engines running now, this one included (holders of the global instance semaphore).
    virtual int count_engines() = 0;
    // Full path of the running engine executable.
    virtual std::string engine_file_name() = 0;
};

// No desktop: nothing to process, a silent beep, 24-bit colour, one engine.
class HeadlessSystemServices : public SystemServices {
public:
    void process_events() override {}
    void beep() override {}
    int colour_depth() override { return 24; }
    int count_engines() override { return 1; }
    std::string engine_file_name() override;
};

// Registers "system". The family keeps its own state (process slots, loaded
// libraries, the last system error) for as long as the engine keeps the
// handler; letting it go reaps the ended programs and unloads the libraries.
// `state` and `services` must outlive the engine's handler table.
void register_system_family(Engine& engine, HostState& state, SystemServices& services);

// --- message boxes --------------------------------------------------------

// The box type of a "dialog" from its numeric choices (buttons 0..5,
// default button 1..4, icon 1..8, modality 1..3, and the three switches,
// each taken when exactly 1). Values outside the lists add nothing.
uint32_t dialog_type(int buttons, int default_button, int icon, int modality, int foreground, int topmost,
                     int right_to_left);
// The answers of a box type's buttons, in the order the box shows them
// (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No).
const std::vector<int>& dialog_buttons(uint32_t type);
// The answer of the type's default button; a default beyond the last button
// falls back to the first, as the box itself does.
int dialog_default_answer(uint32_t type);

// --- machine queries --------------------------------------------------------

// Power status in the classic shape; 255 and -1 mean "cannot tell".
struct PowerStatus {
    int ac_line = 255;            // 0 offline, 1 online
    int life_percent = 255;
    int64_t life_time = -1;       // seconds left
    int64_t full_life_time = -1;  // seconds a full charge lasts
    int battery_flag = 255;       // 1 high, 2 low, 4 critical, 8 charging, 128 no battery
};
// Reads the power supplies under `root` (normally /sys/class/power_supply).
// Batteries of devices (a mouse, a pen) are not the machine's and are left out.
PowerStatus read_power_status(const std::string& root = "/sys/class/power_supply");

struct MemoryStatus {
    int load_percent = 0;
    uint64_t total_kib = 0;
    uint64_t available_kib = 0;
};
// Parses the text of /proc/meminfo; nullopt when it has no total.
std::optional<MemoryStatus> parse_meminfo(std::string_view text);

// The language name of a primary language number ("GERMAN" for 7), "unknown"
// for numbers without a name.
std::string language_name(int number);
// The language name of a locale text such as "de_DE.UTF-8"; the C and POSIX
// locales speak English.
std::string language_of_locale(std::string_view locale);
// The user's language from LC_ALL, LC_MESSAGES and LANG, the first one set.
std::string user_language();

// Splits a command line into arguments the classic way: blanks separate,
// double quotes group, a backslash is literal unless it stands before a quote
// (2n backslashes and a quote: n backslashes and the quote groups; 2n+1: n
// backslashes and a literal quote).
std::vector<std::string> split_command_line(std::string_view line);

// --- programs ----------------------------------------------------------------

// The programs that scripts start, in 32 numbered slots. A slot holds a
// started program until it is freed or a new one is started in it; its exit
// code stays readable after the program ended, until the slot is freed.
//
// No zombies: a program that ended is reaped the first time anyone looks at
// it. A program let go while it still runs (freed, replaced in its slot, or
// started for the desktop such as a document viewer) goes on a list that is
// reaped, without waiting, on every later call and when the table goes away.
// Nothing here waits without a bound; programs still running when the table
// goes away are left to run, and the system reaps them once the engine ends.
class ProcessSlots {
public:
    static constexpr int Count = 32;
    static constexpr int StillActive = 259;
    static constexpr std::chrono::milliseconds LongestWait{300000};

    ProcessSlots() = default;
    ~ProcessSlots();
    ProcessSlots(const ProcessSlots&) = delete;
    ProcessSlots& operator=(const ProcessSlots&) = delete;

    static bool valid(int slot) { return slot >= 0 && slot < Count; }

    // Starts `application` (or, when empty, the first argument of the command
    // line, looked up in PATH) with the arguments of `command_line`, whose
    // first one is the program's own name, in `folder` (empty: the current
    // one). Open files other than the standard three are not passed on.
    // False, with last_error() set, when nothing started or the slot is
    // outside 0..31.
    bool create(int slot, std::string_view application, std::string_view command_line, std::string_view folder);
    // Waits at most `bound` for the slot's program to end, then frees the slot.
    // The exit code, StillActive when it still runs, nullopt for an empty slot.
    // `interrupted`, when given, is asked every 100 ms: true stops the wait.
    std::optional<int> wait(int slot, std::chrono::milliseconds bound, const std::function<bool()>& interrupted = nullptr);
    // The exit code, StillActive while the program runs, nullopt for an empty
    // or invalid slot. A program ended by a signal gives 128 + the signal.
    std::optional<int> exit_code(int slot);
    // Lets the slot's program go (it keeps running) and empties the slot.
    void free(int slot);
    // Hands over a program started elsewhere, to be reaped when it ends.
    void let_go(pid_t pid);
    // Waits at most `bound` for every program let go to end. True when none is left.
    bool wait_released(std::chrono::milliseconds bound);

    pid_t pid(int slot) const { return valid(slot) ? m_slots[static_cast<size_t>(slot)].pid : 0; }
    int last_error() const { return m_last_error; }

private:
    struct Slot {
        pid_t pid = 0; // 0: empty
        std::optional<int> exit;
    };
    void reap_released();
    Slot m_slots[Count];
    std::vector<pid_t> m_released;
    int m_last_error = 0;
};

// A started program or the reason it could not start.
struct Spawned {
    pid_t pid = 0;
    int error = 0; // errno when pid is 0
};
// Starts a program without waiting for it. `search_path` looks a bare name up
// in PATH; `quiet_input` gives it /dev/null as standard input.
Spawned spawn_program(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                      bool search_path, bool quiet_input);

} // namespace ruk
