// The "screen", "mouse", "keyboard" and "gesture" families.
#pragma once

#include <string>

namespace ruk {

class Engine;
class InputHost;
class WindowHost;
class X11Input;
class BitmapReferences;
struct HostState;

// Registers the four families. They read the per-window values through
// `input`, find windows through `windows`, and keep the process-wide values
// (gesture value and cancel flag, finger-driven flag, right-click mode) in
// `state`; "screen" "copyto" writes into the bitmap a reference names in
// `bitmaps`. Everything passed in outlives the engine's family table.
void register_input_families(Engine& engine, HostState& state, WindowHost& windows, InputHost& input,
                             BitmapReferences& bitmaps);

void register_screen_family(Engine& engine, X11Input& desktop, BitmapReferences& bitmaps);
void register_mouse_family(Engine& engine, HostState& state, WindowHost& windows, InputHost& input);
void register_keyboard_family(Engine& engine, HostState& state, WindowHost& windows, InputHost& input);
void register_gesture_family(Engine& engine, HostState& state);

// The slot a window reference names ("main" or an integer expression) when
// the slot holds a window, else -1.
int occupied_window_index(WindowHost& windows, const std::string& reference);

// The shape a cursor word names; false for a word that names none.
enum class CursorShape;
bool cursor_shape_of(const std::string& word, CursorShape& shape);

} // namespace ruk
