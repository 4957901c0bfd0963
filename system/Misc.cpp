// The "system" family. FIXME: only "message" and "lasterror" so far; the
// machine queries, processes, dialogs and switches come with the system services.
#include "system/Misc.h"

#include "core/Engine.h"

namespace ruk {

namespace {

Result system_family(Engine& e)
{
    const std::string& op = e.word(1);
    if (op == "message") {
        e.info_box(e.param(1));
        return std::nullopt;
    }
    if (op == "lasterror")
        return e.last_error();
    return e.call_function();
}

} // namespace

void register_system_family(Engine& engine)
{
    engine.register_family("system", system_family);
}

} // namespace ruk
