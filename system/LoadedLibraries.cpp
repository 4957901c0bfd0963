// Shared libraries that scripts load.
#include "system/LoadedLibraries.h"

#include <algorithm>
#include <cerrno>
#include <dlfcn.h>

namespace ruk {

LoadedLibraries::~LoadedLibraries()
{
    for (auto it = m_handles.rbegin(); it != m_handles.rend(); ++it)
        ::dlclose(*it);
}

int LoadedLibraries::load(const std::string& path)
{
    if (path.empty())
        return ENOENT;
    errno = 0;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return errno ? errno : ENOENT;
    // Loading a library twice gives its handle twice: keep one reference.
    if (std::find(m_handles.begin(), m_handles.end(), handle) != m_handles.end())
        ::dlclose(handle);
    else
        m_handles.push_back(handle);
    return 0;
}

} // namespace ruk
