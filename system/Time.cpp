// The "time" family: the tick counter, the stopwatch, local date and time, day numbers.
#include "system/Time.h"

#include "core/Engine.h"
#include "host/HostState.h"

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ruk {

namespace {

constexpr const char* MsgDateEncode = "Invalid argument to date encode";

// ---------------------------------------------------------------------------
// Calendar. Day numbers count whole days from 30 December 1899 (day 0), in
// the Gregorian calendar carried back to year 1. Dates are valid from
// 1 January 1 to 31 December 9999; nothing outside that range is encoded or
// decoded, so the arithmetic below never leaves 64-bit range.
// ---------------------------------------------------------------------------

struct CivilDate {
    int32_t year;
    int32_t month;
    int32_t day;
};

constexpr int64_t UnixDayOfDayZero = -25569; // 30 December 1899, counted from 1 January 1970
constexpr int32_t FirstDayNumber = -693593;  // 1 January 1
constexpr int32_t LastDayNumber = 2958465;   // 31 December 9999

constexpr bool is_leap_year(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int32_t days_in_month(int64_t year, int64_t month)
{
    constexpr int32_t Lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : Lengths[month - 1];
}

// Days from 1 January 1970 to the given date. The year is counted from
// 1 March so that the leap day falls at the end of it; 400-year eras repeat
// exactly (146097 days).
constexpr int64_t unix_day_from_civil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t year_of_era = year - era * 400;
    const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

// The inverse of unix_day_from_civil.
constexpr CivilDate civil_from_unix_day(int64_t unix_day)
{
    const int64_t z = unix_day + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t day_of_era = z - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * day_of_year + 2) / 153;
    const int64_t day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    const int64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day)};
}

// The day number of a calendar date; nothing when the three values do not
// form a date between 1 January 1 and 31 December 9999.
std::optional<int32_t> day_number_from_date(int32_t year, int32_t month, int32_t day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month))
        return std::nullopt;
    return static_cast<int32_t>(unix_day_from_civil(year, month, day) - UnixDayOfDayZero);
}

// The calendar date of a day number; nothing outside years 1 to 9999.
std::optional<CivilDate> date_from_day_number(int32_t number)
{
    if (number < FirstDayNumber || number > LastDayNumber)
        return std::nullopt;
    return civil_from_unix_day(int64_t{number} + UnixDayOfDayZero);
}

static_assert(unix_day_from_civil(1899, 12, 30) == UnixDayOfDayZero);
static_assert(unix_day_from_civil(1, 1, 1) - UnixDayOfDayZero == FirstDayNumber);
static_assert(unix_day_from_civil(9999, 12, 31) - UnixDayOfDayZero == LastDayNumber);

// ---------------------------------------------------------------------------
// The local wall clock, read once per command.
// ---------------------------------------------------------------------------

struct LocalMoment {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t millisecond = 0;
    int32_t day_of_week = 0; // 1 = Sunday to 7 = Saturday
    int32_t day_number = 0;
};

// One reading of the real-time clock in the local zone. Every field comes
// from the same reading, so the fields of one command always agree.
LocalMoment read_local_clock()
{
    LocalMoment moment;
    timespec now{};
    std::tm fields{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || ::localtime_r(&now.tv_sec, &fields) == nullptr)
        return moment; // a clock that cannot be read gives zeros rather than garbage
    moment.year = fields.tm_year + 1900;
    moment.month = fields.tm_mon + 1;
    moment.day = fields.tm_mday;
    moment.hour = fields.tm_hour;
    moment.minute = fields.tm_min;
    moment.second = fields.tm_sec > 59 ? 59 : fields.tm_sec; // a leap second stays within 0..59
    moment.millisecond = static_cast<int32_t>(now.tv_nsec / 1000000);
    moment.day_of_week = fields.tm_wday + 1;
    moment.day_number = day_number_from_date(moment.year, moment.month, moment.day).value_or(0);
    return moment;
}

// ---------------------------------------------------------------------------
// Time zone.
// ---------------------------------------------------------------------------

struct ZoneInfo {
    int32_t seconds_west = 0; // seconds to add to local standard time to get UTC
    bool daylight = false;
};

