// Script paths: drive letters, either slash, and letter case looked up in the working folder.
#include "system/ScriptPath.h"

#include "core/Text.h"
#include "host/FileIo.h"
#include "system/DriveMap.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruk::disk {

namespace {

std::optional<std::string> find_ignoring_case(const std::string& folder, std::string_view name)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view found = entry->d_name;
        if (equal_ignoring_case(found, name) && (!best || found < *best))
            best = std::string(found);
    }
    ::closedir(dir);
    return best;
}

// Looks for a path that does not exist as written without regard to letter
// case, one component at a time, below the current folder. Components that
// exist as written are kept; the first component found in no form, and
// everything after it, stay as written. A ".." ends the search, as it may
// leave the folder.
std::string fold_case(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return path;
    std::string cwd = buffer;
    std::string rest;
    if (path[0] == '/') {
        std::string prefix = cwd == "/" ? "/" : cwd + "/";
        if (path.compare(0, prefix.size(), prefix) != 0)
            return path;
        rest = path.substr(prefix.size());
    } else {
        rest = path;
    }
    std::string current = cwd;
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = rest.find('/', pos);
        if (end == std::string::npos)
            end = rest.size();
        std::string_view part(rest.data() + pos, end - pos);
        if (part.empty() || part == ".") {
            pos = end + 1;
            continue;
        }
        if (part == "..")
            return join_path(current, std::string_view(rest).substr(pos));
        std::string candidate = join_path(current, part);
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0) {
            auto match = find_ignoring_case(current, part);
            if (!match)
                return join_path(current, std::string_view(rest).substr(pos));
            candidate = join_path(current, *match);
        }
        current = std::move(candidate);
        pos = end + 1;
    }
    if (rest.empty() || rest.back() == '/')
        current = join_path(current, "");
    return current;
}

} // namespace

std::optional<std::string> resolve_path(std::string_view script_path)
{
    if (script_path.empty())
        return std::nullopt;
    std::string path(script_path);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        std::string root = "/";
        if (letter != 'C') {
            DriveMap drives = DriveMap::current();
            const Drive* drive = drives.find(letter);
            if (!drive)
                return std::nullopt;
            root = drive->root;
        }
        size_t rest = path.find_first_not_of('/', 2);
        path = rest == std::string::npos ? root : join_path(root, std::string_view(path).substr(rest));
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        return path;
    return fold_case(path);
}

} // namespace ruk::disk
