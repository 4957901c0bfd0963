// The "extern" family: other programs' windows and messages to other engines.
#pragma once

namespace ruk {

class Engine;
class X11Desktop;
struct InterEngineState;

// Registers the family. The state and the desktop are the engine's own and
// must outlive its dispatcher table; the family reads what the engine window
// received and sends through the desktop connection.
void register_extern_family(Engine& engine, InterEngineState& state, X11Desktop& desktop);

} // namespace ruk
