// The "system" family: machine queries, programs and documents, message boxes and the start-up switches.
#include "system/Misc.h"

#include "system/Disk.h"

#include "core/Engine.h"
#include "host/HostState.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace ruk {

namespace {

// Result codes of the shell's open action: above 32 is success.
constexpr int ShellOk = 42;
constexpr int ShellFileNotFound = 2;
constexpr int ShellPathNotFound = 3;
constexpr int ShellAccessDenied = 5;
constexpr int ShellOutOfMemory = 8;
constexpr int ShellNoAssociation = 31;

constexpr int PlatformId = 2;

std::string trimmed(std::string_view text)
{
    size_t a = 0, b = text.size();
    while (a < b && static_cast<unsigned char>(text[a]) <= 0x20)
        ++a;
    while (b > a && static_cast<unsigned char>(text[b - 1]) <= 0x20)
        --b;
    return std::string(text.substr(a, b - a));
}

// The first line of a small file, trimmed; nullopt when it cannot be read.
std::optional<std::string> read_line(const fs::path& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (in.bad())
        return std::nullopt;
    return trimmed(line);
}

std::optional<int64_t> read_number(const fs::path& path)
{
    auto line = read_line(path);
    if (!line || line->empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(line->c_str(), &end, 10);
    if (errno != 0 || end == line->c_str())
        return std::nullopt;
    return static_cast<int64_t>(value);
}

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

bool is_executable_file(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// A bare program name looked up in PATH; nullopt when no executable has it.
std::optional<std::string> find_in_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / name;
        if (is_executable_file(candidate))
            return candidate.string();
        if (colon == std::string_view::npos)
            return std::nullopt;
        dirs.remove_prefix(colon + 1);
    }
}

// "http:", "mailto:" and the like; one letter and a colon is a drive.
bool is_url(std::string_view text)
{
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

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

// ---------------------------------------------------------------------------
// Headless services
// ---------------------------------------------------------------------------

std::string HeadlessSystemServices::engine_file_name()
{
    std::error_code ec;
    fs::path target = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : target.string();
}

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

uint32_t dialog_type(int buttons, int default_button, int icon, int modality, int foreground, int topmost,
                     int right_to_left)
{
    uint32_t type = 0;
    switch (buttons) {
    case 1: type |= 1; break; // OK, Cancel
    case 2: type |= 5; break; // Retry, Cancel
    case 3: type |= 4; break; // Yes, No
    case 4: type |= 3; break; // Yes, No, Cancel
    case 5: type |= 2; break; // Abort, Retry, Ignore
    default: break;           // OK
    }
    if (default_button >= 2 && default_button <= 4)
        type |= static_cast<uint32_t>(default_button - 1) << 8;
    switch (icon) {
    case 1:
    case 4: type |= 0x30; break; // exclamation
    case 2: type |= 0x20; break; // question
    case 3:
    case 5: type |= 0x40; break; // information
    case 6:
    case 7:
    case 8: type |= 0x10; break; // stop
    default: break;
    }
    if (modality == 2)
        type |= 0x1000;
    else if (modality == 3)
        type |= 0x2000;
    if (foreground == 1)
        type |= 0x10000;
    if (topmost == 1)
        type |= 0x40000;
    if (right_to_left == 1)
        type |= 0x80000 | 0x100000;
    return type;
}

const std::vector<int>& dialog_buttons(uint32_t type)
{
    static const std::vector<int> lists[] = {
        {1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2},
    };
    uint32_t set = type & 0xF;
    return lists[set < 6 ? set : 0];
}

int dialog_default_answer(uint32_t type)
{
    const auto& buttons = dialog_buttons(type);
    size_t preferred = (type >> 8) & 0xF;
    return preferred < buttons.size() ? buttons[preferred] : buttons[0];
}

// ---------------------------------------------------------------------------
// Power and memory
// ---------------------------------------------------------------------------

PowerStatus read_power_status(const std::string& root)
{
    PowerStatus status;
    std::error_code ec;
    fs::directory_iterator it(root, ec);
    if (ec)
        return status; // no power-supply class at all: nothing can be told

    bool any_mains = false, mains_online = false, any_battery = false;
    bool charging = false, discharging = false, full = false;
    int64_t now_sum = 0, full_sum = 0, rate_sum = 0;
    bool energy_known = true;
    int64_t capacity_sum = 0;
    int capacity_count = 0;
    std::optional<int64_t> time_to_empty;

    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const fs::path dir = it->path();
        std::string type = read_line(dir / "type").value_or("");
        if (type == "Mains" || type.rfind("USB", 0) == 0) {
            if (auto online = read_number(dir / "online")) {
                any_mains = true;
                mains_online = mains_online || *online != 0;
            }
            continue;
        }
        if (type != "Battery")
            continue;
        if (read_line(dir / "scope").value_or("") == "Device")
            continue; // a mouse or a pen, not the machine
        if (read_number(dir / "present").value_or(1) == 0)
            continue;
        any_battery = true;
        std::string state = read_line(dir / "status").value_or("");
        charging = charging || state == "Charging";
        discharging = discharging || state == "Discharging";
        full = full || state == "Full" || state == "Not charging";
        if (auto c = read_number(dir / "capacity")) {
            capacity_sum += std::clamp<int64_t>(*c, 0, 100);
            ++capacity_count;
        }
        // Energy (uWh, uW) or charge (uAh, uA): either gives hours as now / rate.
        auto now = read_number(dir / "energy_now");
        auto whole = read_number(dir / "energy_full");
        auto rate = read_number(dir / "power_now");
        if (!now || !whole) {
            now = read_number(dir / "charge_now");
            whole = read_number(dir / "charge_full");
            rate = read_number(dir / "current_now");
        }
        if (now && whole && *now >= 0 && *whole > 0) {
            now_sum += *now;
            full_sum += *whole;
            rate_sum += rate ? std::abs(*rate) : 0;
        } else {
            energy_known = false;
        }
        if (auto t = read_number(dir / "time_to_empty_now"); t && *t > 0)
            time_to_empty = time_to_empty.value_or(0) + *t;
    }

    if (any_mains)
        status.ac_line = mains_online ? 1 : 0;
    else if (discharging)
        status.ac_line = 0;
    else if (charging || full)
        status.ac_line = 1;

    if (!any_battery) {
        status.battery_flag = 128;
        return status;
    }
    if (energy_known && full_sum > 0)
        status.life_percent = static_cast<int>(std::clamp<int64_t>(now_sum * 100 / full_sum, 0, 100));
    else if (capacity_count > 0)
        status.life_percent = static_cast<int>(capacity_sum / capacity_count);
    if (status.life_percent != 255) {
        int flag = 0;
        if (status.life_percent > 66)
            flag |= 1;
        if (status.life_percent < 33)
            flag |= 2;
        if (status.life_percent < 5)
            flag |= 4;
        if (charging)
            flag |= 8;
        status.battery_flag = flag;
    }
    if (discharging && status.ac_line != 1) {
        if (energy_known && rate_sum > 0) {
            status.life_time = now_sum * 3600 / rate_sum;
            status.full_life_time = full_sum * 3600 / rate_sum;
        } else if (time_to_empty) {
            status.life_time = *time_to_empty;
        }
    }
    return status;
}

std::optional<MemoryStatus> parse_meminfo(std::string_view text)
{
    std::optional<uint64_t> total, available, free_kib, buffers, cached;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, colon);
        std::string value(line.substr(colon + 1));
        errno = 0;
        char* end = nullptr;
        unsigned long long number = std::strtoull(value.c_str(), &end, 10);
        if (errno != 0 || end == value.c_str())
            continue;
        if (key == "MemTotal")
            total = number;
        else if (key == "MemAvailable")
            available = number;
        else if (key == "MemFree")
            free_kib = number;
        else if (key == "Buffers")
            buffers = number;
        else if (key == "Cached")
            cached = number;
    }
    if (!total || *total == 0)
        return std::nullopt;
    MemoryStatus status;
    status.total_kib = *total;
    // Older kernels have no estimate of their own: free plus the caches they give back.
    uint64_t avail = available ? *available : free_kib.value_or(0) + buffers.value_or(0) + cached.value_or(0);
    status.available_kib = std::min(avail, *total);
    status.load_percent = static_cast<int>((status.total_kib - status.available_kib) * 100 / status.total_kib);
    return status;
}

