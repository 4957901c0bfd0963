// Counting the engines that run: one named semaphore per name, kept by the system.
#pragma once

#include <optional>
#include <string>

namespace ruk {

// A named instance semaphore. Each name gets a System V key of its own: the
// key folder holds one small file per key taken ("key-XXXXXXXX", holding the
// name), so two different names never share a counter; the first key a name
// tries is a hash of the key folder and the name, so engines with different
// temporary folders keep apart too (barring a 32-bit hash collision).
// Every engine that holds it adds one unit, which
// the system gives back by itself when the process ends, even after a crash
// (SEM_UNDO), so the count never drifts. Scripts see the classic counts: a
// semaphore starts at 100 and each holder adds one, so holders = count - 100.
class InstanceSemaphore {
public:
    // Opens (creating when missing) the semaphore of a name. The key file
    // lives in `key_folder`; nullopt when the system refuses.
    static std::optional<InstanceSemaphore> open(const std::string& name, const std::string& key_folder);
    // The semaphore of a name when one exists; creates nothing, neither a
    // semaphore nor a key file (counting an id nobody runs leaves no trace).
    static std::optional<InstanceSemaphore> find(const std::string& name, const std::string& key_folder);

    // Adds this process's unit. Returns false when it could not.
    bool hold();
    // Gives the unit back (waits at most 500 ms).
    bool release();
    // Number of processes holding a unit.
    int holders() const;
    bool held() const { return m_held; }

    // The folder for key files: $TMPDIR (or /tmp) + "/rukreader/.sem".
    static std::string default_key_folder();

private:
    explicit InstanceSemaphore(int id) : m_id(id) {}
    int m_id;
    bool m_held = false;
};

} // namespace ruk
