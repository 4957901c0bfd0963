// The time family through the engine: day numbers, the clocks, local fields and the zone rule.
#include "host/HostState.h"
#include "tests/support/Notation.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

using namespace ruk;
using ruk::test::compiled;
using ruk::test::ScriptHarness;

namespace {

std::string run_body(ScriptHarness& h, const std::string& body)
{
    EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n"));
    h.run();
    EXPECT_TRUE(h.errors().empty());
    return h.output();
}

// One command straight through the dispatcher: script variables hold large
// numbers only roughly, the result text is exact.
int64_t command_value(ScriptHarness& h, const char* command)
{
    const Result result = h.engine().split_command(compiled(command));
    EXPECT_TRUE(result) << command;
    return result ? std::stoll(*result) : 0;
}

// Sets TZ (unsets it for nothing) while the object lives, then puts it back.
class ScopedTz {
public:
    explicit ScopedTz(const std::optional<std::string>& value)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        set(value);
    }
    ~ScopedTz() { set(m_old); }

private:
    static void set(const std::optional<std::string>& value)
    {
        if (value)
            ::setenv("TZ", value->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> m_old;
};

int64_t boot_ms_now()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

TEST(TimeDays, EveryDayNumberComesBackFromItsDate)
{
    // Steps of 997 days land on every month and both sides of day 0; the loop
    // starts on 1 January 1 and the last day of 9999 is checked on its own.
    ScriptHarness h;
    EXPECT_EQ(run_body(h, R"(
    &bad = 0
    &n = -693593
    while (&n < 2958466)
        if (time.datetonumber(time.numbertoyear(&n), time.numbertomonth(&n), time.numbertoday(&n)) <> &n)
            &bad = &bad + 1
        if.end()
        &n = &n + 997
    while.end()
    system.message(&bad " " time.numbertoyear(-36522) "-" time.numbertomonth(-36522) "-" time.numbertoday(-36522))
    system.message(time.numbertoyear(2958465) "-" time.numbertomonth(2958465) "-" time.numbertoday(2958465)))"),
              "0 1800-1-1\n9999-12-31\n");
}

TEST(TimeDays, ImpossibleDatesRaiseTheExceptionAndKeepTheTarget)
{
    for (const char* args : {"1900, 2, 29", "2100, 2, 29", "2023, 4, 31", "2023, 13, 1", "2023, 0, 1",
                             "2023, 1, 0", "0, 1, 1", "10000, 1, 1", "", "-5, 1, 1"}) {
        ScriptHarness h;
        ASSERT_TRUE(h.load(std::string("event.initialize()\n&x = kept\n&x = time.datetonumber(") + args
                           + ")\nsystem.message(\"not reached\")\nevent.end()\n"
                             "event.exception()\nsystem.message(system.lasterror() \" \" &x)\nevent.end()\n"));
        h.run();
        EXPECT_EQ(h.output(), "Invalid argument to date encode kept\n") << args;
    }
}

TEST(TimeClocks, TickCountsFiveMicrosecondUnitsFromStartUp)
{
    ScriptHarness h;
    // Start-up takes its time after the families are registered: the counter follows it.
    h.state().start_time = std::chrono::steady_clock::now() - std::chrono::seconds(2);
    const int64_t start_units = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    h.state().start_time.time_since_epoch()).count() / 5000;
    EXPECT_EQ(command_value(h, "time.tick.getlastreset()"), static_cast<int32_t>(start_units));
    const int64_t first = command_value(h, "time.tick.get()");
    const int64_t limit = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now() - h.state().start_time).count() / 5000;
    EXPECT_GE(first, 400000);
    EXPECT_LE(first, limit);

    EXPECT_EQ(h.engine().split_command(compiled("time.tick.reset()")), "");
    const int64_t after = command_value(h, "time.tick.get()");
    EXPECT_GE(after, 0);
    EXPECT_LT(after, first);
    EXPECT_NE(command_value(h, "time.tick.getlastreset()"), static_cast<int32_t>(start_units));
    // Another engine keeps its own reference.
    ScriptHarness other;
    other.state().start_time = h.state().start_time;
    EXPECT_EQ(command_value(other, "time.tick.getlastreset()"), static_cast<int32_t>(start_units));
}

TEST(TimeClocks, ChronoReadsTheUpTimeAndKeepsItsMark)
{
    ScriptHarness h;
    const int64_t before = boot_ms_now();
    const int64_t get = command_value(h, "time.chrono.get()");
    const int64_t early = command_value(h, "time.chrono.stop()"); // the mark is still 0
    EXPECT_EQ(h.engine().split_command(compiled("time.chrono.start()")), "");
    const int64_t one = command_value(h, "time.chrono.stop()");
    const int64_t two = command_value(h, "time.chrono.stop()");
    const int64_t after = boot_ms_now();
    EXPECT_LE(before, get);
    EXPECT_LE(get, early);
    EXPECT_LE(early, after);
    EXPECT_LE(0, one);
    EXPECT_LE(one, two);
    EXPECT_LE(two, after - before);
}

TEST(TimeLocal, FieldsDescribeOneMomentOfTheLocalClock)
{
    ScopedTz tz(std::string("XYZ-5"));
    ScriptHarness h;
    ASSERT_TRUE(h.load("event.initialize()\n&d1 = time.date()\n&y = time.year()\n&m = time.month()\n"
                       "&d = time.day()\n&w = time.dayofweek()\n&hh = time.hour()\n&d2 = time.date()\n"
                       "&enc = time.datetonumber(&y, &m, &d)\nevent.end()\n"));
    // A midnight between the two day numbers is seen and read again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t shifted = std::time(nullptr) + 5 * 3600; // the zone is five hours east of UTC
        h.run();
        if (h.var("d1") != h.var("d2"))
            continue;
        const int32_t date = std::stoi(h.var("d1"));
        EXPECT_EQ(h.var("enc"), h.var("d1"));
        EXPECT_EQ(std::stoi(h.var("w")), (date - 1) % 7 + 1); // day 1 was a Sunday
        std::tm utc{};
        ::gmtime_r(&shifted, &utc);
        EXPECT_EQ(std::stoi(h.var("y")), utc.tm_year + 1900);
        const int hour = std::stoi(h.var("hh"));
        EXPECT_TRUE(hour == utc.tm_hour || hour == (utc.tm_hour + 1) % 24) << hour << " " << utc.tm_hour;
        return;
    }
    FAIL() << "the date changed under every attempt";
}

TEST(TimeZone, ShortTzFormElseTheCLibraryZone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"EST5", "18000 0"}, {"EST5EDT", "18000 1"}, {"EST+5EDT", "18000 1"}, {"CET-1", "-3600 0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "-3600 1"}, {"UTC0", "0 0"},
        // Minutes do not count, but do not hide the daylight letters either.
        {"NST3:30NDT", "10800 1"}, {"EST5ED", "18000 0"},
        // Not the short form: the C library decides ("abc" is UTC there).
        {"abc", "0 0"}, {"<+0330>-3:30", "-12600 0"}, {"<CET>-1<CEST>,M3.5.0,M10.5.0/3", "-3600 1"},
        {"<AEST>-10<AEDT>,M10.1.0,M4.1.0/3", "-36000 1"}, // daylight time across the turn of the year
    };
    for (const auto& [tz, expected] : cases) {
        ScopedTz scoped{std::string(tz)};
        ScriptHarness h;
        EXPECT_EQ(run_body(h, "system.message(time.zone() \" \" time.daylight())"), std::string(expected) + "\n") << tz;
    }
}
