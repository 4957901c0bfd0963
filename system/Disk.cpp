// The "disk" family: files, folders and drives, and the plain file helpers behind it.
#include "system/Disk.h"
#include "system/DialogBox.h"

#include "host/FileIo.h"

#include "core/Engine.h"
#include "host/Zip.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ruk {

namespace disk {

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.release();
        }
        return *this;
    }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Opens an existing file for reading without ever blocking: a pipe without a
// writer would otherwise hold the engine at open().
Fd open_for_reading(const std::string& path, struct stat& st)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd && ::fstat(fd.get(), &st) != 0)
        fd.reset();
    return fd;
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i]))
            return false;
    return true;
}

// Order of listings: without regard to letter case, then byte order, so the
// same folder lists the same way on every machine.
bool less_ignoring_case(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char x = ascii_lower(a[i]), y = ascii_lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

std::string join_path(const std::string& folder, std::string_view name)
{
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

// The replacement of a file: data goes to a temporary file beside the
// destination, which takes the destination's place only once every byte has
// been written. Destroying an uncommitted object removes the temporary file,
// so a failure leaves the destination as it was.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile()
    {
        m_fd.reset();
        if (!m_temp.empty())
            ::unlink(m_temp.c_str());
    }

    // Prepares the replacement of `path`. Refuses a destination that exists
    // and is not a regular file, and a folder that cannot take a new file.
    // With `in_place_fallback`, a writable file in a folder that takes no new
    // file (read-only, or owned by someone else) is written in place instead:
    // the old contents are then not kept when the write fails half-way.
    bool open(const std::string& path, bool in_place_fallback = false)
    {
        m_target = path;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            // Writing through a link replaces the file it names, not the link.
            char* real = ::realpath(path.c_str(), nullptr);
            if (real) {
                m_target = real;
                std::free(real);
            }
        }
        if (::stat(m_target.c_str(), &m_old) == 0) {
            if (!S_ISREG(m_old.st_mode))
                return false;
            // Replacing takes only the folder's permission; a file its owner
            // made read-only is refused, as writing into it would be.
            if (::access(m_target.c_str(), W_OK) != 0)
                return false;
            m_existed = true;
        } else if (errno != ENOENT) {
            return false;
        }
        size_t slash = m_target.rfind('/');
        std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : m_target.substr(0, slash));
        std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
        if (base.empty())
            return false;
        // Hidden, and short enough for any file system's name limit.
        std::string stem = join_path(folder, "." + base.substr(0, 200) + ".~ruk");
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto now = std::chrono::steady_clock::now().time_since_epoch().count();
            unsigned long mix = static_cast<unsigned long>(now) ^ (static_cast<unsigned long>(::getpid()) << 20)
                ^ (++counter * 2654435761u);
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "%06lx", mix & 0xFFFFFF);
            std::string temp = stem + suffix;
            m_fd = Fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (m_fd) {
                m_temp = temp;
                break;
            }
            if (errno != EEXIST)
                break;
        }
        if (!m_fd) {
            if (!in_place_fallback || !m_existed)
                return false;
            m_fd = Fd(::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
            struct stat now {};
            if (!m_fd || ::fstat(m_fd.get(), &now) != 0 || !S_ISREG(now.st_mode))
                return false;
            m_in_place = true;
            return ::ftruncate(m_fd.get(), 0) == 0;
        }
        if (m_existed) {
            // The new contents keep the old file's owner and permissions.
            if (::fchown(m_fd.get(), m_old.st_uid, m_old.st_gid) != 0) {
                // Only the superuser may give files away; others keep their own.
            }
            ::fchmod(m_fd.get(), m_old.st_mode & 07777);
        }
        return true;
    }

    int fd() const { return m_fd.get(); }
    const std::string& temp_path() const { return m_temp; }
    bool existed() const { return m_existed; }
    bool write(std::string_view data) { return write_all(m_fd.get(), data.data(), data.size()); }

    // Puts the temporary file in the destination's place. With `no_overwrite`
    // an existing destination is refused without a window in which another
    // writer could slip in.
    bool commit(bool no_overwrite)
    {
        if (m_in_place) {
            if (no_overwrite || ::fsync(m_fd.get()) != 0)
                return false;
            return ::close(m_fd.release()) == 0;
        }
        if (m_fd) {
            // A replaced file must not come back empty after a power cut.
            if (m_existed && ::fsync(m_fd.get()) != 0)
                return false;
            if (::close(m_fd.release()) != 0)
                return false;
        }
        if (no_overwrite) {
            if (::link(m_temp.c_str(), m_target.c_str()) == 0) {
                ::unlink(m_temp.c_str());
                m_temp.clear();
                return true;
            }
            struct stat st {};
            if (errno == EEXIST || ::lstat(m_target.c_str(), &st) == 0)
                return false;
            // A file system without hard links: fall through to the rename.
        }
        if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
            return false;
        m_temp.clear();
        return true;
    }

