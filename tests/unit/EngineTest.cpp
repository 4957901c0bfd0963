// The execution engine: events, the pending queue, groups, dispatch and error reports.
#include "core/Engine.h"
#include "tests/support/Notation.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

using namespace ruk;
using ruk::test::compiled;
using ruk::test::ScriptHarness;

namespace {

// Loads compiled lines written in the test notation (one per line).
void load(ScriptHarness& h, std::string_view lines)
{
    h.load_compiled(compiled(lines));
}

} // namespace

TEST(Engine, GroupSuffixSubstringAndRepeatedEvents)
{
    ScriptHarness h;
    load(h, "event.mouse:click:menu()\n"
            "system.message(menu)\n"
            "event.end()\n"
            "event.mouse:click()\n"
            "system.message(plain)\n"
            "event.end()\n"
            "event.mouse:click()\n"
            "system.message(second)\n"
            "event.end()\n");
    Engine& e = h.engine();
    e.set_group_name(3, std::string("menu"));
    EXPECT_TRUE(e.run_event("mouse:click", false, 3, true));
    EXPECT_EQ(h.output(), "menu\n"); // the plain name is not tried
    h.clear_output();
    EXPECT_TRUE(e.run_event("mouse:click", false, 3, false));
    EXPECT_EQ(h.output(), "plain\nsecond\n");
    h.clear_output();
    EXPECT_TRUE(e.run_event("click")); // passes the substring test, runs nothing
    EXPECT_FALSE(e.run_event("keyboard:down"));
    EXPECT_EQ(h.output(), "");
    EXPECT_EQ(e.pc(), -1);
    EXPECT_EQ(e.event_name(), "");
}

TEST(Engine, QueueWhileRunningAndLoadRestarts)
{
    ScriptHarness h;
    load(h, "event.a()\n"
            "&n=s({&n}+1)\n"
            "event.end()\n"
            "event.load()\n"
            "&l=s({&l}+1)\n"
            "event.end()\n");
    Engine& e = h.engine();
    e.set_pc(0); // pretend an event is running
    e.set_event_name("other");
    EXPECT_FALSE(e.run_event("a"));
    EXPECT_FALSE(e.run_event("a"));
    EXPECT_FALSE(e.run_event("a")); // a third is dropped
    EXPECT_EQ(e.pending().size(), 2u);
    for (int i = 0; i < 300; ++i)
        e.queue_event("x" + std::to_string(i), 0, -1);
    EXPECT_EQ(e.pending().size(), MaxPendingEvents);
    e.set_pc(-1);
    e.set_event_name("");
    while (e.run_pending()) {
    }
    EXPECT_EQ(h.var("n"), "2");
    EXPECT_EQ(e.pending().size(), MaxPendingEvents - 2); // unknown events stay queued

    // "load" may start itself while it runs; any other event may not.
    e.set_event_name("load");
    e.set_pc(4);
    EXPECT_TRUE(e.run_event("load", true));
    EXPECT_EQ(h.var("l"), "1");
    e.set_event_name("a");
    e.set_pc(1);
    EXPECT_FALSE(e.run_event("a", true));
}

TEST(Engine, AssignmentsGroupsAndCoreWords)
{
    ScriptHarness h;
    load(h, "event.initialize()\n"
            "&a=s(2+3)\n"
            "&b=s(a b)\n"
            "&c=?(1,yes,no)\n"
            "&d=?(0,yes,no)\n"
            "&e=?(x,,)\n"
            "&i=s(2)\n"
            "&arr[{&i}]=s(at{&i})\n"
            "&f=s({s({&a}*2)}!)\n"
            "&keep=s(old)\n"
            "&keep=var.free(nothing)\n"
            "event.end()\n");
    h.run();
    EXPECT_EQ(h.var("a"), "5");
    EXPECT_EQ(h.var("b"), "a b");
    EXPECT_EQ(h.var("c"), "yes");
    EXPECT_EQ(h.var("d"), "no");
    EXPECT_EQ(h.var("e"), "x");
    EXPECT_EQ(h.var("arr[2]"), "at2");
    EXPECT_EQ(h.var("f"), "10!");
    EXPECT_EQ(h.var("keep"), "old"); // a command that returns nothing assigns nothing
    EXPECT_TRUE(h.errors().empty());
}

TEST(Engine, ErrorTextAndErrorEvent)
{
    ScriptHarness h;
    load(h, "event.initialize()\n"
            "nosuch.thing(1,2)\n"
            "system.message(after)\n"
            "event.end()\n"
            "event.error()\n"
            "system.message(in error)\n"
            "event.end()\n");
    h.run();
    // The error event interrupts: the failing event ends after its line.
    EXPECT_EQ(h.output(), "in error\n");
    auto fields = ruk::test::error_fields(h.engine().last_error());
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[0], "event.initialize");
    EXPECT_EQ(fields[1], "1");
    EXPECT_EQ(fields[2], MsgUnknown);
    EXPECT_EQ(fields[3], "nosuch.thing(1,2)");
    EXPECT_EQ(fields[4], "nosuch.thing(1.2)");
    EXPECT_TRUE(h.engine().last_error().ends_with(ErrorFieldEnd));
    // The one line --verbose writes for people.
    EXPECT_EQ(Engine::readable_error(h.engine().last_error()),
              std::string("event.initialize, code line 1: ") + MsgUnknown + ": nosuch.thing(1,2)");
}

