// The "window" family: the engine's windows as scripts see them.
#pragma once

#include "graphics/ScriptWindow.h"

namespace ruk {

class Engine;
class Registry;
struct HostState;
struct PackageHeader;

// FIXME: so far the family knows the engine window only (index 0, "main"):
// its size and position (saved positions included), title, visibility,
// timer, the close switches and the family-level questions. Script windows, outlines, motion, saved
// positions and the desktop-bar and status-icon operations come later.
// Saved positions ("pos" "save"/"load") live in `registry` under the package's
// settings key; without a registry they save nothing and load nothing.
void register_window_family(Engine& engine, HostState& state, WindowHost& windows, Registry* registry = nullptr,
                            const PackageHeader* package = nullptr);

} // namespace ruk
