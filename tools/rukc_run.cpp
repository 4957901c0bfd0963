// rukc run: compiles script sources and runs them headless, without the desktop.
#include "tools/Commands.h"

#include "host/FileIo.h"

#include "core/Engine.h"
#include "graphics/BitmapReferences.h"
#include "host/HeadlessServices.h"
#include "host/HostState.h"
#include "host/Modules.h"
#include "host/Session.h"
#include "system/DynamicLibrary.h"
#include "host/SourceBuild.h"
#include "system/Misc.h"
#include "system/Registry.h"
#include "system/Translator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace rukc {

namespace {

// Ends a runaway script from outside: after the time-out the engine is asked
// to abort between lines, and the run loop stops.
class Watchdog {
public:
    Watchdog(ruk::Engine& engine, double seconds) : m_engine(engine)
    {
        if (seconds <= 0)
            return;
        m_thread = std::thread([this, seconds] {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return m_done; })) {
                m_fired = true;
                m_engine.request_abort();
            }
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    bool fired() const { return m_fired; }

private:
    ruk::Engine& m_engine;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::atomic<bool> m_fired{false};
};

// Compiles one source file or every *.rks of a folder (in name order) into
// the text the code store loads. Prints what went wrong and returns false.
bool compile_input(const std::string& input, std::string& code)
{
    ruk::CompiledSources sources = ruk::compile_sources(input);
    if (sources.files.empty()) {
        std::fprintf(stderr, "rukc run: no .rks files in %s\n", input.c_str());
        return false;
    }
    for (const std::string& file : sources.unreadable)
        std::fprintf(stderr, "rukc run: cannot read %s\n", file.c_str());
    for (const ruk::SourceError& e : sources.errors)
        std::fprintf(stderr, "%s:%d: %s (code %d)\n", e.file.c_str(), e.error.line, e.error.message.c_str(),
                     e.error.code);
    for (const std::string& line : sources.lines) {
        code += line;
        code += "\r\n";
    }
    return sources.ok();
}

} // namespace

int cmd_run(const Args& args)
{
    double timeout = 0;
    bool verbose = false;
    bool list_families = false;
    std::string input;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--timeout" && i + 1 < args.size())
            timeout = std::atof(args[++i].c_str());
        else if (args[i] == "--verbose")
            verbose = true;
        else if (args[i] == "--families")
            list_families = true;
        else if (args[i].rfind("--", 0) == 0) {
            // An option rukc run does not know, or --timeout without its value.
            std::fprintf(stderr, "rukc run: unknown option or missing value: %s (see rukc run --help)\n",
                args[i].c_str());
            return 2;
        } else {
            input = args[i++];
            break;
        }
    }
    if (list_families) {
        // The words a run offers, as the engine would print them.
        ruk::Engine engine;
        ruk::Session session;
        ruk::HostState state;
        ruk::HeadlessApplicationServices services(engine, state);
        ruk::Registry registry(ruk::Registry::default_path());
        ruk::BitmapReferences bitmaps;
        ruk::register_headless_families(engine, state, session, registry, services, bitmaps);
        for (const std::string& word : ruk::registered_words(engine))
            std::printf("%s\n", word.c_str());
        return 0;
    }
    if (input.empty()) {
        std::fprintf(stderr, "usage: rukc run [--timeout SECONDS] [--verbose] [--families] SRC.rks|SRCDIR|PKG.ruk\n");
        return 2;
    }
    ruk::Engine engine;
    ruk::Session session;
    ruk::HostState state;
    ruk::HeadlessApplicationServices services(engine, state);
    // Taken before the run changes into the package's working folder.
    std::error_code absolute_error;
    const std::string absolute_input = fs::absolute(input, absolute_error).string();
    const bool package = input.size() > 4 && ruk::ends_with_ignoring_case(input, ".ruk");
    if (package) {
        // A package runs from its own working folder, as in the engine.
        session.package_path = input;
        ruk::Session::prepare_temp_root();
        if (!session.unpack(engine.random(), nullptr)) {
            std::fprintf(stderr, "rukc run: cannot read the package %s\n", input.c_str());
            return 1;
        }
        state.running_family_id = session.header.family_id;
        std::string code_file = session.prepare_code();
        if (::chdir(session.working_folder.c_str()) != 0 || !engine.code().load_code(code_file)) {
            std::fprintf(stderr, "rukc run: the package %s has no readable code\n", input.c_str());
            session.delete_working_folder();
            return 1;
        }
    } else {
        std::string code;
        if (!compile_input(input, code))
            return 1;
        engine.code().load_text(code);
    }
    ruk::Registry registry(ruk::Registry::default_path());
    ruk::BitmapReferences bitmaps;
    ruk::register_headless_families(engine, state, session, registry, services, bitmaps);
    state.arguments.push_back(input);
    for (; i < args.size(); ++i)
        state.arguments.push_back(args[i]);
    state.package_path = absolute_input;
    state.package_name = ruk::package_name_of(input);
    if (verbose) {
        engine.set_error_observer([](const std::string& text) {
            std::cerr << "rukc run: " << ruk::Engine::readable_error(text) << std::endl;
        });
        ruk::DynamicLibrary::set_notice_sink([](const std::string& text) { std::cerr << text << std::endl; });
    }

    Watchdog watchdog(engine, timeout);
    engine.run_event("_initialize");
    engine.run_event("initialize");
    // Queued events run as they fall due, until none is left or the script quits.
    while (!engine.stopped() && !watchdog.fired() && !engine.pending().empty()) {
        if (engine.run_pending())
            continue;
        int64_t now = engine.host().tick_ms();
        std::optional<int64_t> next = engine.next_due(now);
        if (!next)
            break; // only events that do not exist are left
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(*next - now, 10)));
    }
    if (!watchdog.fired())
        services.terminate_sequence();
    engine.set_stop(true);
    if (package)
        session.delete_working_folder();
    if (watchdog.fired()) {
        std::fprintf(stderr, "rukc run: stopped after %g seconds\n", timeout);
        return 3;
    }
    return 0;
}

} // namespace rukc
