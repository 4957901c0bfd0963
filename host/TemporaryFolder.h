// A private folder under the temporary folder, removed with its contents.
#pragma once

#include <string>

namespace ruk {

// The folder is made (mode 0700, a unique name beginning with `prefix`)
// the first time its path is asked for, and removed with everything in it
// when the object goes away. A folder that cannot be made reads as an empty
// path, which the caller must check.
class TemporaryFolder {
public:
    explicit TemporaryFolder(std::string prefix) : m_prefix(std::move(prefix)) {}
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // The folder's path ending in "/", or empty when it cannot be made.
    const std::string& path();

private:
    std::string m_prefix;
    std::string m_path;
    bool m_tried = false;
};

} // namespace ruk
