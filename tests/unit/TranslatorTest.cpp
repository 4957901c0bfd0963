// Source-line translation, compiling whole sources and the code file form.
#include "system/Translator.h"

#include "core/CodeStore.h"
#include "tests/support/Notation.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace ruk;
using ruk::test::compiled;
using ruk::test::ScriptHarness;

namespace {

// Translates a copy of a line; on failure the copy must be left as it was.
std::string tr(std::string_view source, int expected_code = TranslateOk)
{
    std::string line(source);
    TranslateResult r = translate_line(line);
    EXPECT_EQ(r.code, expected_code) << "line: " << source;
    if (r.code != TranslateOk) {
        EXPECT_EQ(line, source) << "a refused line must stay unchanged";
    }
    return line;
}

size_t count_of(std::string_view text, char c)
{
    size_t n = 0;
    for (char x : text)
        n += x == c;
    return n;
}

} // namespace

TEST(Translator, CommandsParametersAndLiterals)
{
    // Spaces outside quotes go; the quoted word keeps its case and its quotes go.
    EXPECT_EQ(tr("draw.text(10, 20, \"Hello\")"), compiled("draw.text(10,20,Hello)"));
    // Everything outside quotes is lower-cased, the words too.
    EXPECT_EQ(tr("Info.Box(Hello World)"), compiled("info.box(helloworld)"));
    // Quotes keep commas, dots, parentheses, "&" and "//" as plain text.
    EXPECT_EQ(tr("info.box(\"a, b. (c) &x // y\", 2)"),
              std::string("info\x8E" "box\x8F" "a, b. (c) &x // y\x8E" "2\x90"));
    // Words without a list, and "w = value" as a list of one.
    EXPECT_EQ(tr("event.end"), compiled("event.end()"));
    EXPECT_EQ(tr("window.title = \"Hi\""), compiled("window.title(Hi)"));
    EXPECT_EQ(tr("a.b(1,,3)"), compiled("a.b(1,,3)"));
    // Tabs indent like blanks; a tab must never reach a line as the "or" byte.
    EXPECT_EQ(tr("\t\tevent.initialize()\t"), compiled("event.initialize()"));
    EXPECT_EQ(tr("event.mouse:click:menu()"), compiled("event.mouse:click:menu()"));
}

TEST(Translator, AssignmentsAndReferences)
{
    EXPECT_EQ(tr("&x = 5+3"), compiled("&x=s(5+3)"));
    EXPECT_EQ(tr("&x = &y"), compiled("&x=s({&y})"));
    EXPECT_EQ(tr("&x ="), compiled("&x=s()"));
    EXPECT_EQ(tr("&Name[&i] = \"a b\""), compiled("&name[{&i}]=s(a b)"));
    EXPECT_EQ(tr("&list[] = \"a^^b\""), compiled("&list[]=s(a^^b)"));
    // References nest inside indexes; a dynamic name keeps its "_".
    EXPECT_EQ(tr("&x = &a[&b[&i]+1]"), compiled("&x=s({&a[{&b[{&i}]}+1]})"));
    EXPECT_EQ(tr("&_ref = &_other"), compiled("&_ref=s({&_other})"));
    // The target's index may call a command; "=" inside it is not the assignment.
    EXPECT_EQ(tr("&a[str.len(&s)] = 1"), compiled("&a[{str.len({&s})}]=s(1)"));
    // Only the first "=" separates the target.
    EXPECT_EQ(tr("&x = a=b"), compiled("&x=s(a=b)"));
    // A line starting with "&" but naming nothing to assign is refused.
    tr("&x", TranslateBadWords);
    tr("& = 5", TranslateBadWords);
    tr("&x(1)", TranslateBadWords);
}

