// The one list of command families and its registration.
#include "host/Modules.h"

#include "browser/Web.h"
#include "core/Engine.h"
#include "core/Language.h"
#include "graphics/Anim.h"
#include "graphics/InputFamilies.h"
#ifdef RUK_WITH_DRAW
#include "graphics/Draw.h"
#endif
#include "graphics/Wave.h"
#include "graphics/Window.h"
#include "host/Application.h"
#include "host/FamilyContext.h"
#include "host/HostState.h"
#include "host/Session.h"
#include "net/Objects.h"
#include "system/Disk.h"
#include "system/Extern.h"
#include "system/MenuFamily.h"
#include "system/Misc.h"
#include "system/RukFamily.h"
#include "system/SciFamily.h"
#include "system/EditorHost.h"
#include "system/Serial.h"
#include "system/Settings.h"
#include "system/Time.h"

#include <algorithm>

namespace ruk {

namespace {

void language(FamilyContext& c) { register_language(c.engine); }
void time(FamilyContext& c) { register_time_family(c.engine, c.state); }
void disk(FamilyContext& c) { register_disk_family(c.engine, c.dialogs); }
void system(FamilyContext& c)
{
    register_system_family(c.engine, c.state, c.system, c.clipboard, c.bitmaps);
}
void settings(FamilyContext& c) { register_settings_families(c.engine, c.settings, c.session.header, &c.state); }
void application(FamilyContext& c)
{
    register_application_family(c.engine, c.state, c.session, c.application, &c.settings);
}
void external(FamilyContext& c) { register_extern_family(c.engine, c.state.inter_engine, c.desktop); }
void serial(FamilyContext& c) { register_serial_families(c.engine); }
void internet(FamilyContext& c) { register_inet_families(c.engine, &c.settings); }
void window(FamilyContext& c)
{
    register_window_family(c.engine, c.state, c.windows, &c.settings, &c.session.header, &c.bitmaps);
}
void input(FamilyContext& c) { register_input_families(c.engine, c.state, c.windows, c.input, c.bitmaps); }
void sound(FamilyContext& c) { register_sound_family(c.engine); }
void motion(FamilyContext& c) { register_anim_family(c.engine, c.windows); }
#ifdef RUK_WITH_DRAW
void draw(FamilyContext& c) { register_draw_family(c.engine, c.bitmaps); }
#endif
void menus(FamilyContext& c) { register_menu_family(c.engine, c.menus, c.windows); }
void editors(FamilyContext& c)
{
    static NoEditors none;
    register_sci_family(c.engine, c.editors ? *c.editors : none, c.windows);
}
void packages(FamilyContext& c) { register_ruk_family(c.engine, c.state, c.session); }
void browsers(FamilyContext& c)
{
    register_browser_family(c.engine, c.browsers, c.windows, c.bitmaps, &c.state.right_click_mode);
}

// Adding a family: write its registration function beside the family and
// add one line here.
constexpr FamilyModule Modules[] = {
    {"s ? var num str if while for event doevent function return", language},
    {"time", time},
    {"disk", disk},
    {"system", system},
    {"reg path shortcut", settings},
    {"app application", application},
    {"extern", external},
    {"window", window},
    {"rs232 robot", serial},
    {"inet http", internet},
    {"screen mouse keyboard gesture", input},
    {"sound", sound},
    {"anim", motion},
#ifdef RUK_WITH_DRAW
    {"draw", draw},
#endif
    {"menu", menus},
    {"sci", editors},
    {"ruk", packages},
    {"browser", browsers},
};

} // namespace

std::span<const FamilyModule> family_modules()
{
    return Modules;
}

void register_families(FamilyContext& context)
{
    for (const FamilyModule& module : Modules)
        module.register_family(context);
}

std::vector<std::string> registered_words(const Engine& engine)
{
    std::vector<std::string> words = engine.family_words();
    std::sort(words.begin(), words.end());
    return words;
}

} // namespace ruk
