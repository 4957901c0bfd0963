// Source-line translation: turns one line of script notation into a compiled line.
#include "system/Translator.h"

#include "core/Text.h"
#include "system/ConditionMarks.h"

#include <cstdint>
#include <utility>

namespace ruk {

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Characters of a variable name after "&": letters, digits, "_", ":", "@".
bool is_ref_char(char c) { return is_letter(c) || is_digit(c) || c == '_' || c == ':' || c == '@'; }

// Characters of an inline call's name (the dotted command words).
bool is_call_char(char c) { return is_ref_char(c) || c == '.'; }

// A "-" that starts a negative number as a whole command word of a call's
// name, as in "draw.-1.width": right after a "." and before a digit.
bool is_negative_word_start(std::string_view text, size_t i)
{
    return text[i] == '-' && i > 0 && text[i - 1] == '.' && i + 1 < text.size() && is_digit(text[i + 1]);
}

// A character that can belong to a name: a call never starts right after one.
bool belongs_to_name(char c) { return is_call_char(c) || c == '&'; }

// Characters that make "true", "false" or "null" part of a longer name.
bool is_word_char(char c) { return is_letter(c) || is_digit(c) || c == '_'; }

// Cuts the line at the first "//" outside literals. Every "/" is looked at,
// not only the first one, so that a comment after a division still goes.
std::string_view strip_comment(std::string_view line)
{
    bool in_literal = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"')
            in_literal = !in_literal;
        else if (!in_literal && c == '/' && i + 1 < line.size() && line[i + 1] == '/')
            return line.substr(0, i);
    }
    return line;
}

// 100 for an unclosed literal, 101 for parentheses that do not pair up
// (a ")" before its "(" counts as unbalanced too), otherwise 1. A line end
// inside a literal counts as an unclosed literal: the compiled line would
// be split in two in the code file.
int check_line(std::string_view line)
{
    bool in_literal = false;
    int64_t depth = 0;
    bool went_negative = false;
    for (char c : line) {
        if (in_literal && (c == '\r' || c == '\n'))
            return TranslateOpenString;
        if (c == '"') {
            in_literal = !in_literal;
        } else if (!in_literal) {
            if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (--depth < 0)
                    went_negative = true;
            }
        }
    }
    if (in_literal)
        return TranslateOpenString;
    if (depth != 0 || went_negative)
        return TranslateUnbalanced;
    return TranslateOk;
}

// Outside literals: drops blanks, tabs, backspaces and line-end bytes,
// lower-cases letters and turns the parentheses into the list bytes.
// Literals are copied unchanged with their quotes. Tabs and line ends go as
// well as blanks: a tab left in a condition would read as the "or" byte, and
// a line end would split the compiled line in the code file.
std::string normalise(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    bool in_literal = false;
    for (char c : line) {
        if (c == '"') {
            in_literal = !in_literal;
            out += c;
        } else if (in_literal) {
            out += c;
        } else if (c == ' ' || c == '\t' || c == '\b' || c == '\r' || c == '\n') {
            continue;
        } else if (c == '(') {
            out += tok::Open;
        } else if (c == ')') {
            out += tok::Close;
        } else {
            out += lower_char(c);
        }
    }
    return out;
}