TEST(Translator, ConditionsAndKeywords)
{
    EXPECT_EQ(tr("if(&a>=3)"), std::string("if\x8F\x0E\x10\x0E&a\x0F\x06" "3\x0F\x90"));
    EXPECT_EQ(tr("while (&i < 10)"), compiled("while({~{&i}\2" "10})"));
    // Operators are replaced in order: two-byte forms before one-byte ones.
    EXPECT_EQ(tr("if (&a <= 1 || &b <> 2 && &c != 3)"),
              compiled("if({~{&a}\5" "1\11{&b}\1" "2\10{&c}\1" "3})"));
    EXPECT_EQ(tr("if (&a == x)"), compiled("if({~{&a}\4x})"));
    EXPECT_EQ(tr("if (&a = \"<=x\")"), compiled("if({~{&a}\4<=x})"));
    EXPECT_EQ(tr("if (1)"), compiled("if({~1})"));
    EXPECT_EQ(tr("if ()"), compiled("if()")); // no parameter: not a condition
    EXPECT_EQ(tr("if.else()"), compiled("if.else()"));
    EXPECT_EQ(tr("if.end"), compiled("if.end()"));
    EXPECT_EQ(tr("if.x(1)"), compiled("if.x(1)"));
    tr("if.x()", TranslateBadIf);
    tr("if.x(1,2)", TranslateBadIf);
    // "for" drops the "&" of its loop variable, a function declaration of its names.
    EXPECT_EQ(tr("for (&i, 0, 10)"), compiled("for(i,0,10)"));
    EXPECT_EQ(tr("for (&a[&k], 0, &n)"), compiled("for(a[{&k}],0,{&n})"));
    EXPECT_EQ(tr("for.next()"), compiled("for.next()"));
    tr("for", TranslateBadFor);
    tr("for()", TranslateBadFor);
    EXPECT_EQ(tr("function.add(&a, &b)"), compiled("function.add(a,b)"));
    EXPECT_EQ(tr("function.end(&a)"), compiled("function.end({&a})"));
    EXPECT_EQ(tr("return(&a + &b)"), compiled("return({&a}+{&b})"));
}

TEST(Translator, InlineCallsAndChoices)
{
    EXPECT_EQ(tr("info.box(str.upper(str.trim(&x)))"), compiled("info.box({str.upper({str.trim({&x})})})"));
    EXPECT_EQ(tr("&n = 1+str.len(\"a,b)\")*2"), std::string("&n=s\x8F" "1+\x0Estr\x8Elen\x8F" "a,b)\x90\x0F*2\x90"));
    // Calls in several parameters, and a call after a group.
    EXPECT_EQ(tr("f(g(1), h(2))"), compiled("f({g(1)},{h(2)})"));
    EXPECT_EQ(tr("f(_draw(1), &_x)"), compiled("f({_draw(1)},{&_x})"));
    // Numeric parentheses and names without a list are no calls; neither is
    // a name glued to a digit or a reference.
    EXPECT_EQ(tr("&x = (1+2)*abc"), compiled("&x=s((1+2)*abc)"));
    EXPECT_EQ(tr("&x = 2f(1)"), compiled("&x=s(2f(1))"));
    // A negative number may stand as a whole word of a call's name; a minus
    // anywhere else still ends the name.
    EXPECT_EQ(tr("system.message(draw.-1.width())"), compiled("system.message({draw.-1.width()})"));
    EXPECT_EQ(tr("&w = draw.-1.width()"), compiled("&w=s({draw.-1.width()})"));
    EXPECT_EQ(tr("f(draw.-12.copyfrom.-3(1))"), compiled("f({draw.-12.copyfrom.-3(1)})"));
    EXPECT_EQ(tr("&x = 5-f(1)"), compiled("&x=s(5-{f(1)})"));
    EXPECT_EQ(tr("&x = a.-b(1)"), compiled("&x=s(a.-{b(1)})"));
    // The inline choice: its first argument becomes a condition.
    EXPECT_EQ(tr("&r = ?(&a > 1, yes, no)"), compiled("&r=s({?({~{&a}\3" "1},yes,no)})"));
    EXPECT_EQ(tr("&r = ?(?(&a=1,1,0)=1, y, n)"), compiled("&r=s({?({~{?({~{&a}\4" "1},1,0)}\4" "1},y,n)})"));
    EXPECT_EQ(tr("&r = ?(,y,n)"), compiled("&r=s({?({~},y,n)})"));
    EXPECT_EQ(tr("if (?(&a, 1, 0) = 1)"), compiled("if({~{?({~{&a}},1,0)}\4" "1})"));
}

TEST(Translator, LiteralWords)
{
    EXPECT_EQ(tr("&x = TRUE"), compiled("&x=s(1)"));
    EXPECT_EQ(tr("f(true, false, null, \"true\")"), compiled("f(1,0,,true)"));
    EXPECT_EQ(tr("if (&a && &b)"), compiled("if({~{&a}\10{&b}})"));
    EXPECT_EQ(tr("if (&a&&true)"), compiled("if({~{&a}\10" "1})"));
    // Words that are part of a name stay.
    EXPECT_EQ(tr("&null_count = istrue"), compiled("&null_count=s(istrue)"));
    EXPECT_EQ(tr("&true = &null"), compiled("&true=s({&null})"));
    // A word at the very start of the line stays.
    EXPECT_EQ(tr("true.x()"), compiled("true.x()"));
}

