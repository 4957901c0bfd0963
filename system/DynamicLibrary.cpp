// A shared library opened when first needed, and the one place that says a library is missing.
#include "system/DynamicLibrary.h"

#include <dlfcn.h>

namespace ruk {

namespace {

std::mutex g_sink_mutex;
std::function<void(const std::string&)> g_sink;

} // namespace

DynamicLibrary::DynamicLibrary(std::string soname, std::string purpose)
    : m_soname(std::move(soname)), m_purpose(std::move(purpose))
{
}

bool DynamicLibrary::open(const std::function<void(DynamicLibrary&)>& resolve)
{
    std::call_once(m_once, [&] {
        // Local binding: our names never satisfy another library's symbols.
        m_handle = ::dlopen(m_soname.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m_handle) {
            const char* why = ::dlerror();
            m_failure = why ? why : "cannot open " + m_soname;
        } else {
            resolve(*this);
        }
        m_available = m_failure.empty();
        if (!m_available)
            notice("rukengine: " + m_purpose + " unavailable: " + m_failure);
    });
    return m_available;
}

void* DynamicLibrary::find(const char* name)
{
    if (!m_handle)
        return nullptr;
    ::dlerror();
    void* address = ::dlsym(m_handle, name);
    if (!address && m_failure.empty())
        m_failure = m_soname + " lacks " + name;
    return address;
}

void DynamicLibrary::set_notice_sink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    g_sink = std::move(sink);
}

void DynamicLibrary::notice(const std::string& text)
{
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    if (g_sink)
        g_sink(text);
}

} // namespace ruk