// Outside literals: "&&" becomes the "and" byte, the whole words "true" and
// "false" become "1" and "0", and "null" goes. A word at the very start of
// the line stays. A word that is part of a variable name (right after "&",
// or joined to letters, digits or "_") is a name, not a literal, and stays:
// otherwise &null_count would turn into the dynamic reference &_count.
std::string replace_literal_words(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    bool in_literal = false;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        char c = line[i];
        if (c == '"') {
            in_literal = !in_literal;
            out += c;
            ++i;
            continue;
        }
        if (in_literal) {
            out += c;
            ++i;
            continue;
        }
        if (c == '&' && i + 1 < n && line[i + 1] == '&') {
            out += tok::And;
            i += 2;
            continue;
        }
        if (is_word_char(c)) {
            size_t end = i;
            while (end < n && is_word_char(line[end]))
                ++end;
            std::string_view word = line.substr(i, end - i);
            // The byte before is taken from the output, so the "&" of a
            // reference counts but the "&&" connector does not.
            const char before = out.empty() ? '\0' : out.back();
            bool replaceable = i > 0 && before != '&' && before != ':' && before != '@'
                && (end >= n || (line[end] != ':' && line[end] != '@'));
            if (replaceable && word == "true")
                out += '1';
            else if (replaceable && word == "false")
                out += '0';
            else if (replaceable && word == "null")
                ; // removed
            else
                out.append(word);
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// Splits the text of a parameter list at the commas of its own level.
// An empty list has no parameters; "a,,b" has three.
std::vector<std::string> split_params(std::string_view list)
{
    std::vector<std::string> params;
    if (list.empty())
        return params;
    bool in_literal = false;
    int64_t depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        char c = list[i];
        if (c == '"') {
            in_literal = !in_literal;
        } else if (!in_literal) {
            if (c == tok::Open)
                ++depth;
            else if (c == tok::Close)
                --depth;
            else if (c == ',' && depth == 0) {
                params.emplace_back(list.substr(start, i - start));
                start = i + 1;
            }
        }
    }
    params.emplace_back(list.substr(start));
    return params;
}

// Wraps every inline command call in a group. A call is a name that starts
// with a letter, "?" or "_" (the prefix that calls a function named like a
// family) where no name character precedes it, runs over
// letters, digits, ".", "_", ":", "@" (and a "-" that opens a negative
// number word after a "."), and is directly followed by an
// opening parenthesis; the group closes right after the call's matching
// closing parenthesis. A name not directly followed by a parenthesis is
// plain text and is left alone, so no marks are needed for it. Calls nested
// in a call's parameters are wrapped in the same single pass; an explicit
// stack of open calls keeps deep nesting off the native stack.
std::string wrap_inline_calls(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::vector<int64_t> open_calls; // list depth at which each open call's list sits
    int64_t depth = 0;
    bool in_literal = false;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c == '"') {
            in_literal = !in_literal;
            out += c;
            continue;
        }
        if (in_literal) {
            out += c;
            continue;
        }
        if (c == tok::Open) {
            ++depth;
            out += c;
            continue;
        }
        if (c == tok::Close) {
            out += c;
            if (!open_calls.empty() && open_calls.back() == depth) {
                out += tok::GroupClose;
                open_calls.pop_back();
            }
            --depth;
            continue;
        }
        if ((is_letter(c) || c == '?' || c == '_') && (i == 0 || !belongs_to_name(text[i - 1]))) {
            size_t end = i + 1;
            while (end < n && (is_call_char(text[end]) || is_negative_word_start(text, end)))
                ++end;
            if (end < n && text[end] == tok::Open) {
                out += tok::GroupOpen;
                open_calls.push_back(depth + 1);
            }
            out.append(text.substr(i, end - i));
            i = end - 1;
            continue;
        }
        out += c;
    }
    // Only reachable with unbalanced input; keep the groups paired anyway.
    out.append(open_calls.size(), tok::GroupClose);
    return out;
}

// Encloses every variable reference in a group: "&", a name, and an optional
// index in "[" "]" that may itself hold references. Open references are
// kept on an explicit stack, so nesting depth costs no native stack.
std::string mark_references(std::string_view text)
{
    struct OpenRef {
        bool in_index = false;
        int64_t brackets = 0;
    };
    std::vector<OpenRef> refs;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    bool in_literal = false;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        char c = text[i];
        if (in_literal) {
            out += c;
            if (c == '"')
                in_literal = false;
            ++i;
            continue;
        }
        if (!refs.empty() && !refs.back().in_index) {
            if (is_ref_char(c)) {
                out += c;
                ++i;
                continue;
            }
            if (c == '[') {
                refs.back().in_index = true;
                refs.back().brackets = 1;
                out += c;
                ++i;
                continue;
            }
            // The name ends here; look at this byte again for the enclosing reference.
            out += tok::GroupClose;
            refs.pop_back();
            continue;
        }
        if (c == '&' && i + 1 < n && is_ref_char(text[i + 1])) {
            out += tok::GroupOpen;
            out += '&';
            refs.push_back({});
            ++i;
            continue;
        }
        if (c == '"') {
            in_literal = true;
            out += c;
            ++i;
            continue;
        }
        if (!refs.empty()) {
            if (c == '[') {
                ++refs.back().brackets;
            } else if (c == ']' && --refs.back().brackets == 0) {
                out += c;
                out += tok::GroupClose;
                refs.pop_back();
                ++i;
                continue;
            }
        }
        out += c;
        ++i;
    }
    out.append(refs.size(), tok::GroupClose);
    return out;
}

