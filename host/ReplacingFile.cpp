// Replacing a file whole: new contents go to a temporary file that takes the old one's place.
#include "host/ReplacingFile.h"

#include "host/FileIo.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace ruk {

ReplacingFile::~ReplacingFile()
{
    m_fd.reset();
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
}

bool ReplacingFile::open(const std::string& path, bool in_place_fallback)
{
    m_target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Writing through a link replaces the file it names, not the link.
        char* real = ::realpath(path.c_str(), nullptr);
        if (real) {
            m_target = real;
            std::free(real);
        }
    }
    if (::stat(m_target.c_str(), &m_old) == 0) {
        if (!S_ISREG(m_old.st_mode))
            return false;
        // Replacing takes only the folder's permission; a file its owner
        // made read-only is refused, as writing into it would be.
        if (::access(m_target.c_str(), W_OK) != 0)
            return false;
        m_existed = true;
    } else if (errno != ENOENT) {
        return false;
    }
    size_t slash = m_target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : m_target.substr(0, slash));
    std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    if (base.empty())
        return false;
    // Hidden, and short enough for any file system's name limit.
    std::string stem = join_path(folder, "." + base.substr(0, 200) + ".~ruk");
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        unsigned long mix = static_cast<unsigned long>(now) ^ (static_cast<unsigned long>(::getpid()) << 20)
            ^ (++counter * 2654435761u);
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06lx", mix & 0xFFFFFF);
        std::string temp = stem + suffix;
        m_fd.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (m_fd) {
            m_temp = temp;
            break;
        }
        if (errno != EEXIST)
            break;
    }
    if (!m_fd) {
        if (!in_place_fallback || !m_existed)
            return false;
        m_fd.reset(::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        struct stat now {};
        if (!m_fd || ::fstat(m_fd.get(), &now) != 0 || !S_ISREG(now.st_mode))
            return false;
        m_in_place = true;
        return ::ftruncate(m_fd.get(), 0) == 0;
    }
    if (m_existed) {
        // The new contents keep the old file's owner and permissions.
        if (::fchown(m_fd.get(), m_old.st_uid, m_old.st_gid) != 0) {
            // Only the superuser may give files away; others keep their own.
        }
        ::fchmod(m_fd.get(), m_old.st_mode & 07777);
    }
    return true;
}

bool ReplacingFile::write(std::string_view data)
{
    return write_all(m_fd.get(), data.data(), data.size());
}

bool ReplacingFile::commit(bool no_overwrite, bool always_sync)
{
    if (m_in_place) {
        if (no_overwrite || ::fsync(m_fd.get()) != 0)
            return false;
        return ::close(m_fd.release()) == 0;
    }
    if (m_fd) {
        // A replaced file must not come back empty after a power cut.
        if ((m_existed || always_sync) && ::fsync(m_fd.get()) != 0)
            return false;
        if (::close(m_fd.release()) != 0)
            return false;
    }
    if (no_overwrite) {
        if (::link(m_temp.c_str(), m_target.c_str()) == 0) {
            ::unlink(m_temp.c_str());
            m_temp.clear();
            return true;
        }
        struct stat st {};
        if (errno == EEXIST || ::lstat(m_target.c_str(), &st) == 0)
            return false;
        // A file system without hard links: fall through to the rename.
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return false;
    m_temp.clear();
    return true;
}

bool replace_file_contents(const std::string& path, std::string_view data, int mode)
{
    ReplacingFile out;
    if (!out.open(path) || !out.write(data))
        return false;
    if (mode >= 0 && ::fchmod(out.fd(), static_cast<mode_t>(mode)) != 0)
        return false;
    return out.commit(false, true);
}

} // namespace ruk
