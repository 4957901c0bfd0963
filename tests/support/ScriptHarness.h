// Runs script source in-process: compile, load, run events, capture boxes and errors.
#pragma once

#include "core/Engine.h"
#include "graphics/BitmapReferences.h"
#include "host/HeadlessServices.h"
#include "host/HostState.h"
#include "host/Session.h"
#include "system/Registry.h"

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace ruk::test {

// A host whose clock only moves when the harness moves it, so that delayed
// events run in a fixed order without sleeping.
class SteppedHost : public Host {
public:
    explicit SteppedHost(std::ostream& out) : m_out(out) {}
    int message_box(std::string_view text, std::string_view caption, uint32_t flags, int default_button) override;
    int64_t tick_ms() override { return m_now; }
    void terminate_application() override { ++m_terminations; }
    void advance_to(int64_t ms) { m_now = ms; }
    int terminations() const { return m_terminations; }

private:
    std::ostream& m_out;
    int64_t m_now = 1000;
    int m_terminations = 0;
};

class ScriptHarness {
public:
    ScriptHarness();
    ~ScriptHarness();

    // Compiles and loads source text. Returns false (and keeps the messages
    // in compile_errors()) when a line does not compile.
    bool load(std::string_view source);
    // Loads compiled lines as they are (token bytes written by the test).
    void load_compiled(std::string_view text);
    // Runs an event, then every queued event as it falls due.
    void run(std::string_view event = "initialize");
    // Runs queued events until none is left (bounded).
    void drain();

    std::string output() const { return m_out.str(); }
    void clear_output() { m_out.str(std::string()); }
    // The message field of every error reported so far.
    const std::vector<std::string>& errors() const { return m_errors; }
    const std::vector<std::string>& compile_errors() const { return m_compile_errors; }
    std::string var(std::string_view reference);

    Engine& engine() { return m_engine; }
    SteppedHost& host() { return m_host; }
    HostState& state() { return m_state; }
    Session& session() { return m_session; }
    Registry& registry() { return m_registry; }
    // The bitmaps the run's scripts name (the engine window's and -1 to -256).
    BitmapReferences& bitmaps() { return m_bitmaps; }

private:
    std::ostringstream m_out;
    SteppedHost m_host;
    HostState m_state;
    Session m_session;
    std::string m_registry_path; // a private settings store, removed afterwards
    Registry m_registry;
    BitmapReferences m_bitmaps;
    Engine m_engine;
    HeadlessApplicationServices m_application;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_compile_errors;
};

// Splits a last error text into its five fields.
std::vector<std::string> error_fields(std::string_view text);

} // namespace ruk::test
