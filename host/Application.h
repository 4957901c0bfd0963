// The "application" family (also "app"): the engine process as a whole.
#pragma once

#include <string>
#include <vector>

namespace ruk {

class Engine;
struct HostState;
struct Session;
class Registry;

// What the family asks of the running engine.
class ApplicationServices {
public:
    virtual ~ApplicationServices() = default;
    // Runs "unload" and "terminate"; the engine ends unless a script cancelled.
    virtual void terminate_sequence() = 0;
    virtual void set_title(const std::string& title) = 0;
    // Loads the application icon; false when the file does not exist.
    virtual bool set_icon(const std::string& path) = 0;
    virtual void minimize() = 0;
    virtual void restore() = 0;
    // Starts another engine with a parameter text of double-quoted
    // arguments; returns a number above 32 when it started.
    virtual int start_engine(const std::string& parameters, bool hidden) = 0;
    // The number of engines holding the package semaphore of an id.
    virtual int count_instances(const std::string& package_id) = 0;
};

// Registers the family under both "app" and "application". The installed-
// programs entry goes to `registry`; without one "uninstall" does nothing.
void register_application_family(Engine& engine, HostState& state, Session& session, ApplicationServices& services,
                                 Registry* registry = nullptr);

// The parameter text of "execute": every parameter in double quotes, separated
// by single blanks, while their lengths add up to less than 64,000.
std::string execute_parameter_text(const Engine& engine);

// Splits a parameter text of double-quoted (or blank-separated) arguments.
std::vector<std::string> split_parameter_text(const std::string& text);

} // namespace ruk
