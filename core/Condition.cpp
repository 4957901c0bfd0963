// The condition evaluator: clauses joined by "and"/"or", compared as integers or texts.
#include "core/Condition.h"

#include "core/Engine.h"
#include "core/Text.h"

#include <cstdint>

namespace ruk {

namespace {

constexpr size_t MaxClauses = 24;
constexpr size_t MaxClauseBytes = 2499;

unsigned char fold(char c)
{
    return static_cast<unsigned char>(lower_char(c));
}

// Orders two texts byte by byte with ASCII letters folded to lower case and
// the bytes taken as unsigned; a text that is a prefix of the other sorts
// first. Returns <0, 0 or >0. Allocates nothing.
int compare_texts(std::string_view a, std::string_view b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = fold(a[i]);
        unsigned char y = fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool apply_comparison(char op, int order)
{
    switch (op) {
    case '\x01': return order != 0;
    case '\x02': return order < 0;
    case '\x03': return order > 0;
    case '\x04': return order == 0;
    case '\x05': return order <= 0;
    default: return order >= 0;
    }
}

// What a byte is to the evaluator, one bit per kind.
enum : uint8_t {
    Digit = 1,
    IntByte = 2,      // + - * / and the numeric parentheses
    Comparison = 4,
    Connector = 8,
    NotInt = 16,      // anything an integer expression cannot hold
};

struct ByteKinds {
    uint8_t kind[256];
    constexpr ByteKinds() : kind()
    {
        for (int c = 0; c < 256; ++c) {
            uint8_t k = NotInt;
            if (c >= '0' && c <= '9')
                k = Digit;
            else if (c == '+' || c == '-' || c == '*' || c == '/' || c == static_cast<unsigned char>(tok::Open)
                     || c == static_cast<unsigned char>(tok::Close))
                k = IntByte;
            else if (c >= 1 && c <= 6)
                k = Comparison | NotInt;
            else if (c == static_cast<unsigned char>(tok::And) || c == static_cast<unsigned char>(tok::Or))
                k = Connector | NotInt;
            kind[c] = k;
        }
    }
};
constexpr ByteKinds Kinds;

// An operand whose bytes, taken together, have these kinds is an integer
// expression: nothing else than digits and operators, and a digit.
bool is_int_operand(uint8_t kinds)
{
    return (kinds & (NotInt | Digit)) == Digit;
}

enum class Outcome { False, True, TooLarge, Malformed };

// Walks the text once, clause by clause: a single operand is true only for
// the exact text "1"; two operands around one comparison byte compare as
// numbers when both are integer expressions, otherwise as texts. Clauses
// combine strictly from left to right. The limits hold over the whole text:
// a text past them is too large even where an earlier clause is malformed.
// A malformed clause makes the whole condition malformed unless
// `malformed_is_true`, in which case it simply counts as true.
Outcome evaluate(std::string_view text, bool malformed_is_true)
{
    const size_t n = text.size();
    bool result = false;
    bool malformed = false;
    char connector = 0;
    size_t clauses = 0;
    size_t start = 0;
    for (;;) {
        size_t op_at = std::string_view::npos;
        int comparisons = 0;
        uint8_t left = 0, right = 0;
        size_t i = start;
        for (; i < n; ++i) {
            const uint8_t kind = Kinds.kind[static_cast<unsigned char>(text[i])];
            if (kind & Connector)
                break;
            if (kind & Comparison) {
                if (comparisons++ == 0)
                    op_at = i;
                continue;
            }
            if (comparisons == 0)
                left |= kind;
            else
                right |= kind;
        }
        if (i - start > MaxClauseBytes || ++clauses > MaxClauses)
            return Outcome::TooLarge;

        bool clause;
        if (comparisons == 0) {
            clause = text.substr(start, i - start) == "1";
        } else if (comparisons > 1) {
            malformed = true;
            clause = true;
        } else {
            const std::string_view a = text.substr(start, op_at - start);
            const std::string_view b = text.substr(op_at + 1, i - op_at - 1);
            int order;
            if (is_int_operand(left) && is_int_operand(right)) {
                const int32_t x = eval_int(a, 0);
                const int32_t y = eval_int(b, 0);
                order = x < y ? -1 : (x > y ? 1 : 0);
            } else {
                order = compare_texts(a, b);
            }
            clause = apply_comparison(text[op_at], order);
        }
        if (connector == 0)
            result = clause;
        else if (connector == tok::And)
            result = result && clause;
        else
            result = result || clause;
        if (i >= n)
            break;
        connector = text[i];
        start = i + 1;
    }
    if (malformed && !malformed_is_true)
        return Outcome::Malformed;
    return result ? Outcome::True : Outcome::False;
}

} // namespace

bool eval_condition(Engine& engine, std::string_view condition)
{
    if (condition.empty()) {
        engine.report_error(MsgBadCondition);
        return false;
    }
    switch (evaluate(condition, false)) {
    case Outcome::True:
        return true;
    case Outcome::Malformed:
        engine.report_error(MsgBadCondition);
        return false;
    default:
        return false;
    }
}

ConditionValue eval_condition_quiet(std::string_view condition)
{
    if (condition.empty())
        return ConditionValue::False;
    switch (evaluate(condition, true)) {
    case Outcome::True:
        return ConditionValue::True;
    case Outcome::TooLarge:
        return ConditionValue::TooLarge;
    default:
        return ConditionValue::False;
    }
}

} // namespace ruk