// ---------------------------------------------------------------------------
// Language
// ---------------------------------------------------------------------------

std::string language_name(int number)
{
    struct Entry {
        int number;
        const char* name;
    };
    static constexpr Entry names[] = {
        {1, "ARABIC"},      {2, "BULGARIAN"},  {3, "CATALAN"},    {4, "CHINESE"},   {5, "CZECH"},
        {6, "DANISH"},      {7, "GERMAN"},     {8, "GREEK"},      {9, "ENGLISH"},   {10, "SPANISH"},
        {11, "FINNISH"},    {12, "FRENCH"},    {13, "HEBREW"},    {14, "HUNGARIAN"}, {15, "ICELANDIC"},
        {16, "ITALIAN"},    {17, "JAPANESE"},  {18, "KOREAN"},    {19, "DUTCH"},    {20, "NORWEGIAN"},
        {21, "POLISH"},     {22, "PORTUGUESE"}, {24, "ROMANIAN"}, {25, "RUSSIAN"},  {26, "CROATIAN"},
        {27, "SLOVAK"},     {29, "SWEDISH"},   {30, "THAI"},      {31, "TURKISH"},  {33, "INDONESIAN"},
        {35, "BELARUSIAN"}, {36, "SLOVENIAN"}, {37, "ESTONIAN"},  {38, "LATVIAN"},  {39, "LITHUANIAN"},
        {41, "FARSI"},      {42, "VIETNAMESE"}, {45, "BASQUE"},   {54, "AFRIKAANS"}, {56, "FAEROESE"},
    };
    for (const auto& entry : names)
        if (entry.number == number)
            return entry.name;
    return "unknown";
}

