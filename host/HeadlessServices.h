// The application family's services where no desktop runs (rukc run, the test harness).
#pragma once

#include "host/Application.h"

#include <string>

namespace ruk {

class Engine;
class Registry;
class BitmapReferences;
struct HostState;
struct Session;

// Runs "unload" and then "terminate" at once for the engine window, after
// clearing the cancel switch. Returns false when a script set the switch to
// keep the engine running, true when the engine is to end.
bool run_terminate_events(Engine& engine, HostState& state);

// Registers every family of the one table for a run without a desktop: no
// display, no windows, the headless system services. rukc run and the test
// harness use it; everything passed in outlives the engine's table. Each run
// passes its own `bitmaps` (made without a window host: only "main" and the
// off-screen bitmaps have names).
void register_headless_families(Engine& engine, HostState& state, Session& session, Registry& settings,
                                ApplicationServices& application, BitmapReferences& bitmaps);

// Closing runs "unload" and "terminate" and then stops the engine; there is
// no title bar, no icon and no other engine to start.
class HeadlessApplicationServices : public ApplicationServices {
public:
    HeadlessApplicationServices(Engine& engine, HostState& state) : m_engine(engine), m_state(state) {}
    void terminate_sequence() override;
    void set_title(const std::string& title) override;
    bool set_icon(const std::string& path) override;
    void minimize() override {}
    void restore() override {}
    int start_engine(const std::string&, bool) override { return 2; }
    int count_instances(const std::string&) override { return 1; }

private:
    Engine& m_engine;
    HostState& m_state;
};

} // namespace ruk
