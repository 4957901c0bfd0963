// Creating and closing script windows: the steps the window family and the host share.
#pragma once

#include <optional>
#include <string>

namespace ruk {

class Engine;
class WindowHost;

// What "create" takes; absent texts mean empty parameters.
struct WindowCreateOptions {
    std::string visible;      // "0" keeps the window hidden
    std::string group;        // empty: no group
    std::string movable_mode; // see apply_movable_mode
    std::string stay_on_top;  // "0": an ordinary window (top-level only)
    std::string close_on_escape;      // "0": Escape does not close
    std::string close_on_right_click; // "0": a right click does not close
    std::string can_go_out;           // begins with "1": may leave its parent area
};

// Creates a script window in the lowest free slot from 1 to 254, as a child
// of `parent` when that is an occupied slot (-1: top-level). Returns the
// index, or nothing when every slot is taken or no window could be made.
std::optional<int> create_script_window(Engine& engine, WindowHost& windows, const WindowCreateOptions& options,
                                        int parent = -1);

// Closes the window of a slot from 1 to 254: "unload" runs for it (unless
// the engine is stopping), its child windows close first, it is hidden, the
// area it covered is drawn again and the slot is freed. False when the slot
// was free. Safe to call from the window's own handlers: the window object
// is freed later by the host.
bool close_script_window(Engine& engine, WindowHost& windows, int index);

// "1" or empty: movable on both axes; "xonly": horizontally; "yonly":
// vertically; anything else: not movable.
void apply_movable_mode(WindowHost& windows, int index, const std::string& mode);

} // namespace ruk
