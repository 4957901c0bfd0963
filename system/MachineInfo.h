// What the machine tells about itself: power, memory, language, names, priority.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruk {

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

// /proc/meminfo read and parsed; nullopt when it cannot be read.
std::optional<MemoryStatus> read_memory_status();

// The machine's name up to its first dot and at most 15 characters;
// nullopt (with `error` set to errno) when the system gives none.
std::optional<std::string> computer_name(int& error);
// The name of the effective user (from the password database, else $USER),
// at most 255 characters.
std::string user_name();
// Sets the nice value of the calling thread only. 0 when done, else errno.
int set_thread_nice(int nice_value);

} // namespace ruk
