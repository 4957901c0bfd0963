// The "gesture" family: the last gesture or touch message and the cancel flag.
#include "core/Engine.h"
#include "graphics/InputFamilies.h"
#include "host/HostState.h"

namespace ruk {

// The engine window reads and clears the cancel flag after it has raised
// "gesture:start" or "touch:start"; a flag set outside those events waits
// for the next such message.
void register_gesture_family(Engine& engine, HostState& state)
{
    engine.register_family("gesture", [&state](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        if (w1 == "cancel") {
            state.gesture_cancel = starts_with_1(e.param(1)) ? 1 : 0;
            return std::nullopt;
        }
        if (w1 == "value")
            return int_to_text(static_cast<int32_t>(state.gesture_value));
        return std::nullopt; // no script function of that name is called
    });
}

} // namespace ruk
