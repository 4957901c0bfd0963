// Placeholder until the condition evaluator lands: a single operand "1" is true.
#include "core/Condition.h"

namespace ruk {

bool eval_condition(Engine&, std::string_view condition)
{
    return condition == "1";
}

ConditionValue eval_condition_quiet(std::string_view condition)
{
    return condition == "1" ? ConditionValue::True : ConditionValue::False;
}

} // namespace ruk
