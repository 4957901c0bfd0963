// The "num", "str" and "var" families driven through the dispatcher of a real engine.
#include "core/Var.h"

#include "core/Engine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>

using namespace ruk;

namespace {

struct NumStrFixture : ::testing::Test {
    std::ostringstream boxes;
    HeadlessHost host{boxes};
    Engine engine{&host};
    int errors = 0;
    int fallbacks = 0;

    void SetUp() override
    {
        register_num_family(engine);
        register_str_family(engine);
        register_var_family(engine);
        engine.set_error_observer([this](const std::string&) { ++errors; });
        engine.set_fallback([this](Engine&) -> Result {
            ++fallbacks;
            return std::nullopt;
        });
    }

    // Runs family.word(params...) as a compiled command.
    Result call(const char* family, const char* word, std::initializer_list<std::string> params)
    {
        std::string text = std::string(family) + tok::Sep + word + tok::Open;
        bool first = true;
        for (const std::string& p : params) {
            if (!first)
                text += tok::Sep;
            text += p;
            first = false;
        }
        text += tok::Close;
        return engine.split_command(text);
    }
    Result num(const char* word, std::initializer_list<std::string> params) { return call("num", word, params); }
    Result str(const char* word, std::initializer_list<std::string> params) { return call("str", word, params); }
    Result var(const char* word, std::initializer_list<std::string> params) { return call("var", word, params); }
};

const Result None = std::nullopt;

Result text(const char* s)
{
    return std::string(s);
}

} // namespace

TEST_F(NumStrFixture, ComputeEvalAbsNot)
{
    EXPECT_EQ(num("compute", {"2+3*4"}), text("14"));
    EXPECT_EQ(num("compute", {"abc"}), text("-2147483645"));
    EXPECT_EQ(num("compute", {""}), text("-2147483645"));

    EXPECT_EQ(num("eval", {"10\x03" "9"}), text("1"));
    EXPECT_EQ(num("eval", {"10\x03" "9a"}), text("0"));
    EXPECT_EQ(num("eval", {""}), text("0"));
    EXPECT_EQ(num("eval", {"1\x04\x04" "2"}), text("1")); // two comparison bytes count as true
    std::string many = "1";
    for (int i = 1; i < 25; ++i)
        many += "\x08" "1";
    EXPECT_EQ(num("eval", {many}), text("-2"));
    EXPECT_EQ(errors, 0); // eval never reports

    EXPECT_EQ(num("abs", {"-5"}), text("5"));
    EXPECT_EQ(num("abs", {"-2147483648"}), text("2147483648"));
    EXPECT_EQ(num("abs", {"x"}), text("0"));

    EXPECT_EQ(num("not", {"0abc"}), text("1"));
    EXPECT_EQ(num("not", {"1"}), text("0"));
    EXPECT_EQ(num("not", {""}), text("0"));
}

TEST_F(NumStrFixture, TrigonometryInDegrees)
{
    EXPECT_EQ(num("sin", {"90"}), text("1"));
    EXPECT_EQ(num("sin", {"30", "100"}), text("50"));
    EXPECT_EQ(num("sin", {"30", "2"}), text("1"));
    EXPECT_EQ(num("sin", {"-90", "5"}), text("-5"));
    EXPECT_EQ(num("sin", {"390", "2"}), text("1"));
    EXPECT_EQ(num("sin", {"45", "100"}), text("70"));
    EXPECT_EQ(num("cos", {"180", "10"}), text("-10"));
    EXPECT_EQ(num("cos", {"90", "1000"}), text("0"));
    EXPECT_EQ(num("cos", {"60", "-9"}), text("-4")); // truncated toward zero
    EXPECT_EQ(num("cos", {"180", "-2147483648"}), text("2147483648"));
}

TEST_F(NumStrFixture, Colours)
{
    EXPECT_EQ(num("rgb", {"255", "0", "0"}), text("255"));
    EXPECT_EQ(num("rgb", {"0", "0", "255"}), text("16711680"));
    EXPECT_EQ(num("rgb", {"257", "-1", "0"}), text("65281")); // low 8 bits of each
    EXPECT_EQ(num("blue", {"16711680"}), text("255"));
    EXPECT_EQ(num("green", {"43776"}), text("171"));
    EXPECT_EQ(num("red", {"-1"}), text("255"));
    EXPECT_EQ(num("char", {"A"}), text("65"));
    EXPECT_EQ(num("char", {"\xFF"}), text("-1"));
    EXPECT_EQ(num("char", {""}), text("0"));
}

