// Locks that mark a running engine's files, the sweep of leftovers and the clean-up of a fatal end.
#include "host/Leftovers.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ruk {

RunLock::~RunLock()
{
    drop();
}

bool RunLock::hold(const std::string& path)
{
    drop();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void RunLock::drop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool is_working_folder_name(std::string_view name)
{
    if (name.size() < 18 || name[name.size() - 17] != '-')
        return false;
    std::string_view id = name.substr(name.size() - 16);
    for (size_t i = 0; i < 16; ++i) {
        bool digit = i < 2 || (i >= 6 && i < 10) || i >= 14;
        char c = id[i];
        if (digit ? (c < '0' || c > '9') : (c < 'A' || c > 'Z'))
            return false;
    }
    return true;
}

namespace {

bool is_built_package_name(std::string_view name)
{
    return name.size() > 11 && name.substr(0, 7) == "source-" && name.substr(name.size() - 4) == ".ruk";
}

// True when nobody holds the path's lock (it is then held by this call until
// the descriptor closes).
bool abandoned(const std::string& path, int& fd)
{
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

} // namespace

namespace {

std::string kept_marker(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + ".keep";
}

} // namespace

void mark_kept(const std::string& working_folder)
{
    int fd = ::open(kept_marker(working_folder).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0)
        ::close(fd);
}

int sweep_leftovers(const std::string& temp_root, int grace_seconds)
{
    int removed = 0;
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::error_code ec;
    for (fs::directory_iterator it(temp_root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool folder = is_working_folder_name(name);
        if (!folder && !is_built_package_name(name))
            continue;
        const std::string path = it->path().string();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || st.st_uid != ::geteuid())
            continue;
        if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
            continue;
        if (now - st.st_mtime < grace_seconds)
            continue;
        if (folder && ::lstat(kept_marker(path).c_str(), &st) == 0)
            continue;
        int fd = -1;
        if (!abandoned(path, fd))
            continue;
        std::error_code remove_ec;
        // remove_all never follows links: a link planted inside goes itself.
        if (folder)
            fs::remove_all(path, remove_ec);
        else
            fs::remove(path, remove_ec);
        ::close(fd);
        if (!remove_ec)
            ++removed;
    }
    return removed;
}

namespace emergency {

namespace {

char g_folder[4096];
char g_package[4096];

struct LinuxDirent {
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

void remove_plain_files(int dir_fd)
{
    alignas(8) char buffer[4096];
    for (int rounds = 0; rounds < 1000; ++rounds) {
        long n = ::syscall(SYS_getdents64, dir_fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (long at = 0; at < n;) {
            auto* entry = reinterpret_cast<LinuxDirent*>(buffer + at);
            const char* name = buffer + at + offsetof(LinuxDirent, name);
            if (entry->type != DT_DIR)
                ::unlinkat(dir_fd, name, 0);
            at += entry->reclen;
        }
    }
}

void copy_path(char* out, size_t size, const std::string& path)
{
    size_t n = path.size() < size - 1 ? path.size() : 0; // a path too long is not kept at all
    std::memcpy(out, path.data(), n);
    out[n] = '\0';
}

} // namespace

void remember(const std::string& working_folder, const std::string& built_package)
{
    copy_path(g_folder, sizeof g_folder, working_folder);
    copy_path(g_package, sizeof g_package, built_package);
}

void clean_up_now()
{
    if (g_folder[0]) {
        int fd = ::open(g_folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            remove_plain_files(fd);
            ::close(fd);
        }
        if (::chdir("/") != 0) {
            // the folder goes all the same when it is empty
        }
        ::rmdir(g_folder);
        g_folder[0] = '\0';
    }
    if (g_package[0]) {
        ::unlink(g_package);
        g_package[0] = '\0';
    }
}

} // namespace emergency

} // namespace ruk