std::string language_of_locale(std::string_view locale)
{
    // The language code ends at the territory, the character set or the modifier.
    std::string code(locale.substr(0, locale.find_first_of("_.@")));
    for (char& c : code)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (code.empty() || code == "c" || code == "posix")
        return language_name(9);
    // Codes that share a primary language number share its name (Serbian and
    // Bosnian go with Croatian, the three Norwegian codes together).
    static const std::pair<const char*, int> codes[] = {
        {"ar", 1},  {"bg", 2},  {"ca", 3},  {"zh", 4},  {"cs", 5},  {"da", 6},  {"de", 7},  {"el", 8},
        {"en", 9},  {"es", 10}, {"fi", 11}, {"fr", 12}, {"he", 13}, {"iw", 13}, {"hu", 14}, {"is", 15},
        {"it", 16}, {"ja", 17}, {"ko", 18}, {"nl", 19}, {"no", 20}, {"nb", 20}, {"nn", 20}, {"pl", 21},
        {"pt", 22}, {"ro", 24}, {"ru", 25}, {"hr", 26}, {"sr", 26}, {"bs", 26}, {"sk", 27}, {"sv", 29},
        {"th", 30}, {"tr", 31}, {"id", 33}, {"in", 33}, {"be", 35}, {"sl", 36}, {"et", 37}, {"lv", 38},
        {"lt", 39}, {"fa", 41}, {"vi", 42}, {"eu", 45}, {"af", 54}, {"fo", 56},
    };
    for (const auto& [name, number] : codes)
        if (code == name)
            return language_name(number);
    return "unknown";
}

std::string user_language()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return language_of_locale(value);
    }
    return language_of_locale("C");
}

