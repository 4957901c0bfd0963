// A program's help source text, read once and written both as --help output and as a manual page.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruk {

// The source text is plain lines:
//
//   NAME rukc                          the program
//   SUMMARY one line on what it does   (the manual's NAME line)
//   USAGE rukc COMMAND [ARGUMENT...]   one line per way of calling it
//   == TITLE                           a section of the manual
//   === WORD REST                      a command of the program inside a section:
//                                      "PROGRAM WORD REST" is its usage
//
// Inside a section, blocks are separated by blank lines. A block whose first
// line is indented is shown as it stands (examples; the first two blanks
// go). A block whose first line is not indented but whose later lines are
// is a list: each unindented line is a term, the indented lines below it
// are its description. Any other block is a paragraph.
//
// The --help text shows the usage, the summary, the "OPTIONS" section and
// an overview of the commands; the manual shows everything.
class HelpText {
public:
    struct Item {
        std::string term;
        std::string description;
    };
    struct Block {
        enum class Kind { Paragraph, List, Verbatim } kind = Kind::Paragraph;
        std::string text;                 // a paragraph, joined into one line
        std::vector<std::string> lines;   // a verbatim block
        std::vector<Item> items;          // a list
    };
    struct Command {
        std::string word;                 // "compile"
        std::string arguments;            // what follows the word in its usage
        std::vector<Block> blocks;
    };
    struct Section {
        std::string title;
        std::vector<Block> blocks;
        std::vector<Command> commands;
    };

    // Reads a source text; nothing, with the line and the reason in
    // `error`, when a line breaks the rules above.
    static std::optional<HelpText> parse(const std::string& source, std::string* error = nullptr);

    const std::string& name() const { return m_name; }
    const std::vector<Section>& sections() const { return m_sections; }
    std::vector<std::string> command_words() const;

    // The --help text, lines of at most `width` characters where words allow.
    std::string help(int width = 79) const;
    // One command's help ("rukc compile --help"); nothing for an unknown word.
    std::optional<std::string> command_help(const std::string& word, int width = 79) const;
    // The manual page in troff (man macros), section 1.
    std::string manual(const std::string& version) const;

private:
    std::string m_name;
    std::string m_summary;
    std::vector<std::string> m_usage;
    std::vector<Section> m_sections;
};

} // namespace ruk
