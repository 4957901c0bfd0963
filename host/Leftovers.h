// What engines leave under the temporary root when they end without cleaning up, and how it goes.
#pragma once

#include <string>
#include <string_view>

namespace ruk {

// Holds an exclusive lock (flock) on a working folder or a built package for
// as long as the engine runs. The system drops the lock when the process
// ends in any way, a kill -9 included, which is how a later engine tells a
// leftover from the folder of an engine that still runs.
class RunLock {
public:
    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    // Takes the lock on `path`; false when it cannot be opened or locked.
    bool hold(const std::string& path);
    void drop();

private:
    int m_fd = -1;
};

// True for a working folder's name: anything, "-", then a random id
// (two digits, four capital letters, four digits, four capital letters, two digits).
bool is_working_folder_name(std::string_view name);

// Marks a working folder an engine keeps on purpose at its end (scripts can
// ask for that): a file named after it + ".keep" beside it. The sweep leaves
// such folders alone.
void mark_kept(const std::string& working_folder);

// Removes, under `temp_root`, the working folders and the "source-*.ruk"
// packages built for a run that belong to this user, are not locked by a
// running engine and have not changed for `grace_seconds` (an engine takes
// its lock a moment after it made the folder). Returns how many went.
int sweep_leftovers(const std::string& temp_root, int grace_seconds = 60);

// The clean-up of an engine that ends through a fatal signal or a forced
// exit: remember() records the working folder and the built package (either
// may be empty); clean_up_now() removes the folder's plain files, the folder
// and the package without allocating, so it may run inside a signal handler.
namespace emergency {
void remember(const std::string& working_folder, const std::string& built_package);
void clean_up_now();
} // namespace emergency

} // namespace ruk
