// Condition groups of translated lines: the comparison operators of conditions and inline choices.
#pragma once

#include <string>
#include <string_view>

namespace ruk {

// Both work on a line that is already normalised (no blanks outside
// literals, the parameter bytes in place). Outside literals, the operators
// of a condition become their bytes, in a fixed order: "<=", ">=", "<>",
// "!=", "<", ">", "&&", "||", "==", "=".

// The condition rule for a whole parameter: the parameter becomes one
// condition group.
std::string condition_group(std::string_view param);

// Turns the first argument of every inline choice "?" into a condition
// group, unless it already is one; a line without choices comes back as it was.
std::string mark_choices(std::string_view line);

} // namespace ruk
