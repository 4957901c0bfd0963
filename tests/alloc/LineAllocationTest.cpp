// Running decoded lines allocates nothing per line once the engine's buffers have grown.
//
// This program replaces the global operator new to count allocations, which
// is why it is not part of the unit test program.
#include "core/Engine.h"
#include "core/Struct.h"
#include "core/Var.h"
#include "tests/support/Notation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>

namespace {

std::atomic<long> g_allocations{0};

} // namespace

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace ruk;
using ruk::test::compiled;

namespace {

// Allocations made while the event "initialize" of the code runs, in a fresh
// engine whose code and families are set up beforehand.
long allocations_of_run(const std::string& code, bool decode)
{
    std::ostringstream out;
    HeadlessHost host(out);
    Engine engine(&host);
    engine.set_decoding(decode);
    register_core_words(engine);
    register_control_flow(engine);
    register_var_family(engine);
    register_str_family(engine);
    engine.code().load_text(compiled(code));
    const long before = g_allocations.load();
    engine.run_event("initialize");
    const long made = g_allocations.load() - before;
    EXPECT_TRUE(engine.last_error().empty()) << engine.last_error();
    return made;
}

// The code of `body` looped `rounds` times inside the event.
std::string loop(const std::string& setup, int rounds, const std::string& body, const std::string& functions = "")
{
    return "event.initialize()\n" + setup + "&i=s(0)\nwhile({~{&i}\2" + std::to_string(rounds) + "})\n" + body
        + "&i=s({&i}+1)\nwhile.end()\nevent.end()\n" + functions;
}

// Ten times the rounds must cost not one allocation more: nothing is
// allocated per executed line.
void expect_no_growth(const std::string& setup, const std::string& body, const std::string& functions = "")
{
    for (bool decode : {true, false}) {
        const long few = allocations_of_run(loop(setup, 50, body, functions), decode);
        const long many = allocations_of_run(loop(setup, 500, body, functions), decode);
        EXPECT_EQ(many, few) << (decode ? "decoded" : "as text") << ": " << body;
    }
}

} // namespace

TEST(LineAllocations, WhileLoopCountingUp)
{
    expect_no_growth("", "");
}

TEST(LineAllocations, TextFunctionsConditionsAndCounters)
{
    expect_no_growth("&t=s(hello world)\n&n=s(0)\n",
                     "&s=s({str.upper({str.sub({&t},2,3)})})\n"
                     "if({~{&s}\4LLO})\nvar.inc(n)\nif.end()\n"
                     "var.inc(k)\n");
}

TEST(LineAllocations, FunctionCallsWithParameters)
{
    // The call stands in a group, in a line longer than a short text's
    // inline room, so that the saved line really needs a buffer.
    expect_no_growth("&r=s(0)\n", "&r=s({add({&i},2)}+0+0+0+0+0+0+0+0+0+0)\nadd2(1,{&i})\n",
                     "function.add(a,b)\nreturn({&a}+{&b})\nfunction.end()\n"
                     "function.add2(c,d)\n&e=s({&c}{&d})\nfunction.end()\n");
}
