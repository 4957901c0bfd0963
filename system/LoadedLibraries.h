// Shared libraries that scripts load: kept loaded until the engine lets them go.
#pragma once

#include <string>
#include <vector>

namespace ruk {

class LoadedLibraries {
public:
    LoadedLibraries() = default;
    // Unloads every library, the last loaded first.
    ~LoadedLibraries();
    LoadedLibraries(const LoadedLibraries&) = delete;
    LoadedLibraries& operator=(const LoadedLibraries&) = delete;

    // Loads a library by path (a bare name is looked up as the system's
    // loader does). 0 when loaded (again), else an errno value; an empty
    // path is refused, since it would name the engine itself.
    int load(const std::string& path);

private:
    std::vector<void*> m_handles;
};

} // namespace ruk
