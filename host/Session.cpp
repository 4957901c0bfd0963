// Unpacking a package for a run, building its code file and removing its folder afterwards.
#include "host/Session.h"

#include "core/Random.h"
#include "host/FileIo.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ruk {

std::string package_name_of(const std::string& path)
{
    fs::path p(path);
    while (!p.empty() && p.filename().empty())
        p = p.parent_path();
    return p.stem().string();
}

std::string Session::temp_root()
{
    return temporary_folder() + "rukreader/";
}

void make_shared_folder(const std::string& path)
{
    std::error_code ec;
    fs::create_directories(path, ec);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & 07777) != 01777)
        ::chmod(path.c_str(), 01777);
}

void Session::prepare_temp_root()
{
    make_shared_folder(temp_root());
}

bool Session::unpack(Random& random, const std::function<void(const PackageHeader&)>& hold_semaphores)
{
    PackageReadOptions options;
    options.create_working_folder = true;
    options.create_semaphores = static_cast<bool>(hold_semaphores);
    options.semaphore_hook = hold_semaphores;
    options.random = &random;
    PackageReadResult result = read_package(package_path, header, options);
    if (!result.header_read) {
        // A package found broken half-way may have left a folder behind.
        if (!result.folder.empty()) {
            Session failed;
            failed.working_folder = result.folder;
            failed.delete_working_folder();
        }
        return false;
    }
    working_folder = result.folder;
    return true;
}

namespace {

// Whether the code file is empty or its last byte is a line break (the code
// file holds every byte complemented).
bool ends_at_line_start(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return true;
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return true;
    in.seekg(size - 1);
    char last = 0;
    if (!in.get(last))
        return true;
    const unsigned char plain = static_cast<unsigned char>(~static_cast<unsigned char>(last));
    return plain == '\n' || plain == '\r';
}

} // namespace

std::string Session::prepare_code() const
{
    const std::string code = working_folder + "identity.qexe";
    for (const char* library : {"_identity.lib", "_identity2.lib"}) {
        std::ifstream in(working_folder + library, std::ios::binary);
        if (!in)
            continue;
        // A code file made elsewhere may end without a line break; the
        // library's first line must not become part of its last one.
        const bool break_needed = !ends_at_line_start(code);
        std::ofstream out(code, std::ios::binary | std::ios::app);
        if (break_needed)
            out << static_cast<char>(~'\r') << static_cast<char>(~'\n');
        out << in.rdbuf();
    }
    return code;
}

bool Session::delete_working_folder() const
{
    if (working_folder.empty())
        return true;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(working_folder, ec)) {
        if (!entry.is_regular_file(ec) && !entry.is_symlink(ec))
            continue;
        bool removed = false;
        for (int attempt = 0; attempt <= 50 && !removed; ++attempt) {
            // Never through a link: it could change a file outside the folder.
            if (!entry.is_symlink(ec))
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
            removed = fs::remove(entry.path(), ec) || !fs::exists(entry.path());
            if (!removed)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!removed)
            return false; // the folder stays, as its file does
    }
    if (::chdir("/") != 0) {
        // The current directory does not matter for the removal itself.
    }
    fs::remove(working_folder, ec);
    return !fs::exists(working_folder);
}

} // namespace ruk
