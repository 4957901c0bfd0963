// Packed date-time numbers: the one-number file dates scripts read and set.
#include "system/PackedDate.h"

#include <algorithm>

namespace ruk::disk {

namespace {

constexpr int MinYear = 1980;
constexpr int MaxYear = 2107;

int32_t pack_tm(const std::tm& t)
{
    uint32_t value = (static_cast<uint32_t>(t.tm_year + 1900 - MinYear) << 25)
        | (static_cast<uint32_t>(t.tm_mon + 1) << 21) | (static_cast<uint32_t>(t.tm_mday) << 16)
        | (static_cast<uint32_t>(t.tm_hour) << 11) | (static_cast<uint32_t>(t.tm_min) << 5)
        | static_cast<uint32_t>(std::min(t.tm_sec, 59) / 2);
    return static_cast<int32_t>(value);
}

std::tm make_tm(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

} // namespace

int32_t pack_date_time(std::time_t when)
{
    std::tm t {};
    if (!::localtime_r(&when, &t) || t.tm_year + 1900 < MinYear)
        return pack_tm(make_tm(MinYear, 1, 1, 0, 0, 0));
    if (t.tm_year + 1900 > MaxYear)
        return pack_tm(make_tm(MaxYear, 12, 31, 23, 59, 58));
    return pack_tm(t);
}

std::optional<std::time_t> unpack_date_time(int32_t packed)
{
    uint32_t v = static_cast<uint32_t>(packed);
    int year = static_cast<int>(v >> 25) + MinYear;
    int month = static_cast<int>((v >> 21) & 15);
    int day = static_cast<int>((v >> 16) & 31);
    int hour = static_cast<int>((v >> 11) & 31);
    int minute = static_cast<int>((v >> 5) & 63);
    int second = static_cast<int>(v & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    std::tm t = make_tm(year, month, day, hour, minute, second);
    std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1))
        return std::nullopt;
    // mktime carries 31 February into March: such a date does not exist.
    if (t.tm_year != year - 1900 || t.tm_mon != month - 1 || t.tm_mday != day)
        return std::nullopt;
    return when;
}

std::optional<int32_t> pack_days_later(std::time_t when, int32_t days)
{
    std::tm t {};
    if (!::localtime_r(&when, &t))
        return std::nullopt;
    t.tm_mday += days;
    t.tm_isdst = -1;
    std::time_t later = std::mktime(&t);
    if (later == static_cast<std::time_t>(-1))
        return std::nullopt;
    std::tm check {};
    if (!::localtime_r(&later, &check) || check.tm_year + 1900 < MinYear || check.tm_year + 1900 > MaxYear)
        return std::nullopt;
    return pack_tm(check);
}

} // namespace ruk::disk
