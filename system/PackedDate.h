// Packed date-time numbers: the one-number file dates scripts read and set.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace ruk::disk {

// A file date travels in scripts as one 32-bit number of local time: bits
// 25-31 year - 1980, 21-24 month, 16-20 day, 11-15 hour, 5-10 minute, 0-4
// second / 2. Years from 2044 on set the top bit, so such numbers are negative
// when written as signed decimals.

// Packs a local date and time. Dates before 1980 pack as the first moment of
// 1980 and dates after 2107 as the last one, so that every real file has a
// date; odd seconds round down.
int32_t pack_date_time(std::time_t when);
// The moment a packed number names, in local time; nothing when a field is
// out of range (month 13, day 0, hour 24, 31 February, ...).
std::optional<std::time_t> unpack_date_time(int32_t packed);
// `when` moved by whole days of local calendar time (the wall-clock time
// stays across a daylight-saving change); nothing when the result cannot be
// packed without clamping.
std::optional<int32_t> pack_days_later(std::time_t when, int32_t days);

} // namespace ruk::disk
