// Help source texts: reading them, the --help layout and the manual page's troff.
#include "tools/helptext/HelpText.h"

#include <gtest/gtest.h>

namespace ruk {
namespace {

const char* const Sample =
    "NAME tool\n"
    "SUMMARY do things to files\n"
    "USAGE tool [OPTION...] FILE\n"
    "\n"
    "== DESCRIPTION\n"
    "First line of a paragraph\n"
    "and its continuation.\n"
    "\n"
    ".dot starts this paragraph, and a back\\slash is in it.\n"
    "\n"
    "  tool --fast file\n"
    "\n"
    "== OPTIONS\n"
    "--fast\n"
    "    Go fast.\n"
    "--a-very-long-option-name VALUE\n"
    "    Words that do not fit beside the term go below it, and wrap at the width.\n"
    "\n"
    "== COMMANDS\n"
    "=== copy FROM TO\n"
    "Copy a file.\n"
    "\n"
    "More about copying.\n"
    "\n"
    "-n\n"
    "    Never overwrite.\n";

TEST(HelpText, ReadsBlocksAndRefusesBrokenSources)
{
    std::optional<HelpText> help = HelpText::parse(Sample);
    ASSERT_TRUE(help);
    ASSERT_EQ(help->sections().size(), 3u);
    const auto& description = help->sections()[0].blocks;
    ASSERT_EQ(description.size(), 3u);
    EXPECT_EQ(description[0].text, "First line of a paragraph and its continuation.");
    EXPECT_EQ(description[2].kind, HelpText::Block::Kind::Verbatim);
    EXPECT_EQ(description[2].lines[0], "tool --fast file");
    EXPECT_EQ(help->command_words(), std::vector<std::string>{"copy"});

    std::string error;
    EXPECT_FALSE(HelpText::parse("SUMMARY x\nUSAGE x\n", &error));
    EXPECT_EQ(error, "line 2: no NAME line");
    EXPECT_FALSE(HelpText::parse("NAME x\nUSAGE x\nWHAT x\n", &error));
    EXPECT_EQ(error, "line 3: expected NAME, SUMMARY, USAGE or a section (== TITLE)");
    EXPECT_FALSE(HelpText::parse("NAME x\nUSAGE x\n== A\n\tindented\n", &error));
    EXPECT_EQ(error, "line 4: a tab; indent with blanks");
    EXPECT_FALSE(HelpText::parse("NAME x\nUSAGE x\n=== cmd\n", &error));
}

TEST(HelpText, HelpShowsUsageOptionsAndCommands)
{
    std::optional<HelpText> help = HelpText::parse(Sample);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->help(60),
              "Usage: tool [OPTION...] FILE\n"
              "Do things to files.\n"
              "\n"
              "Options:\n"
              "  --fast              Go fast.\n"
              "  --a-very-long-option-name VALUE\n"
              "                      Words that do not fit beside the term\n"
              "                      go below it, and wrap at the width.\n"
              "\n"
              "Commands:\n"
              "  copy FROM TO        Copy a file.\n"
              "\n"
              "The manual page tool(1) says more.\n");
    EXPECT_EQ(*help->command_help("copy"),
              "Usage: tool copy FROM TO\n"
              "\nCopy a file.\n"
              "\nMore about copying.\n"
              "\n  -n                  Never overwrite.\n");
    EXPECT_FALSE(help->command_help("move"));
}

// Text that troff would take for requests or escapes stays text.
TEST(HelpText, ManualEscapesTroff)
{
    std::optional<HelpText> help = HelpText::parse(Sample);
    ASSERT_TRUE(help);
    const std::string page = help->manual("1.2.3");
    EXPECT_EQ(page.rfind(".TH TOOL 1 \"\" \"rukengine 1.2.3\" \"User Commands\"\n.SH NAME\ntool \\- do things to files\n", 0),
              0u);
    EXPECT_NE(page.find("\n\\&.dot starts this paragraph, and a back\\eslash is in it.\n"), std::string::npos);
    EXPECT_NE(page.find("\n.TP\n\\fB\\-\\-a\\-very\\-long\\-option\\-name\\fR VALUE\n"), std::string::npos);
    EXPECT_NE(page.find("\n.SS \"tool copy FROM TO\"\n"), std::string::npos);
    EXPECT_NE(page.find("\n.nf\ntool \\-\\-fast file\n.fi\n"), std::string::npos);
}

} // namespace
} // namespace ruk
