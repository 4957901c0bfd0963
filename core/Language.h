// Registers the language's own words and built-in families with an engine.
#pragma once

namespace ruk {

class Engine;

// "s", "?", the control-flow keywords, "num", "var" and "str", in the order of
// the dispatcher's table, and the script function call as its fallback.
void register_language(Engine& engine);

} // namespace ruk