TEST(Translator, CommentsAndEmptyLines)
{
    for (std::string_view source : {"// only a comment", "   ", "", "\t// indented comment"}) {
        std::string line(source);
        TranslateResult r = translate_line(line);
        EXPECT_EQ(r.code, TranslateOk);
        EXPECT_TRUE(r.empty);
        EXPECT_EQ(line, source);
    }
    EXPECT_EQ(tr("info.box(\"http://x\") // note"), compiled("info.box(http://x)"));
    // A comment after a division goes too, not only one at the first "/".
    EXPECT_EQ(tr("&z = 10/2 // half"), compiled("&z=s(10/2)"));
    EXPECT_EQ(tr("&z = 10/2"), compiled("&z=s(10/2)"));
}

TEST(Translator, RefusedLines)
{
    tr("info.box(\"open", TranslateOpenString);
    tr("info.box((1)", TranslateUnbalanced);
    tr("info.box(1))", TranslateUnbalanced);
    tr("info.box)(", TranslateUnbalanced);
    tr("info.box(\")\"", TranslateUnbalanced);
    // A quote or parenthesis inside a comment does not count.
    EXPECT_EQ(tr("a.b() // \"(("), compiled("a.b()"));
    tr("a.b(1)x", TranslateBadWords);
    tr("a.b(1)(2)", TranslateBadWords);
}

TEST(Translator, HugeAndDeeplyNestedLines)
{
    // A 600 KB literal and a 600 KB expression go through whole.
    std::string big = "info.box(\"" + std::string(600000, 'x') + "\")";
    std::string out = tr(big);
    EXPECT_EQ(out.size(), 600000u + 10);

    std::string sum = "&x = 1";
    while (sum.size() < 600000)
        sum += " + &y";
    out = tr(sum);
    EXPECT_EQ(count_of(out, '\x0E'), (sum.size() - 6) / 5);

    // 20,000 levels of parentheses, calls, references and choices, far
    // deeper than any native recursion could follow.
    const int depth = 20000;
    std::string parens = "&x = " + std::string(depth, '(') + "1" + std::string(depth, ')');
    out = tr(parens);
    EXPECT_EQ(count_of(out, '\x8F'), depth + 1u);

    std::string calls = "&x = ";
    for (int i = 0; i < depth; ++i)
        calls += "f(";
    calls += "1" + std::string(depth, ')');
    out = tr(calls);
    EXPECT_EQ(count_of(out, '\x0E'), size_t(depth));
    EXPECT_EQ(count_of(out, '\x0F'), size_t(depth));
    EXPECT_EQ(out.substr(out.size() - 3), "\x90\x0F\x90");

    std::string refs = "&x = ";
    for (int i = 0; i < depth; ++i)
        refs += "&a[";
    refs += "1" + std::string(depth, ']');
    out = tr(refs);
    EXPECT_EQ(count_of(out, '\x0E'), size_t(depth));
    EXPECT_EQ(count_of(out, '\x0F'), size_t(depth));

    std::string choices = "&x = ";
    for (int i = 0; i < depth; ++i)
        choices += "?(";
    choices += "&a>1" + std::string(depth, ')');
    out = tr(choices);
    EXPECT_EQ(count_of(out, '\x10'), size_t(depth));
    EXPECT_EQ(count_of(out, '\x03'), 1u);

    // Unbalanced at depth: refused, not crashed.
    tr("&x = " + std::string(depth, '('), TranslateUnbalanced);
}

// Seeded random lines of the notation's punctuation: every line is either
// refused with a code or translated into properly paired groups.
TEST(Translator, RandomPunctuationKeepsGroupsPaired)
{
    const std::string alphabet = "()[]&&??,.==<>!|\" //ab1_\t";
    const std::string raw_tokens = "\x8F\x90\x0E\x0F\x10";
    uint32_t state = 12345;
    auto next = [&state](uint32_t bound) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % bound;
    };
    for (int round = 0; round < 20000; ++round) {
        const bool with_raw = round % 4 == 0;
        std::string line;
        const uint32_t length = next(40);
        for (uint32_t i = 0; i < length; ++i) {
            if (with_raw && next(8) == 0)
                line += raw_tokens[next(static_cast<uint32_t>(raw_tokens.size()))];
            else
                line += alphabet[next(static_cast<uint32_t>(alphabet.size()))];
        }
        std::string out = line;
        TranslateResult r = translate_line(out);
        ASSERT_TRUE(r.code == TranslateOk || r.code == TranslateOpenString || r.code == TranslateUnbalanced
                    || r.code == TranslateBadWords || r.code == TranslateBadIf || r.code == TranslateBadFor)
            << r.code;
        if (r.code != TranslateOk || r.empty || with_raw)
            continue;
        int64_t depth = 0;
        for (char c : out) {
            depth += c == '\x0E';
            depth -= c == '\x0F';
            ASSERT_GE(depth, 0) << line;
        }
        ASSERT_EQ(depth, 0) << line;
    }
}

