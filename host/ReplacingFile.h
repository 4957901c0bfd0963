// Replacing a file whole: new contents go to a temporary file that takes the old one's place.
#pragma once

#include "host/FileDescriptor.h"

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace ruk {

// The replacement of a file: data goes to a temporary file beside the
// destination, which takes the destination's place only once every byte has
// been written. Destroying an uncommitted object removes the temporary file,
// so a failure leaves the destination as it was.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile();

    // Prepares the replacement of `path`. Refuses a destination that exists
    // and is not a regular file, one its owner made read-only, and a folder
    // that cannot take a new file. Writing through a link replaces the file
    // it names. The new file keeps an old file's owner and permissions.
    // With `in_place_fallback`, a writable file in a folder that takes no new
    // file (read-only, or owned by someone else) is written in place instead:
    // the old contents are then not kept when the write fails half-way.
    bool open(const std::string& path, bool in_place_fallback = false);

    int fd() const { return m_fd.get(); }
    const std::string& temp_path() const { return m_temp; }
    bool existed() const { return m_existed; }
    bool write(std::string_view data);

    // Puts the temporary file in the destination's place. A file that
    // replaces another is flushed to the disk first (always, with
    // `always_sync`). With `no_overwrite` an existing destination is refused
    // without a window in which another writer could slip in.
    bool commit(bool no_overwrite, bool always_sync = false);

private:
    std::string m_target;
    std::string m_temp;
    FileDescriptor m_fd;
    struct stat m_old {};
    bool m_existed = false;
    bool m_in_place = false;
};

// Replaces (or creates) `path` with `data` through a ReplacingFile, flushed
// to the disk, with the permission bits `mode` when it is not negative.
bool replace_file_contents(const std::string& path, std::string_view data, int mode = -1);

} // namespace ruk
