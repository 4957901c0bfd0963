// A program's help source text, read once and written both as --help output and as a manual page.
#include "tools/helptext/HelpText.h"

#include <algorithm>
#include <sstream>

namespace ruk {

namespace {

bool indented(const std::string& line)
{
    return !line.empty() && line[0] == ' ';
}

std::string trimmed(const std::string& text)
{
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(' ');
    return text.substr(begin, end - begin + 1);
}

void append_joined(std::string& text, const std::string& line)
{
    if (!text.empty())
        text += ' ';
    text += trimmed(line);
}

// Turns the lines of one block (no blank line among them) into a block.
HelpText::Block make_block(const std::vector<std::string>& lines)
{
    HelpText::Block block;
    if (indented(lines.front())) {
        block.kind = HelpText::Block::Kind::Verbatim;
        for (const std::string& line : lines)
            block.lines.push_back(line.substr(std::min<size_t>(2, line.find_first_not_of(' '))));
        return block;
    }
    bool list = std::any_of(lines.begin(), lines.end(), indented);
    if (!list) {
        for (const std::string& line : lines)
            append_joined(block.text, line);
        return block;
    }
    block.kind = HelpText::Block::Kind::List;
    for (const std::string& line : lines) {
        if (!indented(line))
            block.items.push_back({trimmed(line), {}});
        else
            append_joined(block.items.back().description, line);
    }
    return block;
}

// Greedy word wrap: `text` in lines of at most `width` characters, every
// line after the first (or every line, when `first_indent` is the same)
// starting with `indent` blanks. A word longer than a line stands alone.
std::string wrap(const std::string& text, size_t first_indent, size_t indent, size_t width)
{
    std::istringstream words(text);
    std::string word;
    std::string out(first_indent, ' ');
    size_t column = first_indent;
    bool line_empty = true;
    while (words >> word) {
        if (!line_empty && column + 1 + word.size() > width) {
            out += '\n';
            out += std::string(indent, ' ');
            column = indent;
            line_empty = true;
        }
        if (!line_empty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        line_empty = false;
    }
    out += '\n';
    return out;
}

constexpr size_t TermColumn = 2;
constexpr size_t DescriptionColumn = 22;

std::string help_item(const std::string& term, const std::string& description, size_t width)
{
    std::string out(TermColumn, ' ');
    out += term;
    if (TermColumn + term.size() + 2 <= DescriptionColumn) {
        out += std::string(DescriptionColumn - out.size(), ' ');
        std::string rest = wrap(description, DescriptionColumn, DescriptionColumn, width);
        return out + rest.substr(DescriptionColumn);
    }
    return out + '\n' + wrap(description, DescriptionColumn, DescriptionColumn, width);
}

std::string help_blocks(const std::vector<HelpText::Block>& blocks, size_t width)
{
    std::string out;
    for (const HelpText::Block& block : blocks) {
        out += '\n';
        switch (block.kind) {
        case HelpText::Block::Kind::Paragraph:
            out += wrap(block.text, 0, 0, width);
            break;
        case HelpText::Block::Kind::Verbatim:
            for (const std::string& line : block.lines)
                out += "  " + line + '\n';
            break;
        case HelpText::Block::Kind::List:
            for (const HelpText::Item& item : block.items)
                out += help_item(item.term, item.description, width);
            break;
        }
    }
    return out;
}

std::string sentence(const std::string& text)
{
    std::string out = text;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z')
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    if (!out.empty() && out.back() != '.')
        out += '.';
    return out;
}

std::string first_paragraph(const std::vector<HelpText::Block>& blocks)
{
    for (const HelpText::Block& block : blocks)
        if (block.kind == HelpText::Block::Kind::Paragraph)
            return block.text;
    return {};
}

// Text for troff: backslashes and hyphens escaped, and a line that would
// start with a control character kept as text.
std::string troff(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

// A term in bold up to its first blank, the rest as it stands.
std::string troff_term(const std::string& term)
{
    size_t blank = term.find(' ');
    if (blank == std::string::npos)
        return "\\fB" + troff(term) + "\\fR";
    return "\\fB" + troff(term.substr(0, blank)) + "\\fR" + troff(term.substr(blank));
}

std::string troff_blocks(const std::vector<HelpText::Block>& blocks)
{
    std::string out;
    for (const HelpText::Block& block : blocks) {
        switch (block.kind) {
        case HelpText::Block::Kind::Paragraph:
            out += ".PP\n" + troff(block.text) + '\n';
            break;
        case HelpText::Block::Kind::Verbatim:
            out += ".PP\n.RS 4\n.nf\n";
            for (const std::string& line : block.lines)
                out += troff(line) + '\n';
            out += ".fi\n.RE\n";
            break;
        case HelpText::Block::Kind::List:
            for (const HelpText::Item& item : block.items)
                out += ".TP\n" + troff_term(item.term) + '\n' + troff(item.description) + '\n';
            break;
        }
    }
    return out;
}

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

std::optional<HelpText> HelpText::parse(const std::string& source, std::string* error)
{
    HelpText help;
    std::vector<std::string> pending;
    int line_number = 0;
    auto fail = [&](const std::string& reason) -> std::optional<HelpText> {
        if (error)
            *error = "line " + std::to_string(line_number) + ": " + reason;
        return std::nullopt;
    };
    auto flush = [&] {
        if (pending.empty())
            return;
        Section& section = help.m_sections.back();
        std::vector<Block>& blocks = section.commands.empty() ? section.blocks : section.commands.back().blocks;
        blocks.push_back(make_block(pending));
        pending.clear();
    };

    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\t') != std::string::npos)
            return fail("a tab; indent with blanks");
        if (line.rfind("=== ", 0) == 0) {
            flush();
            if (help.m_sections.empty())
                return fail("a command outside any section");
            std::string rest = trimmed(line.substr(4));
            size_t blank = rest.find(' ');
            Command command;
            command.word = rest.substr(0, blank);
            command.arguments = blank == std::string::npos ? std::string() : trimmed(rest.substr(blank));
            help.m_sections.back().commands.push_back(std::move(command));
        } else if (line.rfind("== ", 0) == 0) {
            flush();
            help.m_sections.push_back({trimmed(line.substr(3)), {}, {}});
        } else if (help.m_sections.empty()) {
            if (trimmed(line).empty())
                continue;
            size_t blank = line.find(' ');
            std::string key = line.substr(0, blank);
            std::string value = blank == std::string::npos ? std::string() : trimmed(line.substr(blank));
            if (key == "NAME")
                help.m_name = value;
            else if (key == "SUMMARY")
                help.m_summary = value;
            else if (key == "USAGE")
                help.m_usage.push_back(value);
            else
                return fail("expected NAME, SUMMARY, USAGE or a section (== TITLE)");
        } else if (trimmed(line).empty()) {
            flush();
        } else {
            pending.push_back(line);
        }
    }
    flush();
    if (help.m_name.empty())
        return fail("no NAME line");
    if (help.m_usage.empty())
        return fail("no USAGE line");
    return help;
}

std::vector<std::string> HelpText::command_words() const
{
    std::vector<std::string> words;
    for (const Section& section : m_sections)
        for (const Command& command : section.commands)
            words.push_back(command.word);
    return words;
}

std::string HelpText::help(int width) const
{
    const size_t w = static_cast<size_t>(std::max(width, 40));
    std::string out;
    for (size_t i = 0; i < m_usage.size(); ++i)
        out += (i == 0 ? "Usage: " : "       ") + m_usage[i] + '\n';
    if (!m_summary.empty())
        out += wrap(sentence(m_summary), 0, 0, w);
    for (const Section& section : m_sections) {
        if (section.title == "OPTIONS") {
            out += "\nOptions:\n";
            for (const Block& block : section.blocks)
                for (const Item& item : block.items)
                    out += help_item(item.term, item.description, w);
        }
        if (!section.commands.empty()) {
            out += "\nCommands:\n";
            for (const Command& command : section.commands)
                out += help_item(command.word + (command.arguments.empty() ? "" : " " + command.arguments),
                                 first_paragraph(command.blocks), w);
        }
    }
    out += "\nThe manual page " + m_name + "(1) says more.\n";
    return out;
}

std::optional<std::string> HelpText::command_help(const std::string& word, int width) const
{
    const size_t w = static_cast<size_t>(std::max(width, 40));
    for (const Section& section : m_sections) {
        for (const Command& command : section.commands) {
            if (command.word != word)
                continue;
            std::string out = "Usage: " + m_name + ' ' + command.word;
            if (!command.arguments.empty())
                out += ' ' + command.arguments;
            out += '\n';
            return out + help_blocks(command.blocks, w);
        }
    }
    return std::nullopt;
}

std::string HelpText::manual(const std::string& version) const
{
    std::string out = ".TH " + upper(m_name) + " 1 \"\" \"rukengine " + troff(version) + "\" \"User Commands\"\n";
    out += ".SH NAME\n" + troff(m_name) + " \\- " + troff(m_summary) + '\n';
    out += ".SH SYNOPSIS\n.nf\n";
    for (const std::string& usage : m_usage)
        out += troff_term(usage) + '\n';
    out += ".fi\n";
    for (const Section& section : m_sections) {
        out += ".SH " + troff(section.title) + '\n';
        out += troff_blocks(section.blocks);
        for (const Command& command : section.commands) {
            out += ".SS \"" + troff(m_name + ' ' + command.word) +
                   (command.arguments.empty() ? "" : ' ' + troff(command.arguments)) + "\"\n";
            out += troff_blocks(command.blocks);
        }
    }
    return out;
}

} // namespace ruk