TEST_F(NumStrFixture, RandomUsesTheSharedGenerator)
{
    engine.random().seed(1); // first draw: bits 16..30 of 22695478 = 346
    EXPECT_EQ(num("random", {"10", "20"}), text("16"));
    engine.random().seed(1);
    EXPECT_EQ(num("random", {"20", "10"}), text("26")); // distance made positive
    EXPECT_EQ(num("random", {"7", "7"}), text("7"));

    engine.random().seed(12345);
    bool seen[3] = {};
    for (int i = 0; i < 300; ++i) {
        Result r = num("random", {"5", "8"});
        ASSERT_TRUE(r);
        int v = std::stoi(*r);
        ASSERT_GE(v, 5);
        ASSERT_LE(v, 7);
        seen[v - 5] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
    EXPECT_TRUE(num("random", {"-2147483648", "2147483647"}));
}

TEST_F(NumStrFixture, AnglesAndDistances)
{
    EXPECT_EQ(num("changeangle", {"350", "10", "5"}), text("355"));
    EXPECT_EQ(num("changeangle", {"10", "350", "5"}), text("5"));
    EXPECT_EQ(num("changeangle", {"0", "180", "10"}), text("10"));
    EXPECT_EQ(num("changeangle", {"0", "181", "10"}), text("350"));
    EXPECT_EQ(num("changeangle", {"-2147483648", "2147483647", "-2147483648"}),
              num("changeangle", {"-2147483648", "2147483647", "-2147483648"}));

    EXPECT_EQ(num("getdistance", {"0", "0", "3", "4"}), text("5"));
    EXPECT_EQ(num("getdistance", {"1", "1", "-2", "-3"}), text("5"));
    EXPECT_EQ(num("getdistance", {"-2147483648", "-2147483648", "2147483647", "2147483647"}), text("6074000998"));

    // Screen co-ordinates: y grows downwards.
    EXPECT_EQ(num("getangle", {"100", "100", "110", "90"}), text("45"));
    EXPECT_EQ(num("getangle", {"100", "100", "90", "90"}), text("135"));
    EXPECT_EQ(num("getangle", {"100", "100", "90", "110"}), text("225"));
    EXPECT_EQ(num("getangle", {"100", "100", "110", "110"}), text("315"));
    EXPECT_EQ(num("getangle", {"0", "0", "10", "0"}), text("180"));
    EXPECT_EQ(num("getangle", {"0", "0", "0", "-10"}), text("180"));
}

TEST_F(NumStrFixture, CuttingTexts)
{
    EXPECT_EQ(str("right", {"hello", "2"}), text("llo"));
    EXPECT_EQ(str("right", {"hello", "9"}), text("hello"));
    EXPECT_EQ(str("right", {"hello", "-1"}), text("hello"));
    EXPECT_EQ(str("right", {"hello", "5"}), text(""));
    EXPECT_EQ(str("left", {"hello", "2"}), text("he"));
    EXPECT_EQ(str("left", {"hello", "9"}), text("hello"));
    EXPECT_EQ(str("left", {"hello", "-3"}), text(""));
    EXPECT_EQ(str("sub", {"hello", "1", "3"}), text("ell"));
    EXPECT_EQ(str("sub", {"hello", "9"}), None);
    EXPECT_EQ(str("sub", {"hello", "5"}), text(""));
    EXPECT_EQ(str("sub", {"hello"}), text("h"));
    EXPECT_EQ(str("sub", {"hello", "-4", "2"}), text("he"));
    EXPECT_EQ(str("sub", {"hello", "3", "99"}), text("lo"));
    EXPECT_EQ(str("len", {"hello"}), text("5"));
    EXPECT_EQ(str("len", {""}), text("0"));
    EXPECT_EQ(str("char", {"65"}), text("A"));
    EXPECT_EQ(str("char", {"321"}), text("A"));
    EXPECT_EQ(str("char", {"0"}), text(""));
    EXPECT_EQ(str("char", {"-1"}), text("\xFF"));
    EXPECT_EQ(str("lower", {"AbC\xC9z"}), text("abc\xC9z"));
    EXPECT_EQ(str("upper", {"AbC\xE9z"}), text("ABC\xE9Z"));
    EXPECT_EQ(str("trim", {" \t a b \r\n"}), text("a b"));
    EXPECT_EQ(str("trim", {"\xA0x\xA0"}), text("\xA0x\xA0"));
    EXPECT_EQ(str("trim", {"   "}), text(""));
}

TEST_F(NumStrFixture, Pos)
{
    EXPECT_EQ(str("pos", {"banana", "an", "", "0"}), text("1"));
    EXPECT_EQ(str("pos", {"banana", "an", "", "2"}), text("3"));
    EXPECT_EQ(str("pos", {"banana", "an", "", "4"}), None);
    EXPECT_EQ(str("pos", {"banana", "an", "", "-1"}), None);
    EXPECT_EQ(str("pos", {"banana", "an", "", "7"}), None);
    EXPECT_EQ(str("pos", {"banana", "", "", "0"}), None);
    EXPECT_EQ(str("pos", {"BaNana", "an", "", "0"}), text("1"));
    EXPECT_EQ(str("pos", {"BaNana", "an", "1", "0"}), text("3"));
    EXPECT_EQ(str("pos", {"ab", "abc"}), None);
}

TEST_F(NumStrFixture, PosexSkipsRegions)
{
    // switches: 3 case, 4 start, 5 "..", 6 '..', 7 ( ), 8 { }, 9 [ ], 10 < >
    EXPECT_EQ(str("posex", {"x(y,z),w", ",", "", "0", "", "", "1"}), text("6"));
    EXPECT_EQ(str("posex", {"x(y,z),w", ","}), text("3"));
    EXPECT_EQ(str("posex", {"((a,b),c),d", ",", "", "0", "", "", "1"}), text("9"));
    EXPECT_EQ(str("posex", {"a\",\",b", ",", "", "0", "1"}), text("4"));
    EXPECT_EQ(str("posex", {"a',',b", ",", "", "0", "", "1"}), text("4"));
    EXPECT_EQ(str("posex", {"(\")\"),x", ",", "", "0", "1", "", "1"}), text("5")); // quotes inside brackets
    EXPECT_EQ(str("posex", {"'(',x", ",", "", "0", "", "1", "1"}), text("3"));       // brackets inside quotes
    EXPECT_EQ(str("posex", {"{a,[b,c]},d", ",", "", "0", "", "", "", "1", "1"}), text("9"));
    EXPECT_EQ(str("posex", {"<a,b>,c", ",", "", "0", "", "", "", "", "", "1"}), text("5"));
    EXPECT_EQ(str("posex", {"([)]),x", ",", "", "0", "", "", "1", "", "1"}), text("5"));
    EXPECT_EQ(str("posex", {"a,b,c", ",", "", "2"}), text("3"));
    EXPECT_EQ(str("posex", {"ABC", "b"}), text("1"));
    EXPECT_EQ(str("posex", {"ABC", "b", "1"}), None);
    EXPECT_EQ(str("posex", {"abc", "x", "", "0", "1", "1", "1", "1", "1", "1"}), None);
    EXPECT_EQ(str("posex", {"abc", "b", "", "9"}), None);
    EXPECT_EQ(str("posex", {"abc", ""}), None);
}

TEST_F(NumStrFixture, PosexReportsBrokenStructure)
{
    EXPECT_EQ(str("posex", {"ab)c,d", ",", "", "0", "", "", "1"}), text("-2"));  // stray closer
    EXPECT_EQ(str("posex", {"ab(c,d", ",", "", "0", "", "", "1"}), text("-2"));  // unclosed pair
    EXPECT_EQ(str("posex", {"xy\"abc", ",", "", "0", "1"}), text("-2"));         // unterminated quote
    EXPECT_EQ(str("posex", {"ab<c<d>>,e", ",", "", "0", "", "", "", "", "", "1"}), text("-4"));
    EXPECT_EQ(str("posex", {"ab[c)],d", ",", "", "0", "", "", "1", "", "1"}), text("-4"));
    EXPECT_EQ(str("posex", {"ab((c)", ",", "", "0", "", "", "1"}), text("-2")); // outermost still open
    // A problem at 0 or 1 must not read as a match or as "no occurrence".
    EXPECT_EQ(str("posex", {"(abc", ",", "", "0", "", "", "1"}), text("-2147483648"));
    EXPECT_EQ(str("posex", {"a)bc", ",", "", "0", "", "", "1"}), text("-2147483648"));
    // The search text is looked for before a region is entered.
    EXPECT_EQ(str("posex", {"ab(c", "(", "", "0", "", "", "1"}), text("2"));

    std::string deep = "ab" + std::string(200000, '(');
    EXPECT_EQ(str("posex", {deep, ",", "", "0", "", "", "1"}), text("-2"));
    std::string mixed = "ab";
    for (int i = 0; i < 50000; ++i)
        mixed += "([{<";
    EXPECT_EQ(str("posex", {mixed, ",", "", "0", "", "", "1", "1", "1", "1"}), text("-9")); // the second "<"
}

TEST_F(NumStrFixture, Replace)
{
    EXPECT_EQ(str("replace", {"Hello hello", "hello", "x"}), text("x x"));
    EXPECT_EQ(str("replace", {"Hello hello", "hello", "x", "1"}), text("Hello x"));
    EXPECT_EQ(str("replace", {"Hello hello", "hello", "x", "0", "0"}), text("x hello"));
    EXPECT_EQ(str("replace", {"aaa", "a", "aa"}), text("aaaaaa"));
    EXPECT_EQ(str("replace", {"abc", "", "x"}), text("abc"));
    EXPECT_EQ(str("replace", {"abc", "b", ""}), text("ac"));
}

TEST_F(NumStrFixture, LineBreaksAndWrapping)
{
    EXPECT_EQ(str("adjustlinebreaks", {"a\rb\nc\n\rd\r\ne"}), text("a\r\nb\r\nc\r\nd\r\ne"));
    EXPECT_EQ(str("adjustlinebreaks", {"\r\r"}), text("\r\n\r\n"));

    EXPECT_EQ(str("wraptext", {"aaa bbb ccc", "|", "5"}), text("aaa |bbb |ccc"));
    EXPECT_EQ(str("wraptext", {"aaaa bbbb", "", "4"}), text("aaaa \n\rbbbb"));
    EXPECT_EQ(str("wraptext", {"a,b-c.d", "|", "2"}), text("a,|b-|c.|d"));
    EXPECT_EQ(str("wraptext", {"'a b c d' e", "|", "3"}), text("'a b c d' |e"));
    EXPECT_EQ(str("wraptext", {"abcdefgh ij", "|", "3"}), text("abcdefgh |ij"));
    EXPECT_EQ(str("wraptext", {"aa bb\ncc dd", "|", "5"}), text("aa bb\ncc dd"));
    EXPECT_EQ(str("wraptext", {"short text", "|"}), text("short text")); // width 80
    EXPECT_EQ(str("wraptext", {"a b c", "|", "0"}), text("a b c"));
    EXPECT_EQ(str("wraptext", {"a b c", "|", "-5"}), text("a b c"));
}

TEST_F(NumStrFixture, UnknownSubCommandsBecomeFunctionCalls)
{
    EXPECT_EQ(num("nosuch", {"1"}), None);
    EXPECT_EQ(str("nosuch", {"1"}), None);
    EXPECT_EQ(fallbacks, 2);
}

TEST_F(NumStrFixture, CountersSteppedByOneAgreeWithAnyStep)
{
    // "inc" and "dec" without a step count in the counter's own digits; with
    // the step given they take the general way. Both must give the same
    // texts, at carries, borrows, a lost leading digit and the limits of the
    // short way (seven digits, zero counting down, texts that are not plain).
    const char* starts[] = {"0", "1", "9", "10", "99", "100", "1099", "999999", "9999999", "10000000",
                            "16777215", "007", "-3", "", " 5", "12a", "2+3"};
    for (const char* start : starts) {
        for (const char* word : {"inc", "dec"}) {
            engine.vars().assign("a", start);
            engine.vars().assign("b", start);
            const Result short_way = var(word, {"a"});
            const Result general = var(word, {"b", "1"});
            EXPECT_EQ(short_way, general) << word << " " << start;
            EXPECT_EQ(engine.vars().at(engine.vars().find("a")).elements[0],
                      engine.vars().at(engine.vars().find("b")).elements[0])
                << word << " " << start;
        }
    }
    engine.vars().assign("c", "9999999");
    EXPECT_EQ(var("inc", {"c"}), text("10000000"));
    engine.vars().assign("c", "1000");
    EXPECT_EQ(var("dec", {"c"}), text("999"));
    EXPECT_EQ(errors, 0);
}
