// Loading code files: line ends, assignment targets and declarations.
#include "core/CodeStore.h"
#include "tests/support/Notation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace ruk;
using ruk::test::compiled;

TEST(CodeStore, LineEndsAndBlankLinesGiveTheSameLines)
{
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        CodeStore store;
        std::string text = compiled("a()") + eol + eol + "   " + eol + "  " + compiled("b() ") + eol;
        store.load_text(text);
        ASSERT_EQ(store.line_count(), 2) << "eol " << int(eol[0]);
        EXPECT_EQ(store.line(0).command, compiled("a()"));
        EXPECT_EQ(store.line(1).command, compiled("b() ")); // trailing blanks stay
    }
}

TEST(CodeStore, AssignmentTargetsAndDeclarations)
{
    CodeStore store;
    store.load_text(compiled("&x=s(1)\n"
                             "s(1)\n"
                             "event.mouse:click()\n"
                             "event.mouse:click()\n"
                             "event.end()\n"
                             "function.exit()\n"
                             "&y=function.f(a,b)\n"
                             "function.g()\n"));
    EXPECT_EQ(store.line(0).target, "x");
    EXPECT_EQ(store.line(0).command, compiled("s(1)"));
    EXPECT_EQ(store.line(1).target, "");
    ASSERT_EQ(store.events().size(), 2u);
    EXPECT_EQ(store.event_list(), "mouse:click--mouse:click--");
    ASSERT_NE(store.event_lines("mouse:click"), nullptr);
    EXPECT_EQ(store.event_lines("mouse:click")->size(), 2u);
    EXPECT_EQ(store.event_lines("click"), nullptr);
    ASSERT_EQ(store.functions().size(), 2u);
    EXPECT_EQ(store.function_line("f"), 6); // declared behind an assignment prefix
    EXPECT_EQ(store.function_line("g"), 7);
    EXPECT_EQ(store.function_line("exit"), -1);
}

TEST(CodeStore, ComplementedFileAndMissingFile)
{
    std::string path = ::testing::TempDir() + "/codestore_test.qexe";
    std::string text = compiled("event.initialize()\r\ns(1)\r\n");
    {
        std::ofstream out(path, std::ios::binary);
        for (char c : text)
            out.put(static_cast<char>(~static_cast<unsigned char>(c)));
    }
    CodeStore store;
    ASSERT_TRUE(store.load_code(path));
    EXPECT_EQ(store.line_count(), 2);
    EXPECT_EQ(store.events().at(0).name, "initialize");
    std::remove(path.c_str());
    EXPECT_FALSE(store.load_code(path));
    EXPECT_EQ(store.line_count(), 0);
}

TEST(CodeStore, LargeTablesGrow)
{
    std::string text;
    for (int i = 0; i < 7000; ++i)
        text += compiled("event.e" + std::to_string(i) + "()\nfunction.f" + std::to_string(i) + "()\n");
    text += std::string(600000, 'q') + "\n";
    CodeStore store;
    store.load_text(text);
    EXPECT_EQ(store.events().size(), 7000u);
    EXPECT_EQ(store.functions().size(), 7000u);
    EXPECT_EQ(store.function_line("f6999"), 13999);
    EXPECT_EQ(store.line(14000).command.size(), 600000u);
}
