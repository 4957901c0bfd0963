// The time family through scripts: day numbers, the clocks, local fields and the zone rule.
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

// Runs `body` as the initialize event of a fresh harness and returns what it printed.
std::string run_lines(ScriptHarness& h, const std::string& body)
{
    EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n"));
    h.run();
    return h.output();
}

std::string run_lines(const std::string& body)
{
    ScriptHarness h;
    std::string out = run_lines(h, body);
    EXPECT_TRUE(h.errors().empty()) << h.errors().front();
    return out;
}

// Sets TZ for the life of the object (unset when `value` is empty) and puts
// the previous value back afterwards.
class ScopedTz {
public:
    explicit ScopedTz(const std::optional<std::string>& value)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        if (value)
            ::setenv("TZ", value->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ~ScopedTz()
    {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

std::string zone_under(const std::optional<std::string>& tz)
{
    ScopedTz scoped(tz);
    return run_lines("system.message(time.zone() \" \" time.daylight())");
}

int64_t steady_units_now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count() / 5000;
}

int64_t boot_ms_now()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

TEST(TimeDays, AroundTheFirstDaysOf1900)
{
    EXPECT_EQ(run_lines("system.message(time.datetonumber(1899, 12, 30) \" \" time.datetonumber(1900, 1, 1)"
                        " \" \" time.datetonumber(1900, 2, 28) \" \" time.datetonumber(1900, 3, 1)"
                        " \" \" time.datetonumber(1899, 12, 29) \" \" time.datetonumber(1, 1, 1)"
                        " \" \" time.datetonumber(9999, 12, 31))"),
              "0 2 60 61 -1 -693593 2958465\n");
    // Back to dates, before and after day 0.
    EXPECT_EQ(run_lines("system.message(time.numbertoyear(0) \"-\" time.numbertomonth(0) \"-\" time.numbertoday(0))\n"
                        "system.message(time.numbertoyear(-1) \"-\" time.numbertomonth(-1) \"-\" time.numbertoday(-1))\n"
                        "system.message(time.numbertoyear(61) \"-\" time.numbertomonth(61) \"-\" time.numbertoday(61))\n"
                        "system.message(time.numbertoyear(-693593) \"-\" time.numbertomonth(-693593) \"-\" time.numbertoday(-693593))\n"
                        "system.message(time.numbertoyear(-36522) \"-\" time.numbertomonth(-36522) \"-\" time.numbertoday(-36522))"),
              "1899-12-30\n1899-12-29\n1900-3-1\n1-1-1\n1800-1-1\n");
    // Past either end of years 1 to 9999 there is no date.
    EXPECT_EQ(run_lines("system.message(time.numbertoyear(-693594) time.numbertomonth(2958466) time.numbertoday(2958466))"),
              "000\n");
}

TEST(TimeDays, LeapYearsFollowTheCenturyRule)
{
    EXPECT_EQ(run_lines("system.message(s(time.datetonumber(2000, 3, 1) - time.datetonumber(2000, 2, 28))"
                        " \" \" s(time.datetonumber(2100, 3, 1) - time.datetonumber(2100, 2, 28))"
                        " \" \" s(time.datetonumber(2024, 3, 1) - time.datetonumber(2024, 2, 28)))\n"
                        "&n = time.datetonumber(2000, 2, 29)\n"
                        "system.message(&n \" \" time.numbertomonth(&n) \"/\" time.numbertoday(&n))"),
              "2 1 2\n36585 2/29\n");
}

TEST(TimeDays, EveryDayNumberComesBackFromItsDate)
{
    // Steps that land on every month, both sides of day 0 and both ends of the range.
    ScriptHarness h;
    std::string out = run_lines(h, R"(
    &bad = 0
    &count = 0
    &n = -693593
    while (&n < 2958466)
        &back = time.datetonumber(time.numbertoyear(&n), time.numbertomonth(&n), time.numbertoday(&n))
        if (&back <> &n)
            &bad = &bad + 1
        if.end()
        &count = &count + 1
        &n = &n + 997
    while.end()
    system.message(&count " " &bad))");
    EXPECT_EQ(out, "3664 0\n");
    EXPECT_TRUE(h.errors().empty());
}

TEST(TimeDays, ImpossibleDatesRaiseTheExceptionAndReturnNothing)
{
    for (const char* args : {"1900, 2, 29", "2100, 2, 29", "2023, 4, 31", "2023, 13, 1", "2023, 0, 1",
                             "2023, 1, 0", "0, 1, 1", "10000, 1, 1", "", "-5, 1, 1"}) {
        ScriptHarness h;
        ASSERT_TRUE(h.load(std::string(R"(
event.initialize()
    &x = "kept"
    &x = time.datetonumber()") + args + R"()
    system.message("not reached")
event.end()
event.exception()
    system.message("exception " system.lasterror() " " &x)
event.end()
)"));
        h.run();
        EXPECT_EQ(h.output(), "exception Invalid argument to date encode kept\n") << args;
        EXPECT_TRUE(h.errors().empty());
    }
}

TEST(TimeClocks, TickCountsFiveMicrosecondUnitsFromStartUp)
{
    ScriptHarness h;
    // Start-up takes its time after the families are registered: the counter follows it.
    h.state().start_time = std::chrono::steady_clock::now() - std::chrono::seconds(2);
    const int64_t start_units = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    h.state().start_time.time_since_epoch()).count() / 5000;
    // Straight through the dispatcher: script variables keep numbers this large only roughly.
    EXPECT_EQ(h.engine().split_command(compiled("time.tick.getlastreset()")),
              std::to_string(static_cast<int32_t>(start_units)));
    const Result first = h.engine().split_command(compiled("time.tick.get()"));
    const int64_t limit_units = steady_units_now() - start_units;
    ASSERT_TRUE(first);
    EXPECT_GE(std::stoll(*first), 400000);
    EXPECT_LE(std::stoll(*first), limit_units);

    std::string out = run_lines(h, R"(
    &first = time.tick.get()
    &last = time.tick.getlastreset()
    &reset = time.tick.reset()
    &after = time.tick.get()
    &again = time.tick.get()
    &moved = time.tick.getlastreset()
    system.message(?(&after >= 0 && &after < &first && &again >= &after && &moved <> &last, "1", "0") "[" &reset "]"))");
    EXPECT_EQ(out, "1[]\n");
    // Each engine keeps its own reference.
    ScriptHarness other;
    other.state().start_time = h.state().start_time;
    EXPECT_EQ(other.engine().split_command(compiled("time.tick.getlastreset()")),
              std::to_string(static_cast<int32_t>(start_units)));
}

TEST(TimeClocks, ChronoReadsTheUpTimeAndKeepsItsMark)
{
    ScriptHarness h;
    const int64_t before = boot_ms_now();
    run_lines(h, R"(
    &get = time.chrono.get()
    &early = time.chrono.stop()
    time.chrono.start()
    &one = time.chrono.stop()
    &two = time.chrono.stop()
    &startresult = time.chrono.start())");
    const int64_t after = boot_ms_now();
    const int64_t get = std::stoll(h.var("get"));
    const int64_t early = std::stoll(h.var("early"));
    // Before any start the mark is 0: stop reads the up-time itself.
    EXPECT_GE(get, before);
    EXPECT_LE(get, early);
    EXPECT_LE(early, after);
    const int64_t one = std::stoll(h.var("one"));
    EXPECT_GE(one, 0);
    EXPECT_LE(one, std::stoll(h.var("two")));
    EXPECT_LE(std::stoll(h.var("two")), after - before);
    EXPECT_EQ(h.var("startresult"), "");
}

TEST(TimeClocks, UnknownSelectorsAreFunctionCalls)
{
    ScriptHarness h;
    run_lines(h, "time.tick()\ntime.tick.start()\ntime.chrono()\ntime.chrono.reset()\ntime.week()\n"
                 "system.message(\"done\")");
    EXPECT_EQ(h.output(), "done\n");
    ASSERT_EQ(h.errors().size(), 5u);
    for (const auto& error : h.errors())
        EXPECT_EQ(error, MsgUnknown);
}

TEST(TimeLocal, FieldsDescribeOneMomentOfTheLocalClock)
{
    ScopedTz tz(std::string("XYZ-5"));
    ScriptHarness h;
    // Read twice with the day number around it, so a midnight in between is seen and retried.
    ASSERT_TRUE(h.load(R"(
event.initialize()
    &d1 = time.date()
    &y = time.year()
    &m = time.month()
    &d = time.day()
    &w = time.dayofweek()
    &hh = time.hour()
    &mm = time.minute()
    &ss = time.second()
    &ms = time.millisecond()
    &d2 = time.date()
    &enc = time.datetonumber(&y, &m, &d)
event.end()
)"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        h.run();
        if (h.var("d1") != h.var("d2"))
            continue;
        const int32_t date = std::stoi(h.var("d1"));
        EXPECT_EQ(h.var("enc"), h.var("d1"));
        // Day 1 (31 December 1899) was a Sunday.
        EXPECT_EQ(std::stoi(h.var("w")), ((date - 1) % 7 + 7) % 7 + 1);
        // The zone is five hours east of UTC.
        std::time_t shifted = before + 5 * 3600;
        std::tm utc{};
        ::gmtime_r(&shifted, &utc);
        EXPECT_EQ(std::stoi(h.var("y")), utc.tm_year + 1900);
        const int hour = std::stoi(h.var("hh"));
        EXPECT_TRUE(hour == utc.tm_hour || hour == (utc.tm_hour + 1) % 24) << hour << " " << utc.tm_hour;
        EXPECT_GE(std::stoi(h.var("mm")), 0);
        EXPECT_LE(std::stoi(h.var("mm")), 59);
        EXPECT_LE(std::stoi(h.var("ss")), 59);
        EXPECT_GE(std::stoi(h.var("ms")), 0);
        EXPECT_LE(std::stoi(h.var("ms")), 999);
        return;
    }
    FAIL() << "the date changed under every attempt";
}

TEST(TimeZone, ShortTzFormGivesWholeHoursAndDaylightLetters)
{
    EXPECT_EQ(zone_under(std::string("EST5")), "18000 0\n");
    EXPECT_EQ(zone_under(std::string("EST5EDT")), "18000 1\n");
    EXPECT_EQ(zone_under(std::string("EST+5EDT")), "18000 1\n");
    EXPECT_EQ(zone_under(std::string("CET-1")), "-3600 0\n");
    EXPECT_EQ(zone_under(std::string("CET-1CEST,M3.5.0,M10.5.0/3")), "-3600 1\n");
    EXPECT_EQ(zone_under(std::string("UTC0")), "0 0\n");
    // Minutes do not count, but do not hide the daylight letters either.
    EXPECT_EQ(zone_under(std::string("NST3:30NDT")), "10800 1\n");
    // Two letters after the number are not a daylight zone.
    EXPECT_EQ(zone_under(std::string("EST5ED")), "18000 0\n");
}

TEST(TimeZone, OtherwiseTheCLibraryZoneDecides)
{
    // Too short for the short form: the C library takes it as UTC.
    EXPECT_EQ(zone_under(std::string("abc")), "0 0\n");
    EXPECT_EQ(zone_under(std::string("<+0330>-3:30")), "-12600 0\n");
    EXPECT_EQ(zone_under(std::string("<CET>-1<CEST>,M3.5.0,M10.5.0/3")), "-3600 1\n");
    EXPECT_EQ(zone_under(std::string("<-03>3<-02>,M3.2.0,M11.1.0")), "10800 1\n");
    // The southern hemisphere: daylight time around the turn of the year.
    EXPECT_EQ(zone_under(std::string("<AEST>-10<AEDT>,M10.1.0,M4.1.0/3")), "-36000 1\n");
}
