// The condition evaluator: clauses joined by "and"/"or", compared as integers or texts.
#pragma once

#include <string_view>

namespace ruk {

class Engine;

inline constexpr const char* MsgBadCondition =
    "Cannot evaluate conditional expression. Check syntaxe and parenthesis.";

// Outcome of a condition without any message: true, false, or refused for
// passing the limits (25 clauses or more, a clause of 2500 bytes or more).
enum class ConditionValue { False = 0, True = 1, TooLarge = -2 };

// Evaluates a condition text (the text after a condition group's first byte,
// inner groups already replaced). Reports malformed conditions through the
// engine's error path and answers false for them.
bool eval_condition(Engine& engine, std::string_view condition);

// The same evaluation without messages, as "num" "eval" uses it: an empty
// text is false and a clause with more than one comparison byte counts as true.
ConditionValue eval_condition_quiet(std::string_view condition);

} // namespace ruk
