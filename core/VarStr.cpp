// The "str" family: cutting, searching, replacing and wrapping texts.
#include "core/Var.h"

#include "core/Engine.h"
#include "core/Text.h"

#include <array>
#include <cstdint>

namespace ruk {

namespace {

constexpr size_t NotFound = std::string_view::npos;

char upper_char(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when `search` occurs in `text` at `at`; without `case_sensitive` ASCII
// letters match either case. `search` must fit.
bool matches_at(std::string_view text, size_t at, std::string_view search, bool case_sensitive)
{
    if (at > text.size() || text.size() - at < search.size())
        return false;
    for (size_t i = 0; i < search.size(); ++i) {
        char a = text[at + i], b = search[i];
        if (a != b && (case_sensitive || lower_char(a) != lower_char(b)))
            return false;
    }
    return true;
}

size_t find_text(std::string_view text, std::string_view search, size_t from, bool case_sensitive)
{
    if (case_sensitive)
        return text.find(search, from);
    if (search.size() > text.size())
        return NotFound;
    for (size_t at = from; at + search.size() <= text.size(); ++at)
        if (matches_at(text, at, search, false))
            return at;
    return NotFound;
}

// A parameter as a count or position: negative values count as 0.
size_t clamp_index(int32_t v)
{
    return v < 0 ? 0 : static_cast<size_t>(v);
}

// --- structured search ---

// The bracket pairs the structured search can skip, in switch order after the
// two quote switches.
struct Pair {
    char open, close;
};
constexpr std::array<Pair, 4> Pairs{{{'(', ')'}, {'{', '}'}, {'[', ']'}, {'<', '>'}}};
constexpr size_t AnglePair = 3;

// What an error at position 0 or 1 answers: the plain negated position would
// read as a match at 0 or as "no occurrence".
constexpr int64_t EarlyStructureError = INT32_MIN;

struct SearchSwitches {
    bool case_sensitive = false;
    bool double_quotes = false;
    bool single_quotes = false;
    std::array<bool, 4> pairs{};
};

int64_t structure_error(size_t at)
{
    return at < 2 ? EarlyStructureError : -static_cast<int64_t>(at);
}

// Finds `search` in `text` from `start`, outside quoted text and bracket
// pairs whose switches are on. Returns the position, -1 when there is none,
// or the negated position of a stray closing byte, an unterminated quote or an
// unclosed pair (see structure_error).
//
// Inside an open pair the search looks for its closing byte only, counting
// nested pairs of the same kind; the pairs already open are not tracked again
// further in, while the other switched-on pairs and both quote kinds are. A
// quote is skipped up to the next equal quote, whatever lies between. "<"
// pairs do not nest: a "<" inside an open "<" pair is an error. Each kind is
// open at most once (deeper pairs of a kind only count), so at most four
// regions are ever open and the walk needs neither recursion nor the heap.
int64_t structured_search(std::string_view text, std::string_view search, size_t start, const SearchSwitches& sw)
{
    struct Open {
        size_t kind;
        size_t at;
        size_t depth;
    };
    std::array<Open, Pairs.size()> open{};
    size_t open_count = 0;
    std::array<bool, Pairs.size()> inside{};

    auto pair_active = [&](size_t kind) { return sw.pairs[kind] && !inside[kind]; };

    size_t pos = start;
    while (pos < text.size()) {
        if (open_count == 0 && matches_at(text, pos, search, sw.case_sensitive))
            return static_cast<int64_t>(pos);
        char c = text[pos];
        if (open_count > 0) {
            Open& top = open[open_count - 1];
            const Pair& pair = Pairs[top.kind];
            if (c == pair.close) {
                if (--top.depth == 0) {
                    inside[top.kind] = false;
                    --open_count;
                }
                ++pos;
                continue;
            }
            if (c == pair.open) {
                if (top.kind == AnglePair)
                    return structure_error(pos);
                ++top.depth;
                ++pos;
                continue;
            }
        }
        if ((c == '"' && sw.double_quotes) || (c == '\'' && sw.single_quotes)) {
            size_t close = text.find(c, pos + 1);
            if (close == NotFound)
                return structure_error(pos);
            pos = close + 1;
            continue;
        }
        bool handled = false;
        for (size_t kind = 0; kind < Pairs.size() && !handled; ++kind) {
            if (!pair_active(kind))
                continue;
            if (c == Pairs[kind].open) {
                open[open_count++] = {kind, pos, 1};
                inside[kind] = true;
                handled = true;
            } else if (c == Pairs[kind].close) {
                return structure_error(pos);
            }
        }
        ++pos;
    }
    if (open_count > 0)
        return structure_error(open[open_count - 1].at);
    return -1;
}

// --- wrapping and line breaks ---

bool is_line_break(char c)
{
    return c == '\r' || c == '\n';
}

bool is_break_char(char c)
{
    return c == ' ' || c == ',' || c == '-' || c == '.';
}

// Inserts `breaker` after the last break character of a line once the line
// would pass `width` bytes. Quoted text is never broken; a line without a
// break character runs on until its next one. Existing line breaks start a
// new line (and close any open quote). A width below 1 leaves the text as it is.
std::string wrap_text(std::string_view text, std::string_view breaker, int32_t width)
{
    std::string out;
    if (width < 1) {
        out.assign(text);
        return out;
    }
    out.reserve(text.size() + text.size() / static_cast<size_t>(width) * breaker.size() + 8);
    const size_t limit = static_cast<size_t>(width);
    size_t line_start = 0;
    size_t last_break = NotFound;
    char quote = 0;
    for (char c : text) {
        if (is_line_break(c)) {
            out += c;
            line_start = out.size();
            last_break = NotFound;
            quote = 0;
            continue;
        }
        if (out.size() - line_start >= limit && last_break != NotFound) {
            out.insert(last_break, breaker);
            line_start = last_break + breaker.size();
            last_break = NotFound;
        }
        out += c;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (is_break_char(c)) {
            last_break = out.size();
        }
    }
    return out;
}

// Every lone CR, lone LF and LF CR pair becomes CR LF.
std::string adjust_line_breaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            char pair = c == '\r' ? '\n' : '\r';
            if (i + 1 < text.size() && text[i + 1] == pair)
                ++i;
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string replace_text(std::string_view text, std::string_view old_text, std::string_view new_text,
                         bool case_sensitive, bool every)
{
    std::string out;
    if (old_text.empty()) {
        out.assign(text);
        return out;
    }
    size_t from = 0;
    while (true) {
        size_t at = find_text(text, old_text, from, case_sensitive);
        if (at == NotFound)
            break;
        out.append(text.substr(from, at - from));
        out.append(new_text);
        from = at + old_text.size();
        if (!every)
            break;
    }
    out.append(text.substr(from));
    return out;
}

Result str_command(Engine& e)
{
    const std::string_view w = e.word(1);
    std::string_view text = e.param(1);
    if (w == "sub") {
        size_t start = clamp_index(e.param_int(2, 0));
        size_t count = clamp_index(e.param_int(3, 1));
        if (start > text.size())
            return std::nullopt;
        return std::string(text.substr(start, count));
    }
    if (w == "len")
        return int_to_text(static_cast<int64_t>(text.size()));
    if (w == "char") {
        char c = static_cast<char>(static_cast<uint32_t>(e.param_int(1, 0)) & 0xFFu);
        return c == 0 ? std::string() : std::string(1, c);
    }
    if (w == "right") {
        size_t n = clamp_index(e.param_int(2, 0));
        return std::string(text.substr(n > text.size() ? 0 : n));
    }
    if (w == "left") {
        size_t n = clamp_index(e.param_int(2, 0));
        return std::string(text.substr(0, n));
    }
    if (w == "lower" || w == "upper") {
        std::string out(text);
        bool lower = w == "lower";
        for (char& c : out)
            c = lower ? lower_char(c) : upper_char(c);
        return out;
    }
    if (w == "trim")
        return std::string(trim_blanks(text));
    if (w == "posex") {
        std::string_view search = e.param(2);
        int32_t start = e.param_int(4, 0);
        if (search.empty() || start < 0 || static_cast<size_t>(start) > text.size())
            return std::nullopt;
        SearchSwitches sw;
        sw.case_sensitive = starts_with_1(e.param(3));
        sw.double_quotes = starts_with_1(e.param(5));
        sw.single_quotes = starts_with_1(e.param(6));
        for (size_t k = 0; k < Pairs.size(); ++k)
            sw.pairs[k] = starts_with_1(e.param(static_cast<int>(7 + k)));
        int64_t at = structured_search(text, search, static_cast<size_t>(start), sw);
        if (at == -1)
            return std::nullopt;
        return int_to_text(at);
    }
    if (w == "pos") {
        std::string_view search = e.param(2);
        int32_t start = e.param_int(4, 0);
        if (search.empty() || start < 0 || static_cast<size_t>(start) > text.size())
            return std::nullopt;
        size_t at = find_text(text, search, static_cast<size_t>(start), starts_with_1(e.param(3)));
        if (at == NotFound)
            return std::nullopt;
        return int_to_text(static_cast<int64_t>(at));
    }
    if (w == "replace") {
        bool every = e.param(5).empty() || e.param(5)[0] != '0';
        return replace_text(text, e.param(2), e.param(3), starts_with_1(e.param(4)), every);
    }
    if (w == "adjustlinebreaks")
        return adjust_line_breaks(text);
    if (w == "wraptext") {
        std::string_view breaker = e.param(2);
        if (breaker.empty())
            breaker = "\n\r";
        return wrap_text(text, breaker, e.param_int(3, 80));
    }
    return e.call_function();
}

} // namespace

void register_str_family(Engine& engine)
{
    engine.register_family("str", str_command);
}

} // namespace ruk
