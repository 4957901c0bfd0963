// Whole writes, interrupted reads, opening regular files without blocking, and the temporary folder.
#include "host/FileIo.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ruk {

bool write_all(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

ssize_t read_some(int fd, void* buffer, size_t size)
{
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

size_t read_at(int fd, void* buffer, size_t size, uint64_t offset)
{
    char* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

int open_regular(const std::string& path)
{
    // O_NONBLOCK keeps the open of a pipe without a writer from waiting; a
    // regular file then gets its ordinary blocking reads back.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::optional<std::string> read_whole_file(const std::string& path)
{
    int fd = open_regular(path);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> data;
    try {
        std::string bytes;
        // Files under /proc say they are empty and are not: the size only
        // reserves room, the read goes on to the end.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size > 0)
            bytes.reserve(static_cast<size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            ssize_t n = read_some(fd, buffer, sizeof buffer);
            if (n < 0)
                break;
            if (n == 0) {
                data = std::move(bytes);
                break;
            }
            bytes.append(buffer, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        data.reset();
    } catch (const std::length_error&) {
        data.reset();
    }
    ::close(fd);
    return data;
}

std::string temporary_folder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

std::string join_path(const std::string& folder, std::string_view name)
{
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

} // namespace ruk