bool is_ascii_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_ascii_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The short TZ form: three letters, a signed whole number of hours west of
// Greenwich, and optionally three more letters naming a daylight-saving
// zone ("EST5", "EST5EDT", "CET-1CEST"). Minutes after the hours
// ("EST5:30EDT") do not count toward the difference but are skipped before
// looking for the daylight letters. Nothing when the text is not in this
// form; the C library's zone applies then.
std::optional<ZoneInfo> zone_from_tz_rule(std::string_view tz)
{
    if (tz.size() < 4 || !is_ascii_letter(tz[0]) || !is_ascii_letter(tz[1]) || !is_ascii_letter(tz[2]))
        return std::nullopt;
    if (tz[3] != '+' && tz[3] != '-' && !is_ascii_digit(tz[3]))
        return std::nullopt;
    size_t pos = 3;
    bool negative = false;
    if (tz[pos] == '+' || tz[pos] == '-')
        negative = tz[pos++] == '-';
    int64_t hours = 0;
    while (pos < tz.size() && is_ascii_digit(tz[pos])) {
        if (hours < 1000000) // more hours than any zone has: stop growing, the value is nonsense anyway
            hours = hours * 10 + (tz[pos] - '0');
        ++pos;
    }
    while (pos + 1 < tz.size() && tz[pos] == ':' && is_ascii_digit(tz[pos + 1])) {
        ++pos;
        while (pos < tz.size() && is_ascii_digit(tz[pos]))
            ++pos;
    }
    ZoneInfo zone;
    zone.seconds_west = static_cast<int32_t>((negative ? -hours : hours) * 3600);
    zone.daylight = pos + 3 <= tz.size() && is_ascii_letter(tz[pos]) && is_ascii_letter(tz[pos + 1])
        && is_ascii_letter(tz[pos + 2]);
    return zone;
}

// The C library's zone: the standard offset and whether daylight saving
// happens, read from the local time at twelve points spread over the coming
// year (tm_gmtoff, tm_isdst). A zone that is on daylight time at every point
// reports its current offset with daylight on.
ZoneInfo zone_from_c_library()
{
    ZoneInfo zone;
    const std::time_t now = std::time(nullptr);
    std::optional<long> standard_offset;
    std::optional<long> any_offset;
    for (int month = 0; month < 12; ++month) {
        const std::time_t sample = now + static_cast<std::time_t>(month) * 2629800; // a twelfth of a year
        std::tm fields{};
        if (::localtime_r(&sample, &fields) == nullptr)
            continue;
        if (!any_offset)
            any_offset = fields.tm_gmtoff;
        if (fields.tm_isdst > 0)
            zone.daylight = true;
        else if (!standard_offset)
            standard_offset = fields.tm_gmtoff;
    }
    zone.seconds_west = static_cast<int32_t>(-standard_offset.value_or(any_offset.value_or(0)));
    return zone;
}

ZoneInfo read_zone()
{
    ::tzset();
    const char* tz = std::getenv("TZ");
    if (tz != nullptr)
        if (auto zone = zone_from_tz_rule(tz))
            return *zone;
    return zone_from_c_library();
}

// ---------------------------------------------------------------------------
// The clocks of one engine.
// ---------------------------------------------------------------------------

// The tick counter and the stopwatch.
//
// Ticks are 5 µs units of the monotonic clock (the clock of
// HostState::start_time). Until a script resets it, the tick reference is the
// engine's start time, read when asked, because start-up takes that time
// after the families are registered. Tick results are the low 32 bits of the
// 64-bit unit count, taken as signed, so they wrap after about three hours.
//
// The stopwatch reads the millisecond up-time of the machine (suspended
// time included), cut to 32 bits; the mark is 0 until the first start, so a
// stop before any start gives the up-time itself.
class TimeClocks {
public:
    explicit TimeClocks(const HostState& state) : m_state(state) {}

    int32_t tick_get() const { return ticks_of(std::chrono::steady_clock::now() - tick_reference()); }
    int32_t tick_last_reset() const { return ticks_of(tick_reference().time_since_epoch()); }
    void tick_reset() { m_tick_reference = std::chrono::steady_clock::now(); }

    void chrono_start() { m_chrono_mark = uptime_ms(); }
    int32_t chrono_stop() const { return static_cast<int32_t>(uptime_ms() - m_chrono_mark); }
    int32_t chrono_get() const { return static_cast<int32_t>(uptime_ms()); }

private:
    std::chrono::steady_clock::time_point tick_reference() const
    {
        return m_tick_reference.value_or(m_state.start_time);
    }