// Joins texts with the separator byte.
void append_joined(std::string& out, const std::vector<std::string>& parts)
{
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += tok::Sep;
        out += parts[i];
    }
}

// Splits the command words at "." outside literals.
std::vector<std::string> split_words(std::string_view text)
{
    std::vector<std::string> words;
    bool in_literal = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"')
            in_literal = !in_literal;
        else if (!in_literal && c == '.') {
            words.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    words.emplace_back(text.substr(start));
    return words;
}

// Index of the byte that closes the list opened at `open`, or npos.
size_t matching_close(std::string_view text, size_t open)
{
    bool in_literal = false;
    int64_t depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            in_literal = !in_literal;
        } else if (!in_literal) {
            if (c == tok::Open) {
                ++depth;
            } else if (c == tok::Close && --depth == 0) {
                return i;
            }
        }
    }
    return std::string_view::npos;
}

// The parts of a line between normalising and assembly.
struct LineParts {
    bool assignment = false;
    std::string target; // without the leading "&"
    std::vector<std::string> words;
    std::vector<std::string> params;
};

// Splits a normalised line into target, words and parameters.
// Returns a result code other than 1 when the line has no valid shape.
int split_line(std::string_view line, LineParts& parts)
{
    if (line[0] == '&') {
        // The target runs to the first "=" outside literals and index
        // brackets, so an index may hold parentheses and calls. A line that
        // starts with "&" but has no "=" (or no name before it) is neither an
        // assignment nor a command.
        bool in_literal = false;
        int64_t brackets = 0;
        size_t eq = std::string_view::npos;
        for (size_t i = 1; i < line.size() && eq == std::string_view::npos; ++i) {
            char c = line[i];
            if (c == '"')
                in_literal = !in_literal;
            else if (in_literal)
                continue;
            else if (c == '[')
                ++brackets;
            else if (c == ']')
                --brackets;
            else if (c == '=' && brackets <= 0)
                eq = i;
        }
        if (eq == std::string_view::npos || eq == 1)
            return TranslateBadWords;
        parts.assignment = true;
        parts.target.assign(line.substr(1, eq - 1));
        parts.words = {"s"};
        parts.params = split_params(line.substr(eq + 1));
        return TranslateOk;
    }

    bool in_literal = false;
    size_t stop = line.size();
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"')
            in_literal = !in_literal;
        else if (!in_literal && (c == tok::Open || c == '=')) {
            stop = i;
            break;
        }
    }
    parts.words = split_words(line.substr(0, stop));
    if (stop == line.size())
        return TranslateOk;
    if (line[stop] == '=') {
        // "w0.w1 = value" is the same as "w0.w1(value)".
        parts.params = split_params(line.substr(stop + 1));
        return TranslateOk;
    }
    size_t close = matching_close(line, stop);
    if (close == std::string_view::npos)
        return TranslateUnbalanced;
    if (close + 1 != line.size())
        return TranslateBadWords;
    parts.params = split_params(line.substr(stop + 1, close - stop - 1));
    return TranslateOk;
}

// The keyword forms: conditions of "if" and "while", the loop variable of
// "for" and the parameter names of a function declaration.
int apply_keyword_forms(LineParts& parts)
{
    if (parts.assignment)
        return TranslateOk;
    const std::string& w0 = parts.words[0];
    const size_t word_count = parts.words.size();
    if ((w0 == "if" || w0 == "while") && word_count == 1 && parts.params.size() == 1) {
        parts.params[0] = condition_group(parts.params[0]);
    } else if (w0 == "if" && word_count > 1) {
        const std::string& w1 = parts.words[1];
        if (w1 != "else" && w1 != "end" && parts.params.size() != 1)
            return TranslateBadIf;
    } else if (w0 == "for" && word_count == 1) {
        if (parts.params.empty())
            return TranslateBadFor;
        if (!parts.params[0].empty() && parts.params[0][0] == '&')
            parts.params[0].erase(0, 1);
    } else if (w0 == "function" && word_count > 1 && parts.words[1] != "exit" && parts.words[1] != "end") {
        for (std::string& p : parts.params) {
            if (!p.empty() && p[0] == '&')
                p.erase(0, 1);
        }
    }
    return TranslateOk;
}

