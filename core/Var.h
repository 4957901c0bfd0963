// The built-in families of the language core: "var" (variables), "num" (numbers) and "str" (texts).
#pragma once

namespace ruk {

class Engine;

void register_var_family(Engine& engine);
void register_num_family(Engine& engine);
void register_str_family(Engine& engine);

} // namespace ruk
