// The "window" family: the engine's windows as scripts see them.
#pragma once

#include <functional>

namespace ruk {

class Engine;
class TrukEngineWin;
struct HostState;

// The window of a slot, or null when the slot is free.
using WindowLookup = std::function<TrukEngineWin*(int index)>;

// FIXME: so far the family knows the engine window only (index 0, "main"):
// its size and position, title, visibility, timer, the close switches and
// the family-level questions. Script windows, outlines, motion, saved
// positions and the desktop-bar and status-icon operations come later.
void register_window_family(Engine& engine, HostState& state, WindowLookup lookup);

} // namespace ruk
