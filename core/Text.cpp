// Integer expressions and result-text helpers.
#include "core/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ruk {

namespace {

constexpr int MaxNesting = 256;

struct Item {
    float value;
    char op; // '*', '/', '-', '+' or 0 at the end
};

// A small inline array of items that spills to the heap only for very long
// expressions.
class ItemList {
public:
    void push(Item item)
    {
        if (!m_spilled && m_size < Inline) {
            m_inline[m_size++] = item;
            return;
        }
        if (!m_spilled) {
            m_spill.assign(m_inline, m_inline + m_size);
            m_spilled = true;
        }
        m_spill.push_back(item);
        ++m_size;
    }
    Item* data() { return m_spilled ? m_spill.data() : m_inline; }
    size_t size() const { return m_size; }
    void shrink(size_t size)
    {
        m_size = size;
        if (m_spilled)
            m_spill.resize(size);
    }

private:
    static constexpr size_t Inline = 100;
    Item m_inline[Inline];
    std::vector<Item> m_spill;
    size_t m_size = 0;
    bool m_spilled = false;
};

// One pass over the items: every item whose operator is `op` is combined
// with its right neighbour, left to right, the result keeping the
// neighbour's operator. The list is compacted as it goes, so a pass is
// linear in the number of items.
void reduce(ItemList& items, char op)
{
    const size_t n = items.size();
    if (n < 2)
        return;
    Item* d = items.data();
    size_t out = 0;
    Item cur = d[0];
    for (size_t k = 1; k < n; ++k) {
        if (cur.op != op) {
            d[out++] = cur;
            cur = d[k];
            continue;
        }
        float a = cur.value, b = d[k].value, r;
        switch (op) {
        case '*': r = a * b; break;
        case '/': r = (b == 0.0f) ? 0.0f : a / b; break;
        case '-': r = a - b; break;
        default: r = a + b; break;
        }
        cur = {r, d[k].op};
    }
    d[out++] = cur;
    items.shrink(out);
}

int32_t truncate_to_int(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0f)
        return INT32_MAX;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Evaluates an expression in one left-to-right walk: a parenthesis is
// evaluated where it stands and the walk goes on after its closing byte, so
// every byte is looked at once and the time is linear in the text.
class Evaluator {
public:
    Evaluator(std::string_view text, int32_t fallback) : m_text(text), m_fallback(fallback) { }

    int32_t run()
    {
        size_t i = 0;
        return level(i, 0).value_or(m_fallback);
    }

private:
    // One level, from `i` to the end of the text (depth 0) or to the byte
    // that closes it (deeper), where `i` is left. nullopt means malformed;
    // an inner level that is malformed counts as the fallback in its parent,
    // while nesting past MaxNesting or a missing closing byte make the whole
    // evaluation yield the fallback.
    std::optional<int32_t> level(size_t& i, int depth)
    {
        if (depth > MaxNesting) {
            m_give_up = true;
            return std::nullopt;
        }
        const bool inner = depth > 0;
        ItemList items;
        uint32_t number = 0;
        bool digit = false;
        int sign = 1;
        auto append = [&](char op) {
            // sign x number in wrapping 32-bit arithmetic, then to single precision
            uint32_t signed_number = sign < 0 ? 0u - number : number;
            items.push({static_cast<float>(static_cast<int32_t>(signed_number)), op});
        };
        const size_t n = m_text.size();
        for (; i < n; ++i) {
            char c = m_text[i];
            if (c >= '0' && c <= '9') {
                number = number * 10u + static_cast<uint32_t>(c - '0');
                digit = true;
            } else if (c == ' ') {
                continue;
            } else if (c == '*' || c == '/' || c == '+') {
                append(c);
                number = 0;
                sign = 1;
                digit = false;
            } else if (c == '-') {
                if (digit) {
                    append('-');
                    number = 0;
                    sign = 1;
                    digit = false;
                } else {
                    sign = -1;
                }
            } else if (c == tok::Open) {
                ++i;
                int32_t v = m_fallback; // "()" counts as the fallback
                if (i >= n || m_text[i] != tok::Close) {
                    auto r = level(i, depth + 1);
                    if (m_give_up)
                        return std::nullopt;
                    v = r.value_or(m_fallback);
                }
                number = static_cast<uint32_t>(v);
                digit = true;
            } else if (c == tok::Close && inner) {
                break;
            } else {
                if (inner && !skip_to_close(i))
                    m_give_up = true;
                return std::nullopt;
            }
        }
        if (inner && i >= n) {
            m_give_up = true; // no closing byte
            return std::nullopt;
        }
        append(0);
        reduce(items, '*');
        reduce(items, '/');
        reduce(items, '-');
        reduce(items, '+');
        return truncate_to_int(items.data()[0].value);
    }

    // Moves `i` to the byte that closes the current level, counting nested
    // parentheses. Returns false when there is none.
    bool skip_to_close(size_t& i)
    {
        int nest = 1;
        for (; i < m_text.size(); ++i) {
            if (m_text[i] == tok::Open)
                ++nest;
            else if (m_text[i] == tok::Close && --nest == 0)
                return true;
        }
        return false;
    }

