// The file and folder operations of the disk family, on plain paths.
#include "system/FileOps.h"

#include "core/Text.h"
#include "host/FileDescriptor.h"
#include "host/FileIo.h"
#include "host/ReplacingFile.h"
#include "host/Zip.h"
#include "system/PackedDate.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruk::disk {

namespace {

// Order of listings: without regard to letter case, then byte order, so the
// same folder lists the same way on every machine.
bool less_ignoring_case(const std::string& a, const std::string& b)
{
    int order = compare_ignoring_case(a, b);
    return order != 0 ? order < 0 : a < b;
}

// Appends a regular file's bytes to `out`; true when there was nothing to
// read (not a regular file, cannot be opened) or every byte was copied.
// `read_failed` says whether a read went wrong.
bool append_file(const std::string& path, ReplacingFile& out, bool& read_failed)
{
    FileDescriptor in(open_regular(path));
    if (!in)
        return true;
    std::array<char, 65536> buffer;
    for (;;) {
        ssize_t n = read_some(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            read_failed = true;
            return false;
        }
        if (n == 0)
            return true;
        if (!out.write(std::string_view(buffer.data(), static_cast<size_t>(n))))
            return false;
    }
}

} // namespace

// ---- texts and arrays ----

void invert_bytes(std::string& bytes)
{
    for (char& c : bytes)
        c = static_cast<char>(255 - static_cast<unsigned char>(c));
}

std::string_view until_zero(std::string_view bytes)
{
    size_t zero = bytes.find('\0');
    return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

bool wildcard_match(std::string_view pattern, std::string_view name)
{
    // Greedy matching with one backtrack point: the last "*" seen.
    size_t p = 0, n = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lower_char(pattern[p]) == lower_char(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            break;
        }
    }
    if (n == name.size()) {
        while (p < pattern.size() && pattern[p] == '*')
            ++p;
        if (p == pattern.size())
            return true;
    }
    // "name.*" also takes a name without any extension.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
        return wildcard_match(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

// ---- files ----

bool write_file(const std::string& path, std::string_view data)
{
    ReplacingFile out;
    return out.open(path, true) && out.write(data) && out.commit(false);
}

bool copy_file(const std::string& src, const std::string& dst, bool no_overwrite)
{
    struct stat st {};
    FileDescriptor in(open_regular(src));
    if (!in || ::fstat(in.get(), &st) != 0)
        return false;
    struct stat dst_st {};
    if (::stat(dst.c_str(), &dst_st) == 0 && dst_st.st_dev == st.st_dev && dst_st.st_ino == st.st_ino)
        return false; // onto itself: a following "move" would delete the only copy
    if (no_overwrite && ::lstat(dst.c_str(), &dst_st) == 0)
        return false;
    ReplacingFile out;
    if (!out.open(dst))
        return false;
    std::array<char, 65536> buffer;
    for (;;) {
        ssize_t n = read_some(in.get(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!out.write(std::string_view(buffer.data(), static_cast<size_t>(n))))
            return false;
    }
    // The copy is an ordinary file: the source's permissions, writable by
    // its owner, and its modification date.
    ::fchmod(out.fd(), (st.st_mode & 0777) | S_IWUSR);
    struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::futimens(out.fd(), times);
    return out.commit(no_overwrite);
}

bool zip_file(Compressor& zip, const std::string& src, const std::string& dst, bool compress)
{
    // Only regular files: a pipe or a device would block or never end.
    struct stat st {};
    if (::stat(src.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    ReplacingFile out;
    if (!out.open(dst))
        return false;
    bool ok = compress ? zip.compress_file(src, out.temp_path()) : zip.expand_file(src, out.temp_path());
    if (!ok) {
        // A destination that was there stays as it was; a new one is left
        // as the compressor left it, empty or a bare header.
        if (!out.existed())
            out.commit(false);
        return false;
    }
    return out.commit(false);
}

MergeResult merge_files(const std::string& first, const std::string& second, const std::string& out_path)
{
    ReplacingFile out;
    if (!out.open(out_path))
        return MergeResult::WriteFailed;
    bool read_failed = false;
    if (!append_file(first, out, read_failed) || !append_file(second, out, read_failed))
        return read_failed ? MergeResult::ReadFailed : MergeResult::WriteFailed;
    return out.commit(false) ? MergeResult::Done : MergeResult::WriteFailed;
}

bool file_readable(const std::string& path)
{
    return bool(FileDescriptor(open_regular(path)));
}

int64_t file_size(const std::string& path)
{
    struct stat st {};
    FileDescriptor fd(open_regular(path));
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

std::optional<int32_t> file_date(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return pack_date_time(st.st_mtime);
}

bool set_file_date(const std::string& path, std::time_t when)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool delete_file(const std::string& path)
{
    // A link goes by itself (never what it names) when it names a regular
    // file or nothing; a pipe, a device, a socket or a folder is never
    // removed, nor a link to one.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
            return false;
    } else if (!S_ISREG(st.st_mode)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

std::vector<std::string> list_folder(const std::string& folder, std::string_view pattern, bool folders)
{
    std::vector<std::string> names;
    std::string where = folder.empty() ? "." : folder;
    DIR* dir = ::opendir(where.c_str());
    if (!dir)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !wildcard_match(pattern, name))
            continue;
        struct stat st {};
        std::string full = join_path(where, name);
        bool is_folder = (::stat(full.c_str(), &st) == 0 || ::lstat(full.c_str(), &st) == 0) && S_ISDIR(st.st_mode);
        if (is_folder == folders)
            names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), less_ignoring_case);
    return names;
}

bool path_exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool create_folder(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool remove_folder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0;
}

bool folder_exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool make_owner_writable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

} // namespace ruk::disk