// Builds the compiled line and turns "." and "," outside literals into the
// separator byte (from the second byte on).
std::string assemble(const LineParts& parts)
{
    std::string out;
    if (parts.assignment) {
        out += '&';
        out += parts.target;
        out += '=';
    }
    append_joined(out, parts.words);
    out += tok::Open;
    append_joined(out, parts.params);
    out += tok::Close;
    bool in_literal = false;
    for (size_t i = 0; i < out.size(); ++i) {
        char& c = out[i];
        if (c == '"')
            in_literal = !in_literal;
        else if (!in_literal && i > 0 && (c == '.' || c == ','))
            c = tok::Sep;
    }
    return out;
}

std::string drop_quotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '"')
            out += c;
    }
    return out;
}

// Splits a source text into lines at LF, CR LF or a lone CR.
std::vector<std::string_view> split_source_lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n' || c == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

} // namespace

TranslateResult translate_line(std::string& line)
{
    std::string_view source = strip_comment(line);
    if (int code = check_line(source); code != TranslateOk)
        return {code, false};

    std::string text = normalise(source);
    if (text.empty())
        return {TranslateOk, true};
    text = replace_literal_words(text);
    if (text.empty()) // a line of nothing but literal words that vanished
        return {TranslateOk, true};

    LineParts parts;
    if (int code = split_line(text, parts); code != TranslateOk)
        return {code, false};

    // Inline calls are wrapped in the parameters and in the target, whose
    // index may call a command too (a group may stand in the target).
    for (std::string& p : parts.params)
        p = wrap_inline_calls(p);
    if (parts.assignment)
        parts.target = wrap_inline_calls(parts.target);

    if (int code = apply_keyword_forms(parts); code != TranslateOk)
        return {code, false};

    if (parts.assignment)
        parts.target = mark_references(parts.target);
    for (std::string& w : parts.words)
        w = mark_references(w);
    for (std::string& p : parts.params)
        p = mark_references(p);

    std::string compiled = assemble(parts);
    compiled = mark_choices(compiled);
    line = drop_quotes(compiled);
    return {TranslateOk, false};
}

const char* translate_message(int code)
{
    switch (code) {
    case TranslateOk: return "translated";
    case TranslateNoVariable: return "no such variable";
    case TranslateOpenString: return "a string literal is not closed";
    case TranslateUnbalanced: return "the parentheses do not balance";
    case TranslateBadWords: return "the command words are followed by something other than a parameter list, '=' or the end of the line";
    case TranslateBadIf: return "'if' with a second word needs 'else', 'end' or exactly one condition";
    case TranslateBadFor: return "'for' needs its parameters";
    default: return "unknown translation result";
    }
}

CompiledSource compile_source(std::string_view text)
{
    // A UTF-8 byte order mark would otherwise become part of the first word.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    CompiledSource out;
    const std::vector<std::string_view> lines = split_source_lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line(lines[i]);
        TranslateResult r = translate_line(line);
        if (r.code != TranslateOk) {
            out.errors.push_back({static_cast<int>(i + 1), r.code, translate_message(r.code)});
            continue;
        }
        if (!r.empty)
            out.lines.push_back(std::move(line));
    }
    return out;
}

std::string encode_code_file(const std::vector<std::string>& lines)
{
    std::string out;
    size_t total = 0;
    for (const std::string& l : lines)
        total += l.size() + 2;
    out.reserve(total);
    // Every line ends with a line break, the last one too, so that a library
    // joined onto this file starts a line of its own.
    for (const std::string& l : lines) {
        out += l;
        out += "\r\n";
    }
    for (char& c : out)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return out;
}

} // namespace ruk
