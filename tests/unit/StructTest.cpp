// Control flow at the compiled-line level: statement calls, stack limits and stopping from outside.
#include "core/Struct.h"
#include "core/Engine.h"
#include "tests/support/Notation.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace ruk;
using ruk::test::compiled;
using ruk::test::ScriptHarness;

TEST(Struct, StatementCallDropsItsValueButGroupCallAssigns)
{
    ScriptHarness h;
    h.load_compiled(compiled("event.initialize()\n"
                             "&x=s(old)\n"
                             "&x=f(2)\n"        // the call is the line's own command
                             "&y=s({f(3)})\n"  // the call stands in a group
                             "event.end()\n"
                             "function.f(p)\n"
                             "return({&p}+3)\n"));
    h.run();
    EXPECT_EQ(h.var("x"), "old");
    EXPECT_EQ(h.var("y"), "6");
    EXPECT_TRUE(h.errors().empty());
    EXPECT_TRUE(h.engine().flow().calls.empty());
}

TEST(Struct, MisplacedEndsAndUnmatchedScansReport)
{
    ScriptHarness h;
    h.load_compiled(compiled("event.a()\nwhile.end()\nfor.next()\nreturn(1)\nfunction.x()\nevent.end()\n"
                             "event.b()\nwhile(0)\ns(1)\n"));
    h.run("a");
    EXPECT_EQ(h.errors(), (std::vector<std::string>{MsgWhileEnd, MsgForNext, MsgMisplacedEnd, MsgIncomplete}));
    h.run("b");
    EXPECT_EQ(h.errors().back(), MsgWhileEnd);
    EXPECT_EQ(h.engine().pc(), -1);
}

TEST(Struct, ScansWithoutAnEndStopBeforeTheLastLine)
{
    ScriptHarness h;
    // The false "if" finds no end: its scan stops on the second-to-last
    // line, so the last line still runs.
    h.load_compiled(compiled("event.initialize()\nif(0)\n&skipped=s(1)\n&last=s(ran)\n"));
    h.run();
    EXPECT_EQ(h.var("skipped"), "<none>");
    EXPECT_EQ(h.var("last"), "ran");
    // A "while.end" that is the very last line is out of the scan's reach.
    ScriptHarness w;
    w.load_compiled(compiled("event.initialize()\nwhile(0)\n&inside=s(1)\nwhile.end()\n"));
    w.run();
    ASSERT_FALSE(w.errors().empty());
    EXPECT_EQ(w.errors().front(), MsgWhileEnd);
}

TEST(Struct, TooManyLoopsNeverUseAnEmptySlot)
{
    ScriptHarness h;
    // Each call opens a while loop and recurses: the 3000th loop is refused
    // and skipped, and every while.end still closes the loop it belongs to.
    h.load_compiled(compiled("event.initialize()\n"
                             "f(0)\n"
                             "event.end()\n"
                             "function.f(n)\n"
                             "while(1)\n"
                             "&deepest=s({&n})\n"
                             "if({~{&n}\x02" "3100})\n"
                             "f({s({&n}+1)})\n"
                             "if.end()\n"
                             "while.exit()\n"
                             "while.end()\n"
                             "return()\n"));
    h.run();
    ASSERT_FALSE(h.errors().empty());
    EXPECT_EQ(h.errors().front(), MsgTooManyWhiles);
    EXPECT_TRUE(h.engine().flow().whiles.empty());
    EXPECT_TRUE(h.engine().flow().calls.empty());
}

TEST(Struct, ForWithARefusedVariableSkipsTheLoop)
{
    ScriptHarness h;
    h.load_compiled(compiled("event.initialize()\n"
                             "for(v[x],0,3)\n"
                             "&ran=s(yes)\n"
                             "for.next()\n"
                             "&after=s(1)\n"
                             "event.end()\n"));
    h.run();
    EXPECT_EQ(h.var("ran"), "<none>");
    EXPECT_EQ(h.var("after"), "1");
    EXPECT_TRUE(h.engine().flow().fors.empty());
}

TEST(Struct, ExternalCallRunsToItsEnd)
{
    ScriptHarness h;
    h.load_compiled(compiled("function.cb(a,,b)\n"
                             "&got=s({&a}/{&b})\n"
                             "return(ignored)\n"
                             "&never=s(1)\n"));
    EXPECT_TRUE(call_function_external(h.engine(), "cb", {"x", "y", "z"}));
    EXPECT_EQ(h.var("got"), "x/y"); // empty names take no value
    EXPECT_EQ(h.var("never"), "<none>");
    EXPECT_EQ(h.engine().pc(), -1);
    EXPECT_FALSE(call_function_external(h.engine(), "_cb", {}));

    // A function that ends the event ends the event that called it.
    h.load_compiled(compiled("function.stop()\nevent.end()\n"));
    h.engine().set_pc(0);
    EXPECT_TRUE(call_function_external(h.engine(), "stop", {}));
    EXPECT_EQ(h.engine().pc(), -1);
}

TEST(Struct, ReturnClosesOnlyTheLoopsOfItsOwnFunction)
{
    ScriptHarness h;
    h.load_compiled(compiled("function.cb()\n"
                             "while(1)\n"
                             "for(k,0,5)\n"
                             "return(early)\n"
                             "for.next()\n"
                             "while.end()\n"));
    // Loops the caller had open stay as they were.
    FlowState& flow = h.engine().flow();
    flow.whiles.push_back(7);
    flow.fors.push_back({3, 10, 1, 0, 0});
    EXPECT_TRUE(call_function_external(h.engine(), "cb", {}));
    ASSERT_EQ(flow.whiles.size(), 1u);
    EXPECT_EQ(flow.whiles[0], 7);
    ASSERT_EQ(flow.fors.size(), 1u);
    EXPECT_EQ(flow.fors[0].line, 3);
    EXPECT_TRUE(flow.calls.empty());
}

TEST(Struct, RunawayLoopStopsOnRequestFromAnotherThread)
{
    ScriptHarness h;
    h.load_compiled(compiled("event.initialize()\n"
                             "while(1)\n"
                             "&n=s({&n}+1)\n"
                             "while.end()\n"
                             "event.end()\n"));
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        h.engine().request_abort();
    });
    h.run();
    stopper.join();
    EXPECT_EQ(h.engine().pc(), -1);
    EXPECT_NE(h.var("n"), "<none>");
    // The engine goes on working after the abort.
    h.load_compiled(compiled("event.again()\n&m=s(1)\n"));
    h.run("again");
    EXPECT_EQ(h.var("m"), "1");
}
