// Registration of the language's words in the dispatcher's table.
#include "core/Language.h"

#include "core/Engine.h"
#include "core/Struct.h"
#include "core/Var.h"

namespace ruk {

void register_language(Engine& engine)
{
    register_core_words(engine);
    register_control_flow(engine);
    register_num_family(engine);
    register_var_family(engine);
    register_str_family(engine);
}

} // namespace ruk
