// The "sci" family: editor controls in script windows, their messages and notifications.
#pragma once

namespace ruk {

class Engine;
class EditorHost;
class WindowHost;

// Registers "sci". The family keeps the highest slot used and the last
// notification; `editors` holds the controls and `windows` names the
// script windows. Both must outlive the engine's handler table.
void register_sci_family(Engine& engine, EditorHost& editors, WindowHost& windows);

} // namespace ruk