TEST(Engine, ErrorsWithoutErrorEventContinueAndInitializeIsSilent)
{
    ScriptHarness h;
    load(h, "event._initialize()\n"
            "nosuch()\n"
            "event.end()\n"
            "event.initialize()\n"
            "f(\n"
            "system.message(went on)\n"
            "event.end()\n");
    h.run("_initialize");
    EXPECT_TRUE(h.errors().empty());
    h.run("initialize");
    EXPECT_EQ(h.output(), "went on\n");
    ASSERT_EQ(h.errors().size(), 2u);
    EXPECT_EQ(h.errors()[0], MsgSyntax);
    EXPECT_EQ(h.errors()[1], MsgUnknown);
}

TEST(Engine, RunningOffTheEndFinishesSilently)
{
    ScriptHarness h;
    load(h, "event.initialize()\n"
            "&x=s(1)\n");
    h.run();
    EXPECT_EQ(h.var("x"), "1");
    EXPECT_TRUE(h.errors().empty());
    EXPECT_EQ(h.engine().pc(), -1);
    // It can run again: the finished event does not count as running.
    EXPECT_TRUE(h.engine().run_event("initialize"));
}

TEST(Engine, MalformedLinesNeverOverrun)
{
    ScriptHarness h;
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += compiled("{s(");
    deep += "1";
    for (int i = 0; i < 20000; ++i)
        deep += compiled(")}");
    h.load_compiled(compiled("event.initialize()\n")
                    + compiled("&a=s(") + deep + compiled(")\n")
                    + compiled("&b=s({{{x)\n")      // groups never closed
                    + compiled("&c=s(}}1)\n")       // closed, never opened
                    + "\x8F\n\x90\x8E\n"            // lone token bytes
                    + compiled("&d=s(") + std::string(600000, 'q') + compiled(")\n")
                    + compiled("event.end()\n"));
    h.run();
    EXPECT_EQ(h.var("a"), "1");
    EXPECT_EQ(h.var("c"), compiled("}}1"));
    EXPECT_EQ(h.var("d").size(), 600000u);
}

TEST(Engine, AbortRequestEndsEveryEntryOfTheRunningEvent)
{
    ScriptHarness h;
    h.engine().register_family("stop", [](Engine& e) -> Result {
        e.request_abort();
        return std::nullopt;
    });
    load(h, "event.initialize()\n"
            "stop()\n"
            "&n=s(1)\n"
            "event.end()\n"
            "event.initialize()\n"
            "&n=s(2)\n"
            "event.end()\n");
    h.run();
    EXPECT_EQ(h.var("n"), "<none>");
    // A request made while nothing runs does not stop the next event.
    h.engine().request_abort();
    load(h, "event.again()\n&m=s(1)\n");
    h.run("again");
    EXPECT_EQ(h.var("m"), "1");
}

TEST(Engine, ExceptionsEndTheRunningCodeThenRaiseTheExceptionEvent)
{
    ScriptHarness h;
    h.engine().register_family("boom", [](Engine& e) -> Result {
        e.raise_exception("Invalid argument to date encode");
        return std::nullopt;
    });
    load(h, "event.initialize()\n"
            "f()\n"
            "&after=s(no)\n"
            "event.end()\n"
            "function.f()\n"
            "boom()\n"
            "&inside=s(no)\n"
            "return()\n"
            "event.exception()\n"
            "&seen=s({system.lasterror()})\n");
    h.run();
    EXPECT_EQ(h.var("after"), "<none>");
    EXPECT_EQ(h.var("inside"), "<none>");
    EXPECT_EQ(h.var("seen"), "Invalid argument to date encode");
    EXPECT_EQ(h.host().terminations(), 0);

    // Without an "exception" event the application is asked to end.
    ScriptHarness bare;
    bare.engine().register_family("boom", [](Engine& e) -> Result {
        e.raise_exception("broken");
        return std::nullopt;
    });
    bare.load_compiled(compiled("event.initialize()\nboom()\n"));
    bare.run();
    EXPECT_EQ(bare.host().terminations(), 1);
    EXPECT_EQ(bare.engine().last_error(), "broken");
    EXPECT_EQ(Engine::readable_error(bare.engine().last_error()), "broken");
}

TEST(Engine, AFailedAllocationBecomesTheExceptionEventAndTheEngineGoesOn)
{
    ScriptHarness h;
    h.engine().register_family("hungry", [](Engine&) -> Result { throw std::bad_alloc(); });
    load(h, "event.initialize()\n"
            "f()\n"
            "&after=s(no)\n"
            "event.end()\n"
            "function.f()\n"
            "hungry()\n"
            "return()\n"
            "event.exception()\n"
            "&seen=s({system.lasterror()})\n"
            "event.end()\n"
            "event.later()\n"
            "&later=s(ran)\n"
            "event.end()\n");
    h.run();
    EXPECT_EQ(h.var("after"), "<none>");
    EXPECT_EQ(h.var("seen"), "Out of memory");
    EXPECT_EQ(h.host().terminations(), 0);
    h.run("later");
    EXPECT_EQ(h.var("later"), "ran");
}

TEST(Engine, TextsStopAtTheirCeilingWithAScriptError)
{
    ScriptHarness h;
    // Doubles a text until it would pass the ceiling, and then some.
    ASSERT_TRUE(h.load("event.initialize()\n"
                       "    &t = \"0123456789abcdef\"\n"
                       "    for (&i, 1, 40)\n"
                       "        &t = &t &t\n"
                       "    for.next()\n"
                       "    &n = str.len(&t)\n"
                       "event.end()\n")) << (h.compile_errors().empty() ? "" : h.compile_errors()[0]);
    h.run();
    ASSERT_FALSE(h.errors().empty());
    EXPECT_EQ(h.errors()[0], MsgTextTooLong);
    const size_t n = std::stoul(h.var("n"));
    EXPECT_GE(n, MaxTextLength / 2);
    EXPECT_LE(n, MaxTextLength);
}
