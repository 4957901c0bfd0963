// The condition evaluator: clauses joined by "and"/"or", compared as integers or texts.
#include "core/Condition.h"

#include "core/Engine.h"
#include "core/Text.h"

#include <cstdint>

namespace ruk {

namespace {

constexpr size_t MaxClauses = 24;
constexpr size_t MaxClauseBytes = 2499;

bool is_connector(char c)
{
    return c == tok::And || c == tok::Or;
}

bool is_comparison(char c)
{
    return c >= '\x01' && c <= '\x06';
}

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

enum class ClauseValue { False, True, Malformed };

// One clause: a single operand (true only for the exact text "1"), or two
// operands around one comparison byte. Two integer expressions compare as
// numbers, anything else as texts.
ClauseValue eval_clause(std::string_view clause)
{
    size_t op_at = std::string_view::npos;
    for (size_t i = 0; i < clause.size(); ++i) {
        if (!is_comparison(clause[i]))
            continue;
        if (op_at != std::string_view::npos)
            return ClauseValue::Malformed;
        op_at = i;
    }
    if (op_at == std::string_view::npos)
        return clause == "1" ? ClauseValue::True : ClauseValue::False;

    std::string_view left = clause.substr(0, op_at);
    std::string_view right = clause.substr(op_at + 1);
    int order;
    if (is_int_expression(left) && is_int_expression(right)) {
        int32_t a = eval_int(left, 0);
        int32_t b = eval_int(right, 0);
        order = a < b ? -1 : (a > b ? 1 : 0);
    } else {
        order = compare_texts(left, right);
    }
    return apply_comparison(clause[op_at], order) ? ClauseValue::True : ClauseValue::False;
}

enum class Outcome { False, True, TooLarge, Malformed };

// Checks the limits over the whole text first, then combines the clauses
// strictly from left to right. A malformed clause ends the evaluation unless
// `malformed_is_true`, in which case it simply counts as true.
Outcome evaluate(std::string_view text, bool malformed_is_true)
{
    size_t clauses = 1;
    size_t clause_start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !is_connector(text[i]))
            continue;
        if (i - clause_start > MaxClauseBytes)
            return Outcome::TooLarge;
        if (i < text.size()) {
            if (++clauses > MaxClauses)
                return Outcome::TooLarge;
            clause_start = i + 1;
        }
    }

    bool result = false;
    char connector = 0;
    size_t start = 0;
    while (true) {
        size_t end = start;
        while (end < text.size() && !is_connector(text[end]))
            ++end;
        ClauseValue value = eval_clause(text.substr(start, end - start));
        if (value == ClauseValue::Malformed) {
            if (!malformed_is_true)
                return Outcome::Malformed;
            value = ClauseValue::True;
        }
        bool clause = value == ClauseValue::True;
        if (connector == 0)
            result = clause;
        else if (connector == tok::And)
            result = result && clause;
        else
            result = result || clause;
        if (end >= text.size())
            break;
        connector = text[end];
        start = end + 1;
    }
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
