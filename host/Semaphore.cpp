// System V semaphores with a key of their own per name, recorded in a key folder.
#include "host/Semaphore.h"

#include "host/Session.h"

#include "host/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruk {

namespace {

// FNV-1a over the key folder and the name: the first key a name tries.
uint32_t first_key(const std::string& folder, const std::string& name)
{
    uint32_t h = 2166136261u;
    auto mix = [&h](unsigned char c) {
        h ^= c;
        h *= 16777619u;
    };
    for (unsigned char c : folder)
        mix(c);
    mix(0);
    for (unsigned char c : name)
        mix(c);
    return h;
}

std::string key_file(const std::string& folder, uint32_t key)
{
    char name[16];
    std::snprintf(name, sizeof name, "/key-%08x", key);
    return folder + name;
}

// The name a key file records, or nothing when there is no such file.
std::optional<std::string> recorded_name(const std::string& path)
{
    return read_whole_file(path);
}

// Claims `key` for `name` by linking a complete file into place (no other
// process ever sees a half-written one). True when the key is now the
// name's, by this call or an earlier one.
bool claim(const std::string& folder, const std::string& path, const std::string& name)
{
    std::string temp = folder + "/.claim-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    bool written = write_all(fd, name.data(), name.size());
    ::close(fd);
    bool linked = written && ::link(temp.c_str(), path.c_str()) == 0;
    ::unlink(temp.c_str());
    if (linked)
        return true;
    auto other = recorded_name(path);
    return other && *other == name;
}

// The key of a name. Each name owns the first free key from its hash on:
// a key file records which name took a key, so two names never share one.
// With `create` false nothing is written and a name never seen has no key.
std::optional<key_t> name_key(const std::string& name, const std::string& folder, bool create)
{
    uint32_t key = first_key(folder, name);
    for (int probe = 0; probe < 4096; ++probe, ++key) {
        if (key == 0 || key == static_cast<uint32_t>(IPC_PRIVATE))
            continue;
        const std::string path = key_file(folder, key);
        for (int attempt = 0; attempt < 3; ++attempt) {
            auto other = recorded_name(path);
            if (other) {
                if (*other == name)
                    return static_cast<key_t>(key);
                break; // another name's key: try the next one
            }
            if (!create)
                return std::nullopt;
            if (claim(folder, path, name))
                return static_cast<key_t>(key);
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0)
                return std::nullopt; // the folder refuses new files
            // Taken meanwhile: look at who took it.
        }
    }
    return std::nullopt;
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
    return temporary_folder() + "rukreader/.sem";
}

std::optional<InstanceSemaphore> InstanceSemaphore::open(const std::string& name, const std::string& key_folder)
{
    make_shared_folder(key_folder);
    auto key = name_key(name, key_folder, true);
    if (!key)
        return std::nullopt;
    // A new semaphore starts at zero: its value is the number of holders.
    int id = semget(*key, 1, IPC_CREAT | 0666);
    if (id < 0)
        return std::nullopt;
    return InstanceSemaphore(id);
}

std::optional<InstanceSemaphore> InstanceSemaphore::find(const std::string& name, const std::string& key_folder)
{
    auto key = name_key(name, key_folder, false);
    if (!key)
        return std::nullopt;
    int id = semget(*key, 1, 0);
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
