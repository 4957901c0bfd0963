// Programs that scripts start: 32 numbered slots, spawning, reaping, command lines.
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

// Splits a command line into arguments the classic way: blanks separate,
// double quotes group, a backslash is literal unless it stands before a quote
// (2n backslashes and a quote: n backslashes and the quote groups; 2n+1: n
// backslashes and a literal quote).
std::vector<std::string> split_command_line(std::string_view line);

// A bare program name looked up in PATH; nullopt when no executable has it.
std::optional<std::string> find_in_path(const std::string& name);
// A regular file the caller may execute.
bool is_executable_file(const std::string& path);

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

    // Turns a path as the caller writes it into the system's path.
    using PathMapper = std::function<std::string(std::string_view)>;

    // `native_path` maps the program and folder names given to create();
    // without one they are used as they are.
    explicit ProcessSlots(PathMapper native_path = nullptr)
        : m_native_path(native_path ? std::move(native_path) : [](std::string_view p) { return std::string(p); })
    {
    }
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
    PathMapper m_native_path;
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
