// The application family's services where no desktop runs.
#include "host/HeadlessServices.h"

#include "core/Engine.h"
#include "graphics/Clipboard.h"
#include "graphics/InputHost.h"
#include "graphics/ScriptWindow.h"
#include "host/FamilyContext.h"
#include "host/HostState.h"
#include "host/Modules.h"
#include "system/FileDialogs.h"
#include "system/MenuHost.h"
#include "system/Misc.h"
#include "system/X11Desktop.h"

#include <filesystem>

namespace ruk {

bool run_terminate_events(Engine& engine, HostState& state)
{
    state.cancel_close = false;
    engine.run_event("unload", true, 0, true);
    engine.run_event("terminate", true, 0, true);
    return !state.cancel_close;
}

void register_headless_families(Engine& engine, HostState& state, Session& session, Registry& settings,
                                ApplicationServices& application, BitmapReferences& bitmaps)
{
    // These hold nothing, so every run in the process can share them.
    static HeadlessSystemServices system_services;
    static std::unique_ptr<X11Desktop> desktop = X11Desktop::without_display();
    static NoWindows windows;
    static NoInputHost input;
    static NoFileDialogs dialogs;
    static NoMenuHost menus;
    // Each run keeps its own clipboard; only this process sees it.
    static ProcessClipboard clipboard;
    FamilyContext context{engine,  state, session,   settings,  system_services, application, *desktop,
                          windows, input, dialogs, clipboard, bitmaps, menus};
    register_families(context);
}

void HeadlessApplicationServices::terminate_sequence()
{
    if (m_engine.stopped())
        return;
    if (!run_terminate_events(m_engine, m_state))
        return;
    m_engine.set_stop(true);
    m_engine.set_quit(true);
}

void HeadlessApplicationServices::set_title(const std::string& title)
{
    m_engine.set_caption(title);
}

bool HeadlessApplicationServices::set_icon(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace ruk