TEST(CompileSource, LineNumbersErrorsAndLineEnds)
{
    CompiledSource c = compile_source("\xEF\xBB\xBF" "event.initialize()\r\n"
                                      "// comment\r\n"
                                      "\r\n"
                                      "  &x = 1\n"
                                      "info.box(\"open\r"
                                      "for\n"
                                      "event.end()");
    ASSERT_EQ(c.errors.size(), 2u);
    EXPECT_EQ(c.errors[0].line, 5);
    EXPECT_EQ(c.errors[0].code, TranslateOpenString);
    EXPECT_EQ(c.errors[1].line, 6);
    EXPECT_EQ(c.errors[1].code, TranslateBadFor);
    EXPECT_EQ(c.errors[1].message, translate_message(TranslateBadFor));
    ASSERT_EQ(c.lines.size(), 3u);
    EXPECT_EQ(c.lines[0], compiled("event.initialize()"));
    EXPECT_EQ(c.lines[1], compiled("&x=s(1)"));
    EXPECT_EQ(c.lines[2], compiled("event.end()"));
}

TEST(CompileSource, CodeFileRoundTrip)
{
    const char* source = "event.initialize()\n"
                         "  &total[&i] = str.upper(\"a, b\") // note\n"
                         "  if (&a >= 3)\n"
                         "  if.end()\n"
                         "event.end()\n"
                         "function.add(&a, &b)\n"
                         "  return(&a + &b)\n"
                         "function.end()\n";
    CompiledSource c = compile_source(source);
    ASSERT_TRUE(c.errors.empty());
    ASSERT_EQ(c.lines.size(), 8u);

    std::string file = encode_code_file(c.lines);
    std::string plain = file;
    for (char& ch : plain)
        ch = static_cast<char>(~static_cast<unsigned char>(ch));
    EXPECT_EQ(plain.find("\r\n"), c.lines[0].size());
    // The last line ends with a break too: a library joined on starts afresh.
    EXPECT_EQ(plain.substr(plain.size() - 2), "\r\n");

    std::string path = ::testing::TempDir() + "translator_roundtrip.qexe";
    {
        std::ofstream out(path, std::ios::binary);
        out << file;
    }
    CodeStore from_file;
    ASSERT_TRUE(from_file.load_code(path));
    std::remove(path.c_str());
    CodeStore from_text;
    from_text.load_text(plain);
    for (const CodeStore* store : {&from_file, &from_text}) {
        ASSERT_EQ(store->line_count(), 8);
        EXPECT_EQ(store->line(1).target, compiled("total[{&i}]"));
        EXPECT_EQ(store->line(1).command, std::string("s\x8F\x0Estr\x8Eupper\x8F" "a, b\x90\x0F\x90"));
        for (int n = 0; n < 8; ++n) {
            const CodeLine& line = store->line(n);
            std::string whole = line.target.empty() ? line.command : "&" + line.target + "=" + line.command;
            EXPECT_EQ(whole, c.lines[static_cast<size_t>(n)]);
        }
        ASSERT_EQ(store->events().size(), 1u);
        EXPECT_EQ(store->events()[0].name, "initialize");
        EXPECT_EQ(store->function_line("add"), 5);
    }
    EXPECT_EQ(encode_code_file({}), "");
}

// Translated scripts must be what the engine runs: every ordinary form,
// compiled here and run headless.
TEST(CompileSource, TranslatedFormsRunInTheEngine)
{
    ScriptHarness h;
    ASSERT_TRUE(h.load("event.initialize()\n"
                       "  &x = 5 + 3\n"
                       "  &y = &x\n"
                       "  &i = 2\n"
                       "  &name[&i] = \"a b\"\n"
                       "  if (&x >= 8 && &name[2] = \"A B\")\n"
                       "    system.message(\"yes, \" ?(&y <> 8, wrong, right))\n"
                       "  if.else()\n"
                       "    system.message(no)\n"
                       "  if.end()\n"
                       "  &n = 0\n"
                       "  while (&n < 3)\n"
                       "    &n = &n + 1\n"
                       "  while.end()\n"
                       "  for (&k, 0, 3)\n"
                       "    &sum = add(&sum, &k)\n"
                       "  for.next()\n"
                       "  system.message(&n \"/\" &sum \"/\" str.upper(&name[2]))\n"
                       "event.end()\n"
                       "function.add(&a, &b)\n"
                       "  return(&a + &b)\n"
                       "function.end()\n"))
        << (h.compile_errors().empty() ? "" : h.compile_errors()[0]);
    h.run();
    EXPECT_EQ(h.output(), "yes, right\n3/3/A B\n");
    EXPECT_TRUE(h.errors().empty()) << h.errors()[0];
    EXPECT_EQ(h.var("x"), "8");
}
