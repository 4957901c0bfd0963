// System V semaphores keyed by a file per name.
#include "host/Semaphore.h"

#include "host/Session.h"

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <unistd.h>

namespace ruk {

namespace {

// A file name that stands for any semaphore name: printable bytes are kept,
// others (and "/") are written as %XX.
std::string key_file_name(const std::string& name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (c > 0x20 && c < 0x7F && c != '/' && c != '%')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (out.size() > 200)
        out.resize(200);
    return out.empty() ? std::string("%") : out;
}

bool change(int id, short delta, bool wait)
{
    sembuf op{};
    op.sem_num = 0;
    op.sem_op = delta;
    op.sem_flg = static_cast<short>(SEM_UNDO | (wait ? 0 : IPC_NOWAIT));
    if (!wait)
        return semop(id, &op, 1) == 0;
    timespec timeout{0, 500 * 1000 * 1000};
    for (;;) {
        if (semtimedop(id, &op, 1, &timeout) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

std::string InstanceSemaphore::default_key_folder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp && *tmp) ? tmp : "/tmp";
    return base + "/rukreader/.sem";
}

std::optional<InstanceSemaphore> InstanceSemaphore::open(const std::string& name, const std::string& key_folder)
{
    make_shared_folder(key_folder);
    std::string path = key_folder + "/" + key_file_name(name);
    int fd = ::open(path.c_str(), O_CREAT | O_RDONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::nullopt;
    ::close(fd);
    key_t key = ftok(path.c_str(), 'R');
    if (key == -1)
        return std::nullopt;
    // A new semaphore starts at zero: its value is the number of holders.
    int id = semget(key, 1, IPC_CREAT | 0666);
    if (id < 0)
        return std::nullopt;
    return InstanceSemaphore(id);
}

bool InstanceSemaphore::hold()
{
    if (m_held)
        return true;
    // A maximum of 200 leaves room for 100 holders.
    if (holders() >= 100)
        return false;
    m_held = change(m_id, 1, false);
    return m_held;
}

bool InstanceSemaphore::release()
{
    if (!m_held)
        return true;
    m_held = !change(m_id, -1, true);
    return !m_held;
}

int InstanceSemaphore::holders() const
{
    int value = semctl(m_id, 0, GETVAL);
    return value < 0 ? 0 : value;
}

} // namespace ruk