    std::string_view m_text;
    int32_t m_fallback;
    bool m_give_up = false;
};

} // namespace

namespace {

// The common short forms, numbers joined by "+" and "-", computed in whole
// numbers. Only taken when every value involved is exact in single
// precision, where the four passes give the same as adding up left to right.
std::optional<int32_t> eval_sum(std::string_view text)
{
    constexpr int64_t Exact = 16777216;
    int64_t total = 0, magnitude = 0, number = 0;
    int64_t sign = 1;
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            number = number * 10 + (c - '0');
            if (number > Exact)
                return std::nullopt;
            digit = true;
        } else if ((c == '+' || c == '-') && digit) {
            total += sign * number;
            magnitude += number;
            sign = c == '-' ? -1 : 1;
            number = 0;
            digit = false;
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    total += sign * number;
    magnitude += number;
    if (magnitude > Exact)
        return std::nullopt;
    return static_cast<int32_t>(total);
}

} // namespace

int32_t eval_int(std::string_view text, int32_t fallback)
{
    if (text.empty())
        return fallback;
    if (text.size() <= 7) {
        // Plain digits below 10,000,000 are exact in single precision.
        int32_t number = 0;
        size_t i = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            number = number * 10 + (text[i] - '0');
        if (i == text.size())
            return number;
    }
    if (text.size() <= 24) {
        if (auto sum = eval_sum(text))
            return *sum;
    }
    return Evaluator(text, fallback).run();
}

namespace {

// 1 for a digit, 2 for the other bytes of integer expressions, 4 for the rest.
struct IntBytes {
    uint8_t kind[256];
    constexpr IntBytes() : kind()
    {
        for (int c = 0; c < 256; ++c)
            kind[c] = 4;
        for (int c = '0'; c <= '9'; ++c)
            kind[c] = 1;
        for (char c : {'+', '-', '*', '/', tok::Open, tok::Close})
            kind[static_cast<unsigned char>(c)] = 2;
    }
};
constexpr IntBytes IntKinds;

} // namespace

bool is_int_expression(std::string_view text)
{
    uint8_t seen = 0;
    for (char c : text)
        seen |= IntKinds.kind[static_cast<unsigned char>(c)];
    return (seen & 5) == 1;
}

std::string int_to_text(int64_t value)
{
    // Two digits at a time from a table of the pairs 00 to 99.
    static constexpr char Pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                    "4041424344454647484950515253545556575859606162636465666768697071727374757677787980"
                                    "81828384858687888990919293949596979899";
    char digits[24];
    char* const end = digits + sizeof digits;
    char* p = end;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    while (magnitude >= 100) {
        const size_t pair = static_cast<size_t>(magnitude % 100) * 2;
        magnitude /= 100;
        p -= 2;
        p[0] = Pairs[pair];
        p[1] = Pairs[pair + 1];
    }
    if (magnitude >= 10) {
        p -= 2;
        p[0] = Pairs[magnitude * 2];
        p[1] = Pairs[magnitude * 2 + 1];
    } else {
        *--p = static_cast<char>('0' + magnitude);
    }
    if (value < 0)
        *--p = '-';
    const size_t size = static_cast<size_t>(end - p);
#if defined(__cpp_lib_string_resize_and_overwrite)
    std::string text;
    // The second argument may exceed the size asked for (the room made), so
    // the size itself is what is written and returned.
    text.resize_and_overwrite(size, [p, size](char* to, size_t) {
        std::memcpy(to, p, size);
        return size;
    });
    return text;
#else
    return std::string(p, size);
#endif
}

std::string flag_to_text(bool flag)
{
    return flag ? "1" : "0";
}

std::string show_tokens(std::string_view compiled)
{
    std::string out;
    out.reserve(compiled.size());
    for (char c : compiled) {
        switch (c) {
        case tok::Open: out += '('; break;
        case tok::Close: out += ')'; break;
        case tok::GroupOpen: out += '['; break;
        case tok::GroupClose: out += ']'; break;
        case tok::Condition: out += ' '; break;
        case tok::Sep: out += '.'; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string to_lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lower_char(c);
    return out;
}

bool starts_with_1(std::string_view text)
{
    return !text.empty() && text[0] == '1';
}

std::vector<std::string_view> split_pieces(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (;;) {
        size_t cut = text.find(separator, start);
        if (cut == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, cut - start));
        start = cut + 1;
    }
}

std::vector<std::string_view> split_words(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(separators, pos);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > pos)
            words.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

std::string_view trim_blanks(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && compare_ignoring_case(a, b) == 0;
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && equal_ignoring_case(text.substr(text.size() - suffix.size()), suffix);
}

int compare_ignoring_case(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(lower_char(a[i]));
        auto y = static_cast<unsigned char>(lower_char(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace ruk