private:
    std::string m_target;
    std::string m_temp;
    Fd m_fd;
    struct stat m_old {};
    bool m_existed = false;
    bool m_in_place = false;
};

// Appends a regular file's bytes to `out`; true when there was nothing to
// read (not a regular file, cannot be opened) or every byte was copied.
// `read_failed` says whether a read went wrong.
bool append_file(const std::string& path, ReplacingFile& out, bool& read_failed)
{
    struct stat st {};
    Fd in = open_for_reading(path, st);
    if (!in || !S_ISREG(st.st_mode))
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

std::optional<std::string> find_ignoring_case(const std::string& folder, std::string_view name)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view found = entry->d_name;
        if (equal_ignoring_case(found, name) && (!best || found < *best))
            best = std::string(found);
    }
    ::closedir(dir);
    return best;
}

// Looks for a path that does not exist as written without regard to letter
// case, one component at a time, below the current folder. Components that
// exist as written are kept; the first component found in no form, and
// everything after it, stay as written. A ".." ends the search, as it may
// leave the folder.
std::string fold_case(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return path;
    std::string cwd = buffer;
    std::string rest;
    if (path[0] == '/') {
        std::string prefix = cwd == "/" ? "/" : cwd + "/";
        if (path.compare(0, prefix.size(), prefix) != 0)
            return path;
        rest = path.substr(prefix.size());
    } else {
        rest = path;
    }
    std::string current = cwd;
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = rest.find('/', pos);
        if (end == std::string::npos)
            end = rest.size();
        std::string_view part(rest.data() + pos, end - pos);
        if (part.empty() || part == ".") {
            pos = end + 1;
            continue;
        }
        if (part == "..")
            return join_path(current, std::string_view(rest).substr(pos));
        std::string candidate = join_path(current, part);
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0) {
            auto match = find_ignoring_case(current, part);
            if (!match)
                return join_path(current, std::string_view(rest).substr(pos));
            candidate = join_path(current, *match);
        }
        current = std::move(candidate);
        pos = end + 1;
    }
    if (rest.empty() || rest.back() == '/')
        current = join_path(current, "");
    return current;
}

constexpr int MinYear = 1980;
constexpr int MaxYear = 2107;

int32_t pack_tm(const std::tm& t)
{
    uint32_t value = (static_cast<uint32_t>(t.tm_year + 1900 - MinYear) << 25)
        | (static_cast<uint32_t>(t.tm_mon + 1) << 21) | (static_cast<uint32_t>(t.tm_mday) << 16)
        | (static_cast<uint32_t>(t.tm_hour) << 11) | (static_cast<uint32_t>(t.tm_min) << 5)
        | static_cast<uint32_t>(std::min(t.tm_sec, 59) / 2);
    return static_cast<int32_t>(value);
}

