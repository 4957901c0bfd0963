// Condition evaluation: integer and text comparisons, connectors, limits and error reports.
#include "core/Condition.h"

#include "core/Engine.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace ruk;

namespace {

const std::string NE = "\x01", LT = "\x02", GT = "\x03", EQ = "\x04", LE = "\x05", GE = "\x06";
const std::string AND = "\x08", OR = "\x09";

// An engine that counts the errors it reports.
struct ConditionFixture : ::testing::Test {
    std::ostringstream boxes;
    HeadlessHost host{boxes};
    Engine engine{&host};
    int errors = 0;
    std::string last;

    void SetUp() override
    {
        engine.set_error_observer([this](const std::string& text) {
            ++errors;
            last = text;
        });
    }
    bool eval(const std::string& text) { return eval_condition(engine, text); }
};

std::string clauses(int count, const std::string& clause, const std::string& connector)
{
    std::string out = clause;
    for (int i = 1; i < count; ++i)
        out += connector + clause;
    return out;
}

} // namespace

TEST_F(ConditionFixture, IntegersCompareByValueTextsIgnoreCase)
{
    EXPECT_TRUE(eval("10" + GT + "9"));
    EXPECT_TRUE(eval("abc" + EQ + "ABC"));
    EXPECT_FALSE(eval("10" + GT + "9a")); // texts: "1" sorts before "9"
    EXPECT_TRUE(eval("10" + LT + "9a"));
    EXPECT_TRUE(eval("2+3" + EQ + "5"));
    EXPECT_FALSE(eval("1 2" + EQ + "12")); // a blank makes it a text
    EXPECT_TRUE(eval("-3" + LT + "2"));
    EXPECT_TRUE(eval("abc" + LT + "abcd")); // a prefix sorts first
    EXPECT_TRUE(eval("" + LT + "a"));       // an empty operand is a text
    EXPECT_TRUE(eval("" + EQ + ""));
    EXPECT_FALSE(eval("" + EQ + "0"));
    EXPECT_TRUE(eval("Zeta" + GT + "alpha"));
    EXPECT_TRUE(eval("a" + LT + "\xE9")); // bytes above 127 sort after ASCII
    EXPECT_TRUE(eval("5" + NE + "6"));
    EXPECT_TRUE(eval("5" + LE + "5"));
    EXPECT_TRUE(eval("5" + GE + "5"));
    EXPECT_FALSE(eval("b" + LE + "A"));
    EXPECT_EQ(errors, 0);
}

TEST_F(ConditionFixture, SingleOperandIsTrueOnlyForOne)
{
    EXPECT_TRUE(eval("1"));
    EXPECT_FALSE(eval("01"));
    EXPECT_FALSE(eval("yes"));
    EXPECT_FALSE(eval("0"));
    EXPECT_EQ(errors, 0);
}

TEST_F(ConditionFixture, ConnectorsCombineLeftToRight)
{
    // (true or false) and true
    EXPECT_TRUE(eval("1" + OR + "0" + AND + "1"));
    // (false and true) or true
    EXPECT_TRUE(eval("0" + AND + "1" + OR + "1"));
    // (true or true) and false: no precedence of "and"
    EXPECT_FALSE(eval("1" + OR + "1" + AND + "0"));
    EXPECT_FALSE(eval("1" + AND + ""));   // a trailing connector leaves an empty clause
    EXPECT_EQ(errors, 0);
}

TEST_F(ConditionFixture, MalformedConditionsReportAndAreFalse)
{
    EXPECT_FALSE(eval(""));
    EXPECT_EQ(errors, 1);
    EXPECT_NE(last.find(MsgBadCondition), std::string::npos);

    EXPECT_FALSE(eval("1" + OR + "1" + EQ + "1" + EQ + "1"));
    EXPECT_EQ(errors, 2);
}

TEST_F(ConditionFixture, LimitsAreFalseWithoutMessage)
{
    EXPECT_TRUE(eval(clauses(24, "1", AND)));
    EXPECT_FALSE(eval(clauses(25, "1", AND)));
    EXPECT_TRUE(eval(std::string(2498, 'a') + NE + ""));             // 2499 bytes
    EXPECT_FALSE(eval(std::string(2499, 'a') + NE + ""));            // 2500 bytes
    EXPECT_TRUE(eval("1" + AND + std::string(2498, 'a') + NE + "")); // each clause counts alone
    EXPECT_EQ(errors, 0);
}

TEST(ConditionQuiet, EvalRules)
{
    EXPECT_EQ(eval_condition_quiet(""), ConditionValue::False);
    EXPECT_EQ(eval_condition_quiet("1"), ConditionValue::True);
    EXPECT_EQ(eval_condition_quiet("1" + EQ + "1" + EQ + "2"), ConditionValue::True);
    EXPECT_EQ(eval_condition_quiet("0" + AND + "1" + EQ + "1" + EQ + "2"), ConditionValue::False);
    EXPECT_EQ(eval_condition_quiet(clauses(24, "0", OR)), ConditionValue::False);
    EXPECT_EQ(eval_condition_quiet(clauses(25, "1", OR)), ConditionValue::TooLarge);
    EXPECT_EQ(eval_condition_quiet(std::string(2500, '1')), ConditionValue::TooLarge);
    EXPECT_EQ(eval_condition_quiet("1" + OR + std::string(2500, 'x')), ConditionValue::TooLarge);
}

TEST_F(ConditionFixture, ConditionGroupsInLines)
{
    std::string line = "\x0E\x10" "abc" + EQ + "ABC" + "\x0F" + "-" + "\x0E\x10" "3" + GT + "20" + "\x0F";
    Result r = engine.run_line(line, false);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "1-0");
}
