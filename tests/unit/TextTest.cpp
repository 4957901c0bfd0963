// Integer expressions and result texts.
#include "core/Text.h"

#include <gtest/gtest.h>

using namespace ruk;

namespace {
std::string p(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c == '(')
            c = tok::Open;
        else if (c == ')')
            c = tok::Close;
    }
    return out;
}
} // namespace

TEST(EvalInt, DefaultsAndMalformedText)
{
    EXPECT_EQ(eval_int("", 5), 5);
    EXPECT_EQ(eval_int("   ", 5), 0);
    EXPECT_EQ(eval_int("12a", 5), 5);
    EXPECT_EQ(eval_int("-", 5), 0);
    EXPECT_EQ(eval_int("1.5", 7), 7);
    EXPECT_EQ(eval_int(p("2)"), 7), 7); // a stray closing parenthesis
    EXPECT_EQ(eval_int(p("(2"), 7), 7); // an unclosed one
}

TEST(EvalInt, PassesAndPrecedence)
{
    EXPECT_EQ(eval_int("2+3*4", 0), 14);
    EXPECT_EQ(eval_int("10-2+3", 0), 11);
    EXPECT_EQ(eval_int("10-2-3", 0), 5);
    EXPECT_EQ(eval_int("8/2*2", 0), 2); // multiplication binds tighter than division
    EXPECT_EQ(eval_int("7/0", 0), 0);
    EXPECT_EQ(eval_int("--5", 0), -5);
    EXPECT_EQ(eval_int("5--3", 0), 8);
    EXPECT_EQ(eval_int("7/2+7/2", 0), 7); // fractions survive between passes
    EXPECT_EQ(eval_int("-7/2", 0), -3);
    EXPECT_EQ(eval_int("1 2", 0), 12);
    EXPECT_EQ(eval_int(p("(1+2)*3"), 0), 9);
    EXPECT_EQ(eval_int(p("((2))3"), 0), 23);
    EXPECT_EQ(eval_int(p("()+4"), 6), 10);      // an empty inner text is the fallback
    EXPECT_EQ(eval_int(p("(x)+4"), 6), 10);     // so is a malformed inner text
}

TEST(EvalInt, SinglePrecisionAndRange)
{
    EXPECT_EQ(eval_int("16777217", 0), 16777216);
    EXPECT_EQ(eval_int("2147483647", 0), 2147483647);
    EXPECT_EQ(eval_int("99999999999", 0), eval_int("99999999999", 0)); // wraps, never traps
    EXPECT_EQ(eval_int("-2147483648", 0), INT32_MIN);
}

TEST(EvalInt, DeepNestingAndLongInputStaySafe)
{
    std::string deep(20000, tok::Open);
    deep += "1";
    deep += std::string(20000, tok::Close);
    EXPECT_EQ(eval_int(deep, -9), -9);
    std::string shallow = std::string(50, tok::Open) + "1" + std::string(50, tok::Close);
    EXPECT_EQ(eval_int(shallow, -9), 1);
    std::string many;
    for (int i = 0; i < 500; ++i)
        many += "1+";
    many += "1";
    EXPECT_EQ(eval_int(many, 0), 501);
}

TEST(IntExpression, Recognition)
{
    EXPECT_TRUE(is_int_expression("2+3"));
    EXPECT_TRUE(is_int_expression(p("(1)")));
    EXPECT_FALSE(is_int_expression("1 2"));
    EXPECT_FALSE(is_int_expression("-"));
    EXPECT_FALSE(is_int_expression(""));
    EXPECT_FALSE(is_int_expression("9a"));
}

TEST(ResultText, Numbers)
{
    EXPECT_EQ(int_to_text(0), "0");
    EXPECT_EQ(int_to_text(-15), "-15");
    EXPECT_EQ(int_to_text(INT32_MIN), "-2147483648");
    EXPECT_EQ(flag_to_text(true), "1");
    EXPECT_EQ(show_tokens(std::string("a\x8E" "b\x8F" "c\x8E\x0E" "d\x0F\x90", 10)), "a.b(c.[d])");
}
