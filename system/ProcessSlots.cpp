// Programs that scripts start, and the command lines they get.
#include "system/ProcessSlots.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace ruk {

namespace {

int exit_code_of(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// One look at a child without waiting: nullopt while it runs, else its exit
// code (-1 when someone else already collected it and the code is lost).
std::optional<int> try_reap(pid_t pid)
{
    int status = 0;
    pid_t r;
    do
        r = ::waitpid(pid, &status, WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r == 0)
        return std::nullopt;
    if (r == pid)
        return exit_code_of(status);
    return -1;
}

// Waits at most `bound` for a child to end and reaps it. nullopt when it
// still runs. `interrupted` is asked between slices of at most 100 ms: an
// engine asked to end stops waiting at once.
std::optional<int> reap_within(pid_t pid, std::chrono::milliseconds bound,
                               const std::function<bool()>& interrupted = nullptr)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + bound;
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    std::optional<int> code;
    while (true) {
        code = try_reap(pid);
        if (code)
            break;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0 || (interrupted && interrupted()))
            break;
        // A pidfd becomes readable when the child ends; without one, look again soon.
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 100)));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
        }
    }
    if (fd >= 0)
        ::close(fd);
    return code;
}


} // namespace

bool is_executable_file(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> find_in_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / name;
        if (is_executable_file(candidate.string()))
            return candidate.string();
        if (colon == std::string_view::npos)
            return std::nullopt;
        dirs.remove_prefix(colon + 1);
    }
}

std::vector<std::string> split_command_line(std::string_view line)
{
    std::vector<std::string> args;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            return args;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '\\') {
                size_t run = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(run, '\\');
                }
                continue;
            }
            if (line[i] == '"')
                quoted = !quoted;
            else
                arg += line[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
}

Spawned spawn_program(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                      bool search_path, bool quiet_input)
{
    Spawned result;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);

    // The program starts clean: no signal blocked or ignored, none of the
    // engine's open files beyond the standard three.
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attr, &signals);
    sigfillset(&signals);
    sigdelset(&signals, SIGKILL);
    sigdelset(&signals, SIGSTOP);
    posix_spawnattr_setsigdefault(&attr, &signals);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (quiet_input)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    std::vector<std::string> copy = args;
    if (copy.empty())
        copy.push_back(program);
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = search_path ? ::posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ)
                         : ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc == 0)
        result.pid = pid;
    else
        result.error = rc;
    return result;
}

ProcessSlots::~ProcessSlots()
{
    for (int slot = 0; slot < Count; ++slot)
        free(slot);
    reap_released();
}

bool ProcessSlots::create(int slot, std::string_view application, std::string_view command_line,
                          std::string_view folder)
{
    reap_released();
    if (!valid(slot)) {
        m_last_error = EINVAL;
        return false;
    }
    free(slot);
    std::vector<std::string> args = split_command_line(command_line);
    std::string program = m_native_path(application);
    bool search = false;
    if (program.empty()) {
        if (args.empty()) {
            m_last_error = ENOENT;
            return false;
        }
        program = m_native_path(args[0]);
        search = program.find('/') == std::string::npos;
    }
    // A relative program is found from the engine's folder, not the program's.
    if (!search && !program.empty() && program[0] != '/') {
        std::error_code ec;
        fs::path absolute = fs::absolute(program, ec);
        if (!ec)
            program = absolute.string();
    }
    if (args.empty())
        args.push_back(program);
    Spawned started = spawn_program(program, args, m_native_path(folder), search, false);
    if (started.pid == 0) {
        m_last_error = started.error;
        return false;
    }
    m_slots[static_cast<size_t>(slot)] = Slot{started.pid, std::nullopt};
    return true;
}

std::optional<int> ProcessSlots::wait(int slot, std::chrono::milliseconds bound, const std::function<bool()>& interrupted)
{
    reap_released();
    if (!valid(slot) || m_slots[static_cast<size_t>(slot)].pid == 0)
        return std::nullopt;
    Slot& s = m_slots[static_cast<size_t>(slot)];
    if (!s.exit)
        s.exit = reap_within(s.pid, bound, interrupted);
    int code = s.exit.value_or(StillActive);
    free(slot);
    return code;
}

std::optional<int> ProcessSlots::exit_code(int slot)
{
    reap_released();
    if (!valid(slot) || m_slots[static_cast<size_t>(slot)].pid == 0)
        return std::nullopt;
    Slot& s = m_slots[static_cast<size_t>(slot)];
    if (!s.exit)
        s.exit = try_reap(s.pid);
    return s.exit.value_or(StillActive);
}

void ProcessSlots::free(int slot)
{
    if (!valid(slot))
        return;
    Slot& s = m_slots[static_cast<size_t>(slot)];
    if (s.pid != 0 && !s.exit && !try_reap(s.pid))
        m_released.push_back(s.pid);
    s = Slot{};
}

void ProcessSlots::let_go(pid_t pid)
{
    if (pid > 0)
        m_released.push_back(pid);
    reap_released();
}

bool ProcessSlots::wait_released(std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    reap_released();
    while (!m_released.empty()) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (reap_within(m_released.front(), left))
            m_released.erase(m_released.begin());
        reap_released();
    }
    return m_released.empty();
}

void ProcessSlots::reap_released()
{
    std::erase_if(m_released, [](pid_t pid) { return try_reap(pid).has_value(); });
}

} // namespace ruk
