// Where the engine finds its optional modules: relative to the running program, in the build tree and installed.
#include "host/ModuleFolder.h"

#include <filesystem>
#include <system_error>

namespace ruk {

namespace fs = std::filesystem;

std::string own_executable_path()
{
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::optional<std::string> find_module(const std::string& file_name, const std::string& executable)
{
    if (file_name.empty() || file_name.find('/') != std::string::npos)
        return std::nullopt;
    const std::string program = executable.empty() ? own_executable_path() : executable;
    if (program.empty())
        return std::nullopt;
    const fs::path folder = fs::path(program).parent_path();
    for (const fs::path& candidate : {folder / ModuleSubfolder / file_name, folder / file_name}) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec))
            return candidate.lexically_normal().string();
    }
    return std::nullopt;
}

} // namespace ruk
