// The "window" family: the engine's windows as scripts see them.
#pragma once

#include "graphics/ScriptWindow.h"

namespace ruk {

class Engine;
class Registry;
class BitmapReferences;
struct HostState;
struct PackageHeader;

// Every window in the table answers: the family-level sub-commands, the
// per-window ones, "pos", and the outline, look and picture commands.
// Positions set by "left", "top", "pos" and the saved-position loader move
// the real window at once and are kept as the window's target position too.
// Saved positions ("pos" "save"/"load") live in `registry` under the
// package's settings key; without a registry they save nothing and load
// nothing. "shape" "from" resolves bitmap references through `bitmaps`, the
// table the draw family shares; without one it knows the windows' own
// bitmaps only.
void register_window_family(Engine& engine, HostState& state, WindowHost& windows, Registry* registry = nullptr,
                            const PackageHeader* package = nullptr, BitmapReferences* bitmaps = nullptr);

// A window reference: "main" or an integer expression naming an occupied
// slot. The slot, or -1 for anything else (empty included).
int resolve_window(WindowHost& windows, const std::string& reference);

// The whole window (frame included) in screen coordinates: a child window's
// own geometry is kept in its parent's client area, so its place on the
// screen starts from the parent's client origin.
WindowRect screen_geometry(WindowHost& windows, int index);

} // namespace ruk
