// Registration and the helpers the input families share.
#include "graphics/InputFamilies.h"

#include "core/Engine.h"
#include "graphics/InputHost.h"
#include "graphics/ScriptWindow.h"

#include <utility>

namespace ruk {

void register_input_families(Engine& engine, HostState& state, WindowHost& windows, InputHost& input,
                             BitmapReferences& bitmaps)
{
    register_screen_family(engine, input.desktop_input(), bitmaps);
    register_mouse_family(engine, state, windows, input);
    register_keyboard_family(engine, state, windows, input);
    register_gesture_family(engine, state);
}

int occupied_window_index(WindowHost& windows, const std::string& reference)
{
    if (reference.empty())
        return -1;
    const int index = reference == "main" ? 0 : eval_int(reference, -1);
    if (index < 0 || index >= WindowSlots || !windows.window(index))
        return -1;
    return index;
}

bool cursor_shape_of(const std::string& word, CursorShape& shape)
{
    static const std::pair<const char*, CursorShape> shapes[] = {
        {"normal", CursorShape::Normal},     {"hotspot", CursorShape::Hotspot},
        {"hourglass", CursorShape::Hourglass}, {"help", CursorShape::Help},
        {"none", CursorShape::None},         {"nodrop", CursorShape::NoDrop},
        {"sizewe", CursorShape::SizeWE},     {"sizens", CursorShape::SizeNS},
        {"sizenwse", CursorShape::SizeNWSE}, {"sizenesw", CursorShape::SizeNESW},
        {"edit", CursorShape::Edit},         {"userdefined", CursorShape::UserDefined},
    };
    for (const auto& [name, value] : shapes)
        if (word == name) {
            shape = value;
            return true;
        }
    return false;
}

} // namespace ruk
