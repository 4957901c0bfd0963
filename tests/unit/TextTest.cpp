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
    // Digits are written two at a time: odd and even lengths, pairs with a zero.
    for (int64_t v : {int64_t(7), int64_t(10), int64_t(99), int64_t(100), int64_t(1005), int64_t(-90807), INT64_MAX})
        EXPECT_EQ(int_to_text(v), std::to_string(v)) << v;
    EXPECT_EQ(int_to_text(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(flag_to_text(true), "1");
    EXPECT_EQ(show_tokens(std::string("a\x8E" "b\x8F" "c\x8E\x0E" "d\x0F\x90", 10)), "a.b(c.[d])");
}

TEST(TextHelpers, TrimmingTakesEveryControlByteAndBlankAtTheEnds)
{
    EXPECT_EQ(trim_blanks(" \t\r\n a b \x01\x20"), "a b");
    EXPECT_EQ(trim_blanks("\x7F" "x\xA0"), "\x7F" "x\xA0"); // DEL and bytes above 0x7F stay
    EXPECT_EQ(trim_blanks("   "), "");
    EXPECT_EQ(trim_blanks(""), "");
}

TEST(TextHelpers, CaseIsIgnoredForAsciiLettersOnly)
{
    EXPECT_TRUE(equal_ignoring_case("Content-Type", "content-TYPE"));
    EXPECT_FALSE(equal_ignoring_case("abc", "abcd"));
    EXPECT_FALSE(equal_ignoring_case("\xC4", "\xE4")); // no folding beyond ASCII
    EXPECT_FALSE(equal_ignoring_case("[", "{"));        // 0x5B and 0x7B differ by the case bit only
    EXPECT_LT(compare_ignoring_case("apple", "Banana"), 0);
    EXPECT_GT(compare_ignoring_case("b", "A"), 0);
    EXPECT_LT(compare_ignoring_case("ab", "ABC"), 0);
    EXPECT_EQ(compare_ignoring_case("MiXeD", "mixed"), 0);
    EXPECT_GT(compare_ignoring_case("\xE9", "z"), 0); // high bytes sort after letters, unsigned
    EXPECT_TRUE(ends_with_ignoring_case("Main.RKS", ".rks"));
    EXPECT_FALSE(ends_with_ignoring_case("ks", ".rks"));
}

TEST(TextHelpers, PiecesKeepEmptiesWordsDoNot)
{
    using V = std::vector<std::string_view>;
    EXPECT_EQ(split_pieces("", ','), V{""});
    EXPECT_EQ(split_pieces("a,,b,", ','), (V{"a", "", "b", ""}));
    EXPECT_EQ(split_words("", " "), V{});
    EXPECT_EQ(split_words("  36 35 98:0  / ", " "), (V{"36", "35", "98:0", "/"}));
    EXPECT_EQ(split_words("\r\nA: 1\r\n\r\nB: 2", "\r\n"), (V{"A: 1", "B: 2"}));
    EXPECT_EQ(split_words("\\\\HKCU\\\\Software\\", "\\"), (V{"HKCU", "Software"}));
}
