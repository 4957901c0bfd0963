// Splitting command texts into words and parameters.
#include "core/Command.h"
#include "tests/support/Notation.h"

#include <gtest/gtest.h>

using namespace ruk;
using ruk::test::compiled;

TEST(Command, WordsAndParameters)
{
    Command c;
    ASSERT_TRUE(c.split(compiled("w0.w1.w2(p1,,p3)")));
    EXPECT_EQ(c.word(0), "w0");
    EXPECT_EQ(c.word(1), "w1");
    EXPECT_EQ(c.word(2), "w2");
    EXPECT_EQ(c.word(3), "");
    EXPECT_EQ(c.param(1), "p1");
    EXPECT_EQ(c.param(2), "");
    EXPECT_EQ(c.param(3), "p3");
    EXPECT_EQ(c.param(4), "");
    EXPECT_EQ(c.describe(), "w0.w1.w2(p1)");

    // A fresh split empties what an earlier, longer command left behind.
    ASSERT_TRUE(c.split(compiled("x()")));
    EXPECT_EQ(c.word(1), "");
    for (int n = 1; n <= 13; ++n)
        EXPECT_EQ(c.param(n), "") << n;
}

TEST(Command, NumericParenthesesStayInParameters)
{
    Command c;
    ASSERT_TRUE(c.split(compiled("s((1+2)*3)")));
    EXPECT_EQ(c.param(1), compiled("(1+2)*3"));
    EXPECT_EQ(c.param_int(1, 0), 9);
}

TEST(Command, LimitsOfWordsAndParameters)
{
    Command c;
    ASSERT_TRUE(c.split(compiled("a.b.c.d.e.f.g(1)")));
    EXPECT_EQ(c.word(5), "f");
    EXPECT_EQ(c.param(1), "1"); // the seventh word is skipped, not read as parameters

    std::string long_word(100, 'x');
    ASSERT_TRUE(c.split(compiled(long_word + "(1)")));
    EXPECT_EQ(c.word(0).size(), Command::WordCapacity);

    // Fourteen parameters: the first thirteen run, the split reports a fault.
    EXPECT_FALSE(c.split(compiled("f(1,2,3,4,5,6,7,8,9,10,11,12,13,14)")));
    EXPECT_EQ(c.param(13), "13");

    // Text ending right after the opening byte or a separator.
    EXPECT_FALSE(c.split(compiled("f(")));
    EXPECT_FALSE(c.split(compiled("f(a,")));
    EXPECT_EQ(c.param(1), "a");
    // No parameter list at all: words only, nothing read past the end.
    EXPECT_TRUE(c.split("bare"));
    EXPECT_EQ(c.word(0), "bare");
    EXPECT_TRUE(c.split(""));
}

TEST(Command, LongParametersGrow)
{
    Command c;
    std::string big(600000, 'z');
    ASSERT_TRUE(c.split(compiled("s(") + big + compiled(")")));
    EXPECT_EQ(c.param(1).size(), big.size());
}

TEST(Command, SharedWordsAndChangesToThem)
{
    // Words kept elsewhere read as the command's own; changing one of them
    // copies the rest first, and a later split replaces them all.
    const std::string words[] = {"str", "sub"};
    Command c;
    ASSERT_TRUE(c.split(compiled("old.one.two.three(a,b)")));
    c.use_words(words, 2);
    EXPECT_EQ(c.word(1), "sub");
    EXPECT_EQ(c.word(2), "");
    EXPECT_EQ(c.describe(), "str.sub(a,b)");

    Command copy = c;
    copy.set_word(2, "x");
    EXPECT_EQ(copy.describe(), "str.sub.x(a,b)");
    EXPECT_EQ(copy.word(3), ""); // nothing left over from the old split
    EXPECT_EQ(words[1], "sub");
    EXPECT_EQ(c.describe(), "str.sub(a,b)");

    ASSERT_TRUE(c.split(compiled("w.v(p)")));
    EXPECT_EQ(c.describe(), "w.v(p)");
}
