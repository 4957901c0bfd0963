// Control flow: loops, branches, event ends, delayed events and script function calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Text.h"

namespace ruk {

class Engine;

inline constexpr const char* MsgWhileEnd = "Error while/end";
inline constexpr const char* MsgForNext = "Error for/next";
inline constexpr const char* MsgTooManyWhiles = "Too many whiles";
inline constexpr const char* MsgTooManyFors = "Too many Fors";
inline constexpr const char* MsgIncomplete = "Unknown or incomplete command : ";
inline constexpr const char* MsgMisplacedEnd = "Misplaced Function.End";

// Registers "for", "if", "doevent", "event", "function", "return" and
// "while", and makes the script function call the dispatcher's fallback.
void register_control_flow(Engine& engine);

// Calls the script function named by the current command (words joined with
// ":", a leading "_" dropped) with the current parameters. The calling line
// is abandoned; it runs again with the returned value when the call stood in
// a group.
Result call_script_function(Engine& engine);

// Runs the function with exactly this name to its end, giving it up to 12
// values as parameters. Returns false when there is no such function or the
// call is refused. The returned value is not passed back.
bool call_function_external(Engine& engine, std::string_view name, const std::vector<std::string>& values);

} // namespace ruk
