// The engine, rukc run and the test harness offer exactly the same command families.
#include "tests/desktop/EngineProcess.h"
#include "tests/support/ScriptHarness.h"

#include "host/Modules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace ruk::test {
namespace {

std::string harness_words()
{
    ScriptHarness harness;
    std::string text;
    for (const std::string& word : registered_words(harness.engine()))
        text += word + "\n";
    return text;
}

std::string rukc_words(const TempRoot& root)
{
    const std::string command = "RUK_REGISTRY=" + root.path() + "/rukc.sqlite " + built_program("rukc") + " run --families";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        ::pclose(pipe);
    }
    return text;
}

TEST(FamilyList, EngineRukcRunAndHarnessRegisterTheSameWords)
{
    TempRoot root;
    EngineProcess engine({"--headless", "--families"}, root.path());
    ASSERT_EQ(engine.wait(20), 0) << engine.err();
    const std::string expected = harness_words();
    // Every family of the table is there, the language's and the desktop's.
    for (const char* word : {"if", "var", "num", "str", "time", "disk", "system", "reg", "app", "application",
                             "extern", "window", "rs232", "robot", "inet", "http", "screen", "mouse", "menu", "sci", "ruk", "draw", "anim",
                             "keyboard", "gesture", "sound", "anim", "browser"})
        EXPECT_NE(expected.find(std::string(word) + "\n"), std::string::npos) << word;
    EXPECT_EQ(engine.out(), expected);
    EXPECT_EQ(rukc_words(root), expected);
}

} // namespace
} // namespace ruk::test
