// Condition groups of translated lines: the comparison operators of conditions and inline choices.
#include "system/ConditionMarks.h"

#include "core/Text.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace ruk {

namespace {

// Comparison and connector bytes of condition clauses.
constexpr char CmpNotEqual = '\x01';
constexpr char CmpLess = '\x02';
constexpr char CmpGreater = '\x03';
constexpr char CmpEqual = '\x04';
constexpr char CmpLessEqual = '\x05';
constexpr char CmpGreaterEqual = '\x06';

// One byte of a line being given condition marks. Marks are kept beside the
// bytes rather than inserted, so that the operator replacements see the text
// as written: a condition's "0x0E 0x10" goes before the byte, "0x0F" too.
struct MarkedByte {
    char c = 0;
    bool convert = false; // inside a condition and outside literals
    uint32_t opens = 0;   // condition groups opening before this byte
    uint32_t closes = 0;  // condition groups closing before this byte
};

// Applies the condition operators, in their fixed order, to the bytes marked
// for conversion, then writes the text with its condition groups. The last
// element is an end marker that only carries marks.
std::string apply_condition_rule(std::vector<MarkedByte> bytes)
{
    struct Pair {
        char first;
        char second;
        char code;
    };
    static constexpr Pair Ops[] = {
        {'<', '=', CmpLessEqual}, {'>', '=', CmpGreaterEqual}, {'<', '>', CmpNotEqual},
        {'!', '=', CmpNotEqual},  {'<', 0, CmpLess},           {'>', 0, CmpGreater},
        {'&', '&', tok::And},     {'|', '|', tok::Or},         {'=', '=', CmpEqual},
        {'=', 0, CmpEqual},
    };
    const size_t body = bytes.size() - 1; // the end marker is never converted
    size_t count = body;
    for (const Pair& op : Ops) {
        size_t w = 0;
        for (size_t r = 0; r < count; ++r) {
            MarkedByte b = bytes[r];
            if (b.convert && b.c == op.first) {
                if (op.second == 0) {
                    b.c = op.code;
                } else if (r + 1 < count && bytes[r + 1].convert && bytes[r + 1].c == op.second
                           && bytes[r + 1].opens == 0 && bytes[r + 1].closes == 0) {
                    b.c = op.code;
                    ++r;
                }
            }
            bytes[w++] = b;
        }
        bytes[w] = bytes[count]; // the end marker moves down with the text
        count = w;
    }
    std::string out;
    out.reserve(count + 8);
    for (size_t i = 0; i <= count; ++i) {
        const MarkedByte& b = bytes[i];
        for (uint32_t k = 0; k < b.opens; ++k) {
            out += tok::GroupOpen;
            out += tok::Condition;
        }
        out.append(b.closes, tok::GroupClose);
        if (i < count)
            out += b.c;
    }
    return out;
}

} // namespace

// The condition rule for a whole parameter: the parameter becomes one
// condition group.
std::string condition_group(std::string_view param)
{
    std::vector<MarkedByte> bytes(param.size() + 1);
    bool in_literal = false;
    for (size_t i = 0; i < param.size(); ++i) {
        char c = param[i];
        bytes[i].c = c;
        if (c == '"')
            in_literal = !in_literal;
        else
            bytes[i].convert = !in_literal;
    }
    bytes[0].opens = 1;
    bytes[param.size()].closes = 1;
    return apply_condition_rule(std::move(bytes));
}

// Turns the first argument of every inline choice "?" into a condition
// group, unless it already is one. The arguments are found in one pass with
// a stack of open lists and groups; choices nested in a first argument get
// their own groups.
std::string mark_choices(std::string_view line)
{
    const size_t n = line.size();
    std::vector<MarkedByte> bytes(n + 1);
    struct Level {
        bool choice_arg = false; // this list is a choice whose first argument is still open
    };
    std::vector<Level> levels;
    int64_t open_args = 0;
    bool in_literal = false;
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
        char c = line[i];
        MarkedByte& b = bytes[i];
        b.c = c;
        if (c == '"') {
            in_literal = !in_literal;
            continue;
        }
        if (in_literal) {
            b.convert = false;
            continue;
        }
        if (c == tok::Sep || c == tok::Close || c == tok::GroupClose) {
            if (!levels.empty() && levels.back().choice_arg) {
                ++b.closes;
                levels.back().choice_arg = false;
                --open_args;
            }
            if (c != tok::Sep && !levels.empty())
                levels.pop_back();
            b.convert = open_args > 0;
            continue;
        }
        b.convert = open_args > 0;
        if (c == '?' && i + 1 < n && line[i + 1] == tok::Open) {
            bool marked = i + 3 < n && line[i + 2] == tok::GroupOpen && line[i + 3] == tok::Condition;
            bytes[i + 1].c = tok::Open;
            bytes[i + 1].convert = open_args > 0;
            levels.push_back({!marked});
            if (!marked) {
                ++bytes[i + 2].opens; // i + 2 <= n: the end marker when the line stops here
                ++open_args;
                any = true;
            }
            ++i;
            continue;
        }
        if (c == tok::Open || c == tok::GroupOpen)
            levels.push_back({});
    }
    if (!any)
        return std::string(line);
    bytes[n].closes += static_cast<uint32_t>(open_args);
    return apply_condition_rule(std::move(bytes));
}

} // namespace ruk
