// Measures how fast the engine runs script lines: loops, counted loops and function calls.
#include "core/Engine.h"
#include "core/Language.h"
#include "tests/support/Notation.h"

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

using ruk::test::compiled;

namespace {

struct Case {
    const char* name;
    std::string code;
    double lines;   // lines run by the case
    double calls;   // function calls made by the case
};

double run_case(const Case& c)
{
    std::ostringstream sink;
    ruk::HeadlessHost host(sink);
    ruk::Engine engine(&host);
    ruk::register_language(engine);
    engine.code().load_text(c.code);
    auto start = std::chrono::steady_clock::now();
    engine.run_event("initialize");
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!engine.last_error().empty())
        std::fprintf(stderr, "%s: script error\n", c.name);
    return took.count();
}

} // namespace

int main()
{
    const int n = 1000000;
    const int calls = 100000;
    const std::string less = "\x02";
    Case cases[] = {
        {"while loop, compare and assign",
         compiled("event.initialize()\n&i=s(0)\nwhile({~{&i}") + less + compiled("1000000})\n&i=s({&i}+1)\nwhile.end()\nevent.end()\n"),
         3.0 * n + 2, 0},
        {"for loop",
         compiled("event.initialize()\nfor(i,0,1000000)\n&x=s(1)\nfor.next()\nevent.end()\n"),
         2.0 * n + 1, 0},
        {"function calls with two parameters",
         compiled("event.initialize()\n&i=s(0)\nwhile({~{&i}") + less
             + compiled("100000})\n&r=s({add({&i},2)})\n&i=s({&i}+1)\nwhile.end()\nevent.end()\n"
                        "function.add(a,b)\nreturn({&a}+{&b})\n"),
         5.0 * calls + 2, static_cast<double>(calls)},
    };
    for (const Case& c : cases) {
        double best = 1e9;
        for (int round = 0; round < 3; ++round)
            best = std::min(best, run_case(c));
        std::printf("%-36s %8.3f s  %6.2f M lines/s", c.name, best, c.lines / best / 1e6);
        if (c.calls > 0)
            std::printf("  %8.0f calls/s", c.calls / best);
        std::printf("\n");
    }
    return 0;
}
