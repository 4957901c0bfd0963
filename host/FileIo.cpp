// Whole writes, interrupted reads and opening regular files without blocking.
#include "host/FileIo.h"

#include <cerrno>
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

std::optional<std::string> read_regular_file(const std::string& path)
{
    int fd = open_regular(path);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> data;
    try {
        std::string bytes;
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

} // namespace ruk