std::tm make_tm(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

// Octal escapes (\040 for a blank) of /proc/self/mountinfo undone.
std::string unescape_mount_field(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i >= 4) {
            bool octal = true;
            int value = 0;
            for (size_t k = 1; k <= 3; ++k) {
                char c = text[i + k];
                if (c < '0' || c > '7')
                    octal = false;
                value = value * 8 + (c - '0');
            }
            if (octal && value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool is_drive_mount_point(std::string_view mount_point)
{
    for (std::string_view base : {std::string_view("/media"), std::string_view("/mnt")}) {
        if (mount_point == base)
            return true;
        if (mount_point.size() > base.size() && mount_point.substr(0, base.size()) == base
            && mount_point[base.size()] == '/')
            return true;
    }
    return false;
}

// "\x20"-style escapes of /dev/disk/by-label names undone.
std::string unescape_label(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(text[i + 2]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace

// ---- packed date-time numbers ----

int32_t pack_date_time(std::time_t when)
{
    std::tm t {};
    if (!::localtime_r(&when, &t) || t.tm_year + 1900 < MinYear)
        return pack_tm(make_tm(MinYear, 1, 1, 0, 0, 0));
    if (t.tm_year + 1900 > MaxYear)
        return pack_tm(make_tm(MaxYear, 12, 31, 23, 59, 58));
    return pack_tm(t);
}

std::optional<std::time_t> unpack_date_time(int32_t packed)
{
    uint32_t v = static_cast<uint32_t>(packed);
    int year = static_cast<int>(v >> 25) + MinYear;
    int month = static_cast<int>((v >> 21) & 15);
    int day = static_cast<int>((v >> 16) & 31);
    int hour = static_cast<int>((v >> 11) & 31);
    int minute = static_cast<int>((v >> 5) & 63);
    int second = static_cast<int>(v & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    std::tm t = make_tm(year, month, day, hour, minute, second);
    std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1))
        return std::nullopt;
    // mktime carries 31 February into March: such a date does not exist.
    if (t.tm_year != year - 1900 || t.tm_mon != month - 1 || t.tm_mday != day)
        return std::nullopt;
    return when;
}

std::optional<int32_t> pack_days_later(std::time_t when, int32_t days)
{
    std::tm t {};
    if (!::localtime_r(&when, &t))
        return std::nullopt;
    t.tm_mday += days;
    t.tm_isdst = -1;
    std::time_t later = std::mktime(&t);
    if (later == static_cast<std::time_t>(-1))
        return std::nullopt;
    std::tm check {};
    if (!::localtime_r(&later, &check) || check.tm_year + 1900 < MinYear || check.tm_year + 1900 > MaxYear)
        return std::nullopt;
    return pack_tm(check);
}

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

std::vector<std::string_view> split_pieces(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (;;) {
        size_t cut = text.find(separator, start);
        if (cut == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, cut - start));
        start = cut + 1;
    }
}

bool wildcard_match(std::string_view pattern, std::string_view name)
{
    // Greedy matching with one backtrack point: the last "*" seen.
    size_t p = 0, n = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || ascii_lower(pattern[p]) == ascii_lower(name[n]))) {
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

// ---- paths ----

std::optional<std::string> resolve_path(std::string_view script_path)
{
    if (script_path.empty())
        return std::nullopt;
    std::string path(script_path);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        std::string root = "/";
        if (letter != 'C') {
            DriveMap drives = DriveMap::current();
            const Drive* drive = drives.find(letter);
            if (!drive)
                return std::nullopt;
            root = drive->root;
        }
        size_t rest = path.find_first_not_of('/', 2);
        path = rest == std::string::npos ? root : join_path(root, std::string_view(path).substr(rest));
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        return path;
    return fold_case(path);
}

// ---- files ----

std::optional<std::string> read_file(const std::string& path)
{
    struct stat st {};
    Fd fd = open_for_reading(path, st);
    if (!fd || !S_ISREG(st.st_mode))
        return std::nullopt;
    try {
        std::string data;
        // Files under /proc say they are empty and are not: read to the end
        // instead of trusting the size.
        data.reserve(static_cast<size_t>(std::max<off_t>(st.st_size, 0)));
        std::array<char, 65536> buffer;
        for (;;) {
            ssize_t n = read_some(fd.get(), buffer.data(), buffer.size());
            if (n < 0)
                return std::nullopt;
            if (n == 0)
                return data;
            data.append(buffer.data(), static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

bool write_file(const std::string& path, std::string_view data)
{
    ReplacingFile out;
    return out.open(path, true) && out.write(data) && out.commit(false);
}

bool copy_file(const std::string& src, const std::string& dst, bool no_overwrite)
{
    struct stat st {};
    Fd in = open_for_reading(src, st);
    if (!in || !S_ISREG(st.st_mode))
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
    struct stat st {};
    Fd fd = open_for_reading(path, st);
    return fd && S_ISREG(st.st_mode);
}

int64_t file_size(const std::string& path)
{
    struct stat st {};
    Fd fd = open_for_reading(path, st);
    if (!fd || !S_ISREG(st.st_mode))
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

// ---- drives ----

DriveMap DriveMap::current()
{
    return from_mountinfo(read_file("/proc/self/mountinfo").value_or(std::string()));
}

DriveMap DriveMap::from_mountinfo(std::string_view text)
{
    Drive root {'C', "/", "", "", 0, 0};
    std::vector<Drive> others;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string_view> fields;
        size_t pos = 0;
        while (pos < line.size()) {
            size_t gap = line.find(' ', pos);
            if (gap == std::string_view::npos)
                gap = line.size();
            if (gap > pos)
                fields.push_back(line.substr(pos, gap - pos));
            pos = gap + 1;
        }
        // id parent major:minor root mount-point options [optional...] - type source options
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (fields.size() < 5 || dash + 1 >= fields.size())
            continue;
        Drive drive;
        drive.root = unescape_mount_field(fields[4]);
        drive.fs_type = std::string(fields[dash + 1]);
        drive.source = dash + 2 < fields.size() ? unescape_mount_field(fields[dash + 2]) : std::string();
        unsigned major = 0, minor = 0;
        if (std::sscanf(std::string(fields[2]).c_str(), "%u:%u", &major, &minor) == 2) {
            drive.major = major;
            drive.minor = minor;
        }
        if (drive.root == "/") {
            // The last mount on "/" is the one that is seen.
            drive.letter = 'C';
            root = drive;
        } else if (is_drive_mount_point(drive.root)) {
            auto same = std::find_if(others.begin(), others.end(), [&](const Drive& d) { return d.root == drive.root; });
            if (same != others.end())
                *same = drive; // mounted over: keeps its letter, shows the new file system
            else
                others.push_back(drive);
        }
    }
    DriveMap map;
    map.m_drives.push_back(root);
    char letter = 'D';
    for (Drive& drive : others) {
        if (letter > 'Z')
            break;
        drive.letter = letter++;
        map.m_drives.push_back(drive);
    }
    return map;
}

const Drive* DriveMap::find(char letter) const
{
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const Drive& drive : m_drives)
        if (drive.letter == upper)
            return &drive;
    return nullptr;
}

std::string DriveMap::letters() const
{
    std::string out;
    for (const Drive& drive : m_drives) {
        if (!out.empty())
            out += ListSeparator;
        out += drive.letter;
    }
    return out;
}

std::string drive_type_name(std::string_view fs_type, bool removable_device)
{
    static constexpr std::string_view network[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p",
        "ceph", "coda", "glusterfs", "lustre", "davfs", "sshfs", "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2",
        "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.cephfs"};
    if (fs_type.empty() || fs_type == "autofs")
        return "Unknown";
    if (std::find(std::begin(network), std::end(network), fs_type) != std::end(network))
        return "Network";
    if (fs_type == "iso9660" || fs_type == "udf")
        return "CD-Rom";
    if (fs_type == "tmpfs" || fs_type == "ramfs")
        return "RamDisk";
    return removable_device ? "Removable" : "Hard disk";
}

bool block_device_removable(unsigned major, unsigned minor)
{
    if (major == 0)
        return false;
    std::string link = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    char* real = ::realpath(link.c_str(), nullptr);
    if (!real)
        return false;
    std::string device = real;
    std::free(real);
    if (device.find("/usb") != std::string::npos)
        return true;
    struct stat st {};
    if (::stat((device + "/partition").c_str(), &st) == 0)
        device = device.substr(0, device.rfind('/'));
    auto flag = read_file(device + "/removable");
    return flag && !flag->empty() && (*flag)[0] == '1';
}

std::string volume_label(unsigned major, unsigned minor)
{
    if (major == 0)
        return std::string();
    const std::string folder = "/dev/disk/by-label";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return std::string();
    std::string label;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::stat(join_path(folder, name).c_str(), &st) == 0 && S_ISBLK(st.st_mode)
            && st.st_rdev == makedev(major, minor)) {
            label = unescape_label(name);
            break;
        }
    }
    ::closedir(dir);
    return label;
}

} // namespace disk

namespace {

inline constexpr const char* MsgCannotRead = "Cannot read file.";
inline constexpr const char* MsgCannotWrite = "Cannot write file.";
inline constexpr const char* MsgCannotMerge = "Cannot merge file.";
// Labels and file-system names are cut to this length.
inline constexpr size_t MaxVolumeText = 127;

// What the family keeps between commands: the compressor, made on first use.
struct DiskState {
    std::unique_ptr<Compressor> compressor;
    Compressor& zip()
    {
        if (!compressor)
            compressor = std::make_unique<Compressor>();
        return *compressor;
    }
};

std::optional<std::string> path_param(Engine& e, int n) { return disk::resolve_path(e.param(n)); }

// A packed date-time number. Almost every such number is beyond the 24 bits
// an integer expression holds exactly, so a plain decimal number is read
// as it is; anything else is taken as an expression.
int32_t packed_param(Engine& e, int n)
{
    const std::string& text = e.param(n);
    size_t digits = text.size() > 1 && text[0] == '-' ? 1 : 0;
    bool plain = digits < text.size() && text.size() - digits <= 10
        && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
    if (plain) {
        long long value = std::stoll(text);
        if (value >= INT32_MIN && value <= UINT32_MAX)
            return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return e.param_int(n, -1);
}

// The separator of array files: the first character of the parameter, or
// 0x01 when it is empty.
char separator_param(Engine& e, int n)
{
    const std::string& text = e.param(n);
    return text.empty() ? '\x01' : text[0];
}

// Stores texts into an array from element `first` on; the array is found or
// created by name and is not emptied beyond the last element written.
// Returns false when the array would grow past the largest index a script may use.
bool fill_array(Engine& e, const std::string& name, bool append, const std::vector<std::string_view>& texts)
{
    if (name.empty())
        return true;
    VarStore& vars = e.vars();
    int32_t number = vars.index(name);
    int32_t first = append ? vars.at(number).highest() + 1 : 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        int64_t index = static_cast<int64_t>(first) + static_cast<int64_t>(i);
        if (index > VarStore::MaxIndex)
            return false;
        vars.set_element(number, static_cast<int32_t>(index), texts[i]);
    }
    return true;
}

// "file.list" and "folder.list": the pattern's folder part (up to its last
// separator) says where to look, the rest which names to take.
Result list_into_array(Engine& e, bool folders)
{
    std::string pattern = e.param(1);
    std::string array = e.param(2);
    size_t cut = pattern.find_last_of("\\/");
    std::string folder;
    if (cut != std::string::npos) {
        auto resolved = disk::resolve_path(std::string_view(pattern).substr(0, cut + 1));
        if (!resolved)
            return std::string();
        folder = *resolved;
    }
    std::string_view names_pattern = cut == std::string::npos ? std::string_view(pattern)
                                                              : std::string_view(pattern).substr(cut + 1);
    std::vector<std::string> names = disk::list_folder(folder, names_pattern, folders);
    std::vector<std::string_view> texts(names.begin(), names.end());
    if (!fill_array(e, array, false, texts))
        e.report_error(MsgBadIndex);
    return std::string();
}

Result file_load(Engine& e)
{
    const std::string& mode = e.word(3);
    auto path = path_param(e, 1);
    // A file that is not there reads as empty text; one that is there and
    // cannot be read is an error.
    std::optional<std::string> data;
    struct stat st {};
    if (!path || ::stat(path->c_str(), &st) != 0)
        data = std::string();
    else
        data = disk::read_file(*path);
    if (!data) {
        e.report_error(MsgCannotRead);
        return std::string();
    }
    if (mode == "decode") {
        // The whole file is decoded before the text ends at a zero: a byte
        // 0xFF in a saved text comes back instead of cutting the text short.
        disk::invert_bytes(*data);
        return std::string(disk::until_zero(*data));
    }
    if (mode == "array") {
        std::string array = e.param(2);
        bool append = e.word(4) == "append";
        auto pieces = disk::split_pieces(disk::until_zero(*data), separator_param(e, 3));
        if (!fill_array(e, array, append, pieces))
            e.report_error(MsgBadIndex);
        return std::string();
    }
    return std::string(disk::until_zero(*data));
}

Result file_save(Engine& e)
{
    std::string data;
    bool encode = false;
    if (e.word(3) == "array") {
        encode = e.word(4) == "encode";
        const std::string& name = e.param(2);
        char separator = separator_param(e, 3);
        if (!name.empty()) {
            const auto& elements = e.vars().at(e.vars().index(name)).elements;
            for (size_t i = 0; i < elements.size(); ++i) {
                if (i > 0)
                    data += separator;
                data += elements[i];
            }
        }
    } else {
        encode = e.word(3) == "encode";
        data = std::string(disk::until_zero(e.param(2)));
    }
    if (encode)
        disk::invert_bytes(data);
    auto path = path_param(e, 1);
    if (!path || !disk::write_file(*path, data))
        e.report_error(MsgCannotWrite);
    return std::string();
}

Result file_zip(Engine& e, DiskState& state, bool compress)
{
    auto src = path_param(e, 1);
    auto dst = path_param(e, 2);
    return flag_to_text(src && dst && disk::zip_file(state.zip(), *src, *dst, compress));
}

Result file_ops(Engine& e, DiskState& state)
{
    const std::string& op = e.word(2);
    if (op == "copy") {
        auto src = path_param(e, 1);
        auto dst = path_param(e, 2);
        return flag_to_text(src && dst && disk::copy_file(*src, *dst, starts_with_1(e.param(3))));
    }
    if (op == "compress")
        return file_zip(e, state, true);
    if (op == "expand")
        return file_zip(e, state, false);
    if (op == "size") {
        auto path = path_param(e, 1);
        return int_to_text(path ? disk::file_size(*path) : -1);
    }
    if (op == "delete") {
        auto path = path_param(e, 1);
        return flag_to_text(path && disk::delete_file(*path));
    }
    if (op == "move") {
        auto src = path_param(e, 1);
        auto dst = path_param(e, 2);
        if (!src || !dst || !disk::copy_file(*src, *dst, starts_with_1(e.param(3))))
            return flag_to_text(false);
        return flag_to_text(disk::delete_file(*src));
    }
    if (op == "exists") {
        auto path = path_param(e, 1);
        return flag_to_text(path && disk::file_readable(*path));
    }
    if (op == "list")
        return list_into_array(e, false);
    if (op == "older") {
        auto path = path_param(e, 1);
        int32_t days = e.param_int(2, 0) / 1000;
        auto packed = disk::pack_days_later(std::time(nullptr), days);
        auto when = packed ? disk::unpack_date_time(*packed) : std::nullopt;
        if (path && when)
            disk::set_file_date(*path, *when);
        return std::string();
    }
    if (op == "date") {
        if (e.word(3) == "get") {
            auto path = path_param(e, 1);
            auto packed = path ? disk::file_date(*path) : std::nullopt;
            return int_to_text(packed ? *packed : -1);
        }
        if (e.word(3) == "set") {
            auto path = path_param(e, 1);
            std::optional<std::time_t> when;
            if (e.param(2).empty())
                when = disk::unpack_date_time(disk::pack_date_time(std::time(nullptr)));
            else
                when = disk::unpack_date_time(packed_param(e, 2));
            if (path && when)
                disk::set_file_date(*path, *when);
            return std::string();
        }
        return e.call_function();
    }
    if (op == "load")
        return file_load(e);
    if (op == "save")
        return file_save(e);
    if (op == "merge") {
        auto first = path_param(e, 1);
        auto second = path_param(e, 2);
        auto out = path_param(e, 3);
        if (!out || disk::merge_files(first.value_or(""), second.value_or(""), *out) != disk::MergeResult::Done)
            e.report_error(MsgCannotMerge);
        return std::string();
    }
    return e.call_function();
}

Result folder_ops(Engine& e)
{
    const std::string& op = e.word(2);
    if (op == "create") {
        auto path = path_param(e, 1);
        if (!path)
            return flag_to_text(false);
        std::error_code ec;
        std::filesystem::create_directories(*path, ec);
        return flag_to_text(std::filesystem::is_directory(*path, ec));
    }
    if (op == "remove") {
        // The engine's current folder never holds a folder on Linux, so there
        // is no need to step out of it first.
        auto path = path_param(e, 1);
        return flag_to_text(path && ::rmdir(path->c_str()) == 0);
    }
    if (op == "exists") {
        std::string text = e.param(1);
        if (text.size() > 1 && (text.back() == '\\' || text.back() == '/'))
            text.pop_back();
        auto path = disk::resolve_path(text);
        struct stat st {};
        return flag_to_text(path && ::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    }
    if (op == "list")
        return list_into_array(e, true);
    if (op == "setassystem") {
        // Linux has no system attribute; what the call can still mean here is
        // that the file is no longer read-only.
        auto path = path_param(e, 1);
        struct stat st {};
        if (path && ::stat(path->c_str(), &st) == 0)
            ::chmod(path->c_str(), (st.st_mode & 07777) | S_IWUSR);
        return std::string();
    }
    return e.call_function();
}

// Space on a drive in KiB, or MiB when `mib`; -1 when the drive is missing.
Result drive_space(Engine& e, const disk::Drive* drive, bool total)
{
    struct statvfs fs {};
    if (!drive || ::statvfs(drive->root.c_str(), &fs) != 0)
        return int_to_text(-1);
    uint64_t blocks = total ? fs.f_blocks : fs.f_bavail;
    uint64_t amount = blocks * static_cast<uint64_t>(fs.f_frsize) / 1024;
    if (starts_with_1(e.param(2)))
        amount /= 1024;
    return int_to_text(static_cast<int64_t>(amount));
}

Result drive_ops(Engine& e)
{
    const std::string& op = e.word(2);
    if (op == "list")
        return disk::DriveMap::current().letters();
    disk::DriveMap drives = disk::DriveMap::current();
    const std::string& letter_text = e.param(1);
    const disk::Drive* drive = letter_text.empty() ? nullptr : drives.find(letter_text[0]);
    if (op == "type") {
        struct stat st {};
        if (!drive || ::stat(drive->root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return std::string("Does not exist");
        return disk::drive_type_name(drive->fs_type, disk::block_device_removable(drive->major, drive->minor));
    }
    if (op == "ffreespace" || op == "freespace")
        return drive_space(e, drive, false);
    if (op == "totalspace")
        return drive_space(e, drive, true);
    if (op == "label")
        return drive ? disk::volume_label(drive->major, drive->minor).substr(0, MaxVolumeText) : std::string();
    if (op == "sysname")
        return drive ? drive->fs_type.substr(0, MaxVolumeText) : std::string();
    return e.call_function();
}

} // namespace

void register_disk_family(Engine& engine, FileDialogs& dialogs)
{
    auto state = std::make_shared<DiskState>();
    auto dialog_box = std::make_shared<DialogBox>(dialogs);
    engine.register_family("disk", [state, dialog_box](Engine& e) -> Result {
        const std::string& group = e.word(1);
        if (group == "dialogbox")
            return dialog_box->handle(e);
        if (group == "file")
            return file_ops(e, *state);
        if (group == "folder")
            return folder_ops(e);
        if (group == "drive")
            return drive_ops(e);
        return e.call_function();
    });
}

} // namespace ruk
