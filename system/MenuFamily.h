// The "menu" family: pop-up menus and menu bars with items, states and the item last clicked.
#pragma once

namespace ruk {

class Engine;
class MenuHost;
class WindowHost;

// Registers "menu". The family owns the menu slots; `host` shows pop-up
// menus and `windows` names the script windows. Both must outlive the
// engine's handler table.
void register_menu_family(Engine& engine, MenuHost& host, WindowHost& windows);

} // namespace ruk
