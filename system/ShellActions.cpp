// The desktop's shell actions through xdg-open, lp and started programs.
#include "system/ShellActions.h"

#include "system/ProcessSlots.h"

#include <cctype>
#include <cerrno>

namespace fs = std::filesystem;

namespace ruk {

bool ShellActions::is_url(std::string_view text)
{
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::optional<fs::path> ShellActions::locate(const std::string& name, const std::string& folder)
{
    std::error_code ec;
    fs::path path(name);
    if (fs::exists(path, ec))
        return path;
    if (!folder.empty() && path.is_relative()) {
        fs::path inside = fs::path(folder) / path;
        if (fs::exists(inside, ec))
            return inside;
    }
    return std::nullopt;
}

int ShellActions::open(const std::string& target, const std::string& arguments, const std::string& folder)
{
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        note_error(ENOENT);
        return ShellPathNotFound;
    }
    if (target.empty()) {
        note_error(ENOENT);
        return ShellFileNotFound;
    }
    if (is_url(target))
        return open_with_desktop(target, folder);
    std::optional<fs::path> path = locate(target, folder);
    if (!path && target.find('/') == std::string::npos)
        if (auto found = find_in_path(target))
            path = fs::path(*found);
    if (!path) {
        note_error(ENOENT);
        return ShellFileNotFound;
    }
    if (!fs::is_directory(*path, ec) && is_executable_file(path->string())) {
        std::string program = fs::absolute(*path, ec).string();
        std::vector<std::string> argv = split_command_line(arguments);
        argv.insert(argv.begin(), program);
        Spawned started = spawn_program(program, argv, folder, false, false);
        if (started.pid == 0) {
            note_error(started.error);
            switch (started.error) {
            case ENOENT: return ShellFileNotFound;
            case EACCES:
            case EPERM: return ShellAccessDenied;
            case ENOMEM: return ShellOutOfMemory;
            default: return 0;
            }
        }
        m_processes.let_go(started.pid);
        return ShellOk;
    }
    return open_with_desktop(fs::absolute(*path, ec).string(), folder);
}

int ShellActions::open_with_desktop(const std::string& target, const std::string& folder)
{
    auto opener = find_in_path("xdg-open");
    if (!opener) {
        note_error(ENOENT);
        return ShellNoAssociation;
    }
    Spawned started = spawn_program(*opener, {*opener, target}, folder, false, true);
    if (started.pid == 0) {
        note_error(started.error);
        return ShellNoAssociation;
    }
    m_processes.let_go(started.pid);
    return ShellOk;
}

void ShellActions::print(const std::string& document, const std::string& folder)
{
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec))
        return note_error(ENOENT);
    std::optional<fs::path> path = locate(document, folder);
    if (!path)
        return note_error(ENOENT);
    auto printer = find_in_path("lp");
    if (!printer)
        return note_error(ENOENT);
    Spawned started = spawn_program(*printer, {*printer, fs::absolute(*path, ec).string()}, folder, false, true);
    if (started.pid == 0)
        return note_error(started.error);
    m_processes.let_go(started.pid);
}

void ShellActions::explore(const std::string& folder)
{
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return note_error(ENOENT);
    open_with_desktop(fs::absolute(folder, ec).string(), std::string());
}

} // namespace ruk