    // Nanoseconds divided straight into 5 µs units: the same value as
    // count × 200000 ÷ frequency, without the product overflowing 64 bits.
    static int32_t ticks_of(std::chrono::steady_clock::duration span)
    {
        const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(span).count();
        return static_cast<int32_t>(nanoseconds / 5000);
    }

    static uint32_t uptime_ms()
    {
        timespec now{};
        if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0 && ::clock_gettime(CLOCK_MONOTONIC, &now) != 0)
            return 0;
        const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }

    const HostState& m_state;
    std::optional<std::chrono::steady_clock::time_point> m_tick_reference;
    uint32_t m_chrono_mark = 0;
};

// ---------------------------------------------------------------------------
// The family: reads the command, asks the clocks or the calendar, writes the
// answer as decimal text.
// ---------------------------------------------------------------------------

class TimeFamily {
public:
    explicit TimeFamily(const HostState& state) : m_clocks(state), m_zone(read_zone()) {}

    Result handle(Engine& e);

private:
    Result tick(Engine& e);
    Result chrono(Engine& e);
    static Result date_field(Engine& e, int32_t CivilDate::*field);

    TimeClocks m_clocks;
    ZoneInfo m_zone; // read once, when the engine registers its families
};

Result TimeFamily::tick(Engine& e)
{
    const std::string& op = e.word(2);
    if (op == "get")
        return int_to_text(m_clocks.tick_get());
    if (op == "getlastreset")
        return int_to_text(m_clocks.tick_last_reset());
    if (op == "reset") {
        m_clocks.tick_reset();
        return std::string();
    }
    return e.call_function();
}

Result TimeFamily::chrono(Engine& e)
{
    const std::string& op = e.word(2);
    if (op == "start") {
        m_clocks.chrono_start();
        return std::string();
    }
    if (op == "stop")
        return int_to_text(m_clocks.chrono_stop());
    if (op == "get")
        return int_to_text(m_clocks.chrono_get());
    return e.call_function();
}

// Year, month or day of the day number in parameter 1. A number outside
// years 1 to 9999 has no date: every field is then "0".
Result TimeFamily::date_field(Engine& e, int32_t CivilDate::*field)
{
    const auto date = date_from_day_number(e.param_int(1, 0));
    return int_to_text(date ? (*date).*field : 0);
}

Result TimeFamily::handle(Engine& e)
{
    const std::string& op = e.word(1);
    if (op == "tick")
        return tick(e);
    if (op == "chrono")
        return chrono(e);
    if (op == "datetonumber") {
        const auto number = day_number_from_date(e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 0));
        if (!number) {
            // The exception unwinds the whole line: abandon it here, so that
            // an assignment around the command keeps its old value.
            e.raise_exception(MsgDateEncode);
            e.set_abort();
            return std::nullopt;
        }
        return int_to_text(*number);
    }
    if (op == "numbertoyear")
        return date_field(e, &CivilDate::year);
    if (op == "numbertomonth")
        return date_field(e, &CivilDate::month);
    if (op == "numbertoday")
        return date_field(e, &CivilDate::day);

    int32_t LocalMoment::*field = nullptr;
    if (op == "hour")
        field = &LocalMoment::hour;
    else if (op == "minute")
        field = &LocalMoment::minute;
    else if (op == "second")
        field = &LocalMoment::second;
    else if (op == "millisecond")
        field = &LocalMoment::millisecond;
    else if (op == "day")
        field = &LocalMoment::day;
    else if (op == "month")
        field = &LocalMoment::month;
    else if (op == "year")
        field = &LocalMoment::year;
    else if (op == "dayofweek")
        field = &LocalMoment::day_of_week;
    else if (op == "date")
        field = &LocalMoment::day_number;
    if (field != nullptr)
        return int_to_text(read_local_clock().*field);

    if (op == "zone")
        return int_to_text(m_zone.seconds_west);
    if (op == "daylight")
        return flag_to_text(m_zone.daylight);
    return e.call_function();
}

} // namespace

void register_time_family(Engine& engine, HostState& state)
{
    auto family = std::make_shared<TimeFamily>(state);
    engine.register_family("time", [family](Engine& e) { return family->handle(e); });
}

} // namespace ruk