// ---------------------------------------------------------------------------
// Command lines and programs
// ---------------------------------------------------------------------------

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
    std::string program = native_path(application);
    bool search = false;
    if (program.empty()) {
        if (args.empty()) {
            m_last_error = ENOENT;
            return false;
        }
        program = native_path(args[0]);
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
    Spawned started = spawn_program(program, args, native_path(folder), search, false);
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
    SystemFamily(HostState& state, SystemServices& services) : m_state(state), m_services(services) {}
    ~SystemFamily()
    {
        for (auto it = m_libraries.rbegin(); it != m_libraries.rend(); ++it)
            ::dlclose(*it);
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
    int shell_open(const std::string& target, const std::string& args, const std::string& folder);
    int open_with_desktop(const std::string& target, const std::string& folder);
    void print(const std::string& document, const std::string& folder);
    void explore(const std::string& folder);
    // The file a script names, found from the current folder and then from
    // `folder`; nullopt when neither has it.
    std::optional<fs::path> locate(const std::string& name, const std::string& folder);
    void note_error(int code) { m_last_os_error = code; }

    HostState& m_state;
    SystemServices& m_services;
    ProcessSlots m_processes;
    std::vector<void*> m_libraries;
    int m_last_os_error = 0;
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
    if (op == "clipboard") {
        // FIXME: the clipboard commands belong to the dialogs and clipboard
        // work; until it is there they answer with the empty text.
        return std::string();
    }
    if (op == "language")
        return user_language();
    if (op == "execute")
        return int_to_text(shell_open(e.param(1), e.param(2), e.param(3)));
    if (op == "process")
        return process(e);
    if (op == "print") {
        print(e.param(1), e.param(3));
        return std::nullopt;
    }
    if (op == "explore") {
        explore(e.param(1));
        return std::nullopt;
    }
    if (op == "getcolors")
        return int_to_text(m_services.colour_depth());
    if (op == "getcomputername") {
        char name[256] = {};
        if (::gethostname(name, sizeof name - 1) != 0) {
            note_error(errno);
            return std::string();
        }
        std::string text(name);
        return text.substr(0, std::min<size_t>(text.find('.'), 15));
    }
    if (op == "getusername") {
        std::string name;
        struct passwd entry;
        struct passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
            name = found->pw_name;
        else if (const char* user = std::getenv("USER"))
            name = user;
        return name.substr(0, 255);
    }
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
    std::ifstream in("/proc/meminfo");
    std::stringstream text;
    text << in.rdbuf();
    MemoryStatus memory = parse_meminfo(text.str()).value_or(MemoryStatus{});
    return int_to_text(memory.load_percent) + "^^" + int_to_text(static_cast<int64_t>(memory.total_kib)) + "^^" +
           int_to_text(static_cast<int64_t>(memory.available_kib));
}

Result SystemFamily::load_library(const std::string& name)
{
    // An empty name would hand back the engine itself.
    if (name.empty()) {
        note_error(ENOENT);
        return std::string("0");
    }
    errno = 0;
    void* handle = ::dlopen(native_path(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        note_error(errno ? errno : ENOENT);
        return std::string("0");
    }
    // Loading a library twice gives its handle twice: keep one reference.
    if (std::find(m_libraries.begin(), m_libraries.end(), handle) != m_libraries.end())
        ::dlclose(handle);
    else
        m_libraries.push_back(handle);
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
    // The engine thread only: on Linux a thread id names one thread here.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice_value) != 0)
        note_error(errno);
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

std::optional<fs::path> SystemFamily::locate(const std::string& name, const std::string& folder)
{
    std::error_code ec;
    fs::path path(native_path(name));
    if (fs::exists(path, ec))
        return path;
    if (!folder.empty() && path.is_relative()) {
        fs::path inside = fs::path(native_path(folder)) / path;
        if (fs::exists(inside, ec))
            return inside;
    }
    return std::nullopt;
}

// The shell's open action: a program runs with the arguments, a folder, a
// document or an address opens in the desktop's application for it. Returns
// the classic result codes: 42 when it started, 2 for a missing file, 3 for a
// missing folder, 5 when refused, 31 when nothing can open it.
int SystemFamily::shell_open(const std::string& target, const std::string& args, const std::string& folder)
{
    const std::string dir = native_path(folder);
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        note_error(ENOENT);
        return ShellPathNotFound;
    }
    if (target.empty()) {
        note_error(ENOENT);
        return ShellFileNotFound;
    }
    if (is_url(target))
        return open_with_desktop(target, dir);
    std::optional<fs::path> path = locate(target, dir);
    if (!path && native_path(target).find('/') == std::string::npos)
        if (auto found = find_in_path(target))
            path = fs::path(*found);
    if (!path) {
        note_error(ENOENT);
        return ShellFileNotFound;
    }
    if (!fs::is_directory(*path, ec) && is_executable_file(*path)) {
        std::string program = fs::absolute(*path, ec).string();
        std::vector<std::string> argv = split_command_line(args);
        argv.insert(argv.begin(), program);
        Spawned started = spawn_program(program, argv, dir, false, false);
        if (started.pid == 0) {
            note_error(started.error);
            switch (started.error) {
            case ENOENT: return ShellFileNotFound;
            case EACCES:
            case EPERM: return ShellAccessDenied;
            case ENOMEM: return ShellOutOfMemory;
            default: return 0;
            }
        }
        m_processes.let_go(started.pid);
        return ShellOk;
    }
    return open_with_desktop(fs::absolute(*path, ec).string(), dir);
}

int SystemFamily::open_with_desktop(const std::string& target, const std::string& folder)
{
    auto opener = find_in_path("xdg-open");
    if (!opener) {
        note_error(ENOENT);
        return ShellNoAssociation;
    }
    Spawned started = spawn_program(*opener, {*opener, target}, folder, false, true);
    if (started.pid == 0) {
        note_error(started.error);
        return ShellNoAssociation;
    }
    m_processes.let_go(started.pid);
    return ShellOk;
}

void SystemFamily::print(const std::string& document, const std::string& folder)
{
    const std::string dir = native_path(folder);
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec))
        return note_error(ENOENT);
    std::optional<fs::path> path = locate(document, dir);
    if (!path)
        return note_error(ENOENT);
    auto printer = find_in_path("lp");
    if (!printer)
        return note_error(ENOENT);
    Spawned started = spawn_program(*printer, {*printer, fs::absolute(*path, ec).string()}, dir, false, true);
    if (started.pid == 0)
        return note_error(started.error);
    m_processes.let_go(started.pid);
}

void SystemFamily::explore(const std::string& folder)
{
    std::error_code ec;
    const std::string dir = native_path(folder);
    if (dir.empty() || !fs::is_directory(dir, ec))
        return note_error(ENOENT);
    open_with_desktop(fs::absolute(dir, ec).string(), std::string());
}

} // namespace

void register_system_family(Engine& engine, HostState& state, SystemServices& services)
{
    auto family = std::make_shared<SystemFamily>(state, services);
    engine.register_family("system", [family](Engine& e) { return family->handle(e); });
}

} // namespace ruk
