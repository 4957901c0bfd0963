// A shared library opened when first needed, and the one place that says a library is missing.
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace ruk {

// The engine opens its heavier libraries (audio, the Internet client) only
// when a script first uses them, so that a package that never plays a sound
// or fetches a URL starts without mapping them. A loader names one library
// by its soname and resolves the functions the engine calls; open() runs
// once, on whichever thread asks first, and the library then stays loaded
// until the process ends (its threads and exit handlers may outlive any
// owner we could give it).
//
// When a library cannot be opened, or lacks a function, the loader says so
// once through the notice sink (standard error with --verbose, silent
// otherwise) and the feature behaves as on a machine without the device.
class DynamicLibrary {
public:
    // `soname` is looked up as the system's loader does; `purpose` names the
    // feature in the notice ("sound", "the Internet families").
    DynamicLibrary(std::string soname, std::string purpose);
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens the library and calls `resolve(*this)` once; true when the
    // library is there and every symbol() the resolver asked for was found.
    bool open(const std::function<void(DynamicLibrary&)>& resolve);
    bool available() const { return m_available; }
    // Why the library is not available; empty while it is.
    const std::string& failure() const { return m_failure; }
    const std::string& soname() const { return m_soname; }

    // Looks up one function while the resolver runs; a missing one makes
    // the whole library unavailable.
    template<typename Function>
    void symbol(Function& target, const char* name)
    {
        target = reinterpret_cast<Function>(find(name));
    }

    // Marks the library unavailable while the resolver runs (a start-up
    // call of the library that failed).
    void fail(const std::string& why)
    {
        if (m_failure.empty())
            m_failure = why;
    }

    // Where notices go; nothing is said while no sink is set.
    static void set_notice_sink(std::function<void(const std::string&)> sink);
    static void notice(const std::string& text);

private:
    void* find(const char* name);

    std::string m_soname;
    std::string m_purpose;
    std::once_flag m_once;
    void* m_handle = nullptr;
    bool m_available = false;
    std::string m_failure;
};

} // namespace ruk
