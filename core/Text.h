// Integer expressions and the small text helpers every command handler uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

// Token bytes of a compiled line.
namespace tok {
inline constexpr char Sep = '\x8E';        // between words and between parameters
inline constexpr char Open = '\x8F';       // opens the parameter list / numeric parenthesis
inline constexpr char Close = '\x90';      // closes the parameter list / numeric parenthesis
inline constexpr char GroupOpen = '\x0E';
inline constexpr char GroupClose = '\x0F';
inline constexpr char Condition = '\x10';  // first byte of a condition group
inline constexpr char And = '\x08';
inline constexpr char Or = '\x09';
} // namespace tok

// A command's result: a text, or nothing (an assignment is then skipped).
using Result = std::optional<std::string>;

// Value of an integer expression: digits, blanks, + - * /, and numeric
// parentheses (0x8F ... 0x90). Items are single-precision values reduced in
// four left-to-right passes (* then / then - then +); the value is truncated
// toward zero. Any other byte, or nesting too deep to be a real expression,
// yields `fallback`. Never fails and never allocates.
int32_t eval_int(std::string_view text, int32_t fallback);

// True when the text is non-empty, made only of digits, + - * / and the
// numeric parentheses, and holds at least one digit.
bool is_int_expression(std::string_view text);
// Digits without a leading zero, few enough to be exact in single
// precision: the text int_to_text(eval_int(text)) gives back unchanged.
inline bool is_canonical_number(std::string_view text)
{
    if (text.empty() || text.size() > 7 || (text[0] == '0' && text.size() > 1))
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string int_to_text(int64_t value);
std::string flag_to_text(bool flag);

// The token bytes shown as the notation's characters, as error reports and
// the disassembler print them.
std::string show_tokens(std::string_view compiled);

// Lower-casing of 8-bit text (ASCII letters only; other bytes unchanged).
std::string to_lower(std::string_view text);
inline char lower_char(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool starts_with_1(std::string_view text);

// Pieces between separators; the piece after the last separator is always
// there, so "" gives one empty piece and "a," gives "a" and "".
std::vector<std::string_view> split_pieces(std::string_view text, char separator);
// The non-empty runs of the text between any of the `separators` bytes.
std::vector<std::string_view> split_words(std::string_view text, std::string_view separators);

// The text without the blanks and control bytes (0x00 to 0x20) at either end.
std::string_view trim_blanks(std::string_view text);

// Comparisons that ignore the letter case of ASCII letters only, byte by
// byte; other bytes compare by their unsigned value.
bool equal_ignoring_case(std::string_view a, std::string_view b);
bool ends_with_ignoring_case(std::string_view text, std::string_view suffix);
// Below zero, zero or above zero as `a` sorts before, with or after `b`.
int compare_ignoring_case(std::string_view a, std::string_view b);

} // namespace ruk
