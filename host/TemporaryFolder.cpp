// A private folder under the temporary folder, removed with its contents.
#include "host/TemporaryFolder.h"

#include "host/FileIo.h"

#include <cstdlib>
#include <filesystem>

namespace ruk {

TemporaryFolder::~TemporaryFolder()
{
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}

const std::string& TemporaryFolder::path()
{
    // One attempt only: a folder that could not be made once is not tried
    // again behind the caller's back.
    if (!m_tried) {
        m_tried = true;
        std::string pattern = temporary_folder() + m_prefix + "-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = pattern + "/";
    }
    return m_path;
}

} // namespace ruk
