// Power, memory, language and names of the machine.
#include "system/MachineInfo.h"

#include "core/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace ruk {

namespace {

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
    return std::string(trim_blanks(line));
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


} // namespace

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
    std::string code = to_lower(locale.substr(0, locale.find_first_of("_.@")));
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

std::optional<MemoryStatus> read_memory_status()
{
    std::ifstream in("/proc/meminfo");
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return parse_meminfo(text.str());
}

std::optional<std::string> computer_name(int& error)
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        error = errno;
        return std::nullopt;
    }
    std::string text(name);
    return text.substr(0, std::min<size_t>(text.find('.'), 15));
}

std::string user_name()
{
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

int set_thread_nice(int nice_value)
{
    // On Linux a thread id names one thread here: only the engine thread changes.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice_value) != 0)
        return errno;
    return 0;
}

} // namespace ruk
