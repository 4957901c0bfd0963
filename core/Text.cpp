// Integer expressions and result-text helpers.
#include "core/Text.h"

#include <cmath>
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
        if (m_size < Inline)
            m_inline[m_size] = item;
        else {
            if (m_spill.empty())
                m_spill.assign(m_inline, m_inline + Inline);
            m_spill.push_back(item);
        }
        ++m_size;
    }
    Item* data() { return m_size <= Inline ? m_inline : m_spill.data(); }
    size_t size() const { return m_size; }
    void erase(size_t i)
    {
        Item* d = data();
        for (size_t k = i; k + 1 < m_size; ++k)
            d[k] = d[k + 1];
        --m_size;
        if (m_size > Inline)
            m_spill.pop_back();
        else if (!m_spill.empty() && m_size == Inline) {
            for (size_t k = 0; k < Inline; ++k)
                m_inline[k] = m_spill[k];
            m_spill.clear();
        }
    }

private:
    static constexpr size_t Inline = 100;
    Item m_inline[Inline];
    std::vector<Item> m_spill;
    size_t m_size = 0;
};

void reduce(ItemList& items, char op)
{
    size_t i = 0;
    while (i + 1 < items.size()) {
        Item* d = items.data();
        if (d[i].op != op) {
            ++i;
            continue;
        }
        float a = d[i].value, b = d[i + 1].value, r;
        switch (op) {
        case '*': r = a * b; break;
        case '/': r = (b == 0.0f) ? 0.0f : a / b; break;
        case '-': r = a - b; break;
        default: r = a + b; break;
        }
        d[i + 1].value = r;
        items.erase(i);
    }
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

// One level of an expression. nullopt means malformed; `too_deep` is set when
// nesting passed MaxNesting, which makes the whole evaluation yield the fallback.
std::optional<int32_t> eval_level(std::string_view text, int32_t fallback, int depth, bool& too_deep)
{
    if (depth > MaxNesting) {
        too_deep = true;
        return std::nullopt;
    }
    ItemList items;
    uint32_t number = 0;
    bool digit = false;
    int sign = 1;
    auto append = [&](char op) {
        // sign x number in wrapping 32-bit arithmetic, then to single precision
        uint32_t signed_number = sign < 0 ? 0u - number : number;
        items.push({static_cast<float>(static_cast<int32_t>(signed_number)), op});
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
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
            int nest = 1;
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                if (text[j] == tok::Open)
                    ++nest;
                else if (text[j] == tok::Close && --nest == 0)
                    break;
            }
            if (j >= text.size())
                return std::nullopt; // no matching close
            std::string_view inner = text.substr(i + 1, j - i - 1);
            // The inner text is a whole expression of its own: malformed inner
            // text gives the fallback as this number, not for the whole.
            int32_t v = fallback;
            if (!inner.empty()) {
                auto r = eval_level(inner, fallback, depth + 1, too_deep);
                if (too_deep)
                    return std::nullopt;
                v = r.value_or(fallback);
            }
            number = static_cast<uint32_t>(v);
            digit = true;
            i = j;
        } else {
            return std::nullopt;
        }
    }
    append(0);
    reduce(items, '*');
    reduce(items, '/');
    reduce(items, '-');
    reduce(items, '+');
    return truncate_to_int(items.data()[0].value);
}

} // namespace

int32_t eval_int(std::string_view text, int32_t fallback)
{
    if (text.empty())
        return fallback;
    bool too_deep = false;
    return eval_level(text, fallback, 0, too_deep).value_or(fallback);
}

bool is_int_expression(std::string_view text)
{
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '+' && c != '-' && c != '*' && c != '/' && c != tok::Open && c != tok::Close)
            return false;
    }
    return digit;
}

std::string int_to_text(int64_t value)
{
    return std::to_string(value);
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

char lower_char(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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

} // namespace ruk
