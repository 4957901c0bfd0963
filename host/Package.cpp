// Script packages: reading and unpacking, the header as text, inspection and building.
#include "host/Package.h"

#include "host/FileDescriptor.h"
#include "host/FileIo.h"
#include "host/TemporaryFolder.h"

#include "core/Random.h"
#include "core/Text.h"
#include "host/Zip.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace ruk {

namespace fs = std::filesystem;
using namespace package_layout;

namespace {

constexpr std::string_view MediaList =
    ".ruk^^.jpg^^.mp^^.flv^^.mp4^^.wma^^.gif^^.swf^^.pdf^^.wmv^^.avi^^.qt^^.asf^^.divx^^.ivf^^.mov^^.mpg^^.mpeg^^.rm^^.viv^^.ram^^.ra";
constexpr size_t CopyChunk = 64 * 1024;

bool read_exact_at(int fd, uint8_t* out, size_t size, uint64_t offset)
{
    return read_at(fd, out, size, offset) == size;
}

// Copies `size` bytes from `in` at `offset` to the end of `out`.
bool copy_range(int in, uint64_t offset, uint64_t size, int out)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, CopyChunk)));
    while (size > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
        if (!read_exact_at(in, buffer.data(), n, offset) || !write_all(out, buffer.data(), n))
            return false;
        offset += n;
        size -= n;
    }
    return true;
}

// A zero-padded header field: the text up to the first zero byte.
std::string field_text(const uint8_t* header, size_t offset, size_t width)
{
    const char* start = reinterpret_cast<const char*>(header + offset);
    return std::string(start, strnlen(start, width));
}

// A decimal number made of digits only (after trimming); anything else,
// including an empty text, is not a number.
std::optional<uint64_t> parse_number(std::string_view text)
{
    text = trim_blanks(text);
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

std::string with_slash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// A package id may hold any byte; only a plain folder-name form of it may
// become part of a path.
std::string folder_safe(std::string_view id)
{
    std::string out(id);
    for (char& c : out) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    }
    return out;
}

struct RawHeader {
    uint8_t bytes[HeaderSize];
};

std::optional<RawHeader> read_raw_header(int fd)
{
    RawHeader h;
    if (!read_exact_at(fd, h.bytes, HeaderSize, 0))
        return std::nullopt;
    return h;
}

PackageHeader header_fields(const RawHeader& h)
{
    PackageHeader out;
    out.family_id = field_text(h.bytes, FamilyOffset, FamilyWidth);
    out.package_id = field_text(h.bytes, IdOffset, IdWidth);
    out.second_id = field_text(h.bytes, SecondIdOffset, SecondIdWidth);
    out.short_text = field_text(h.bytes, ShortOffset, ShortWidth);
    out.long_text = field_text(h.bytes, LongOffset, LongWidth);
    return out;
}

std::string raw_count_field(const RawHeader& h)
{
    return std::string(reinterpret_cast<const char*>(h.bytes + CountOffset), CountWidth);
}

std::optional<int> entry_count(const RawHeader& h)
{
    auto n = parse_number(raw_count_field(h));
    if (!n || *n > static_cast<uint64_t>(ReaderMaxEntries))
        return std::nullopt;
    return static_cast<int>(*n);
}

uint64_t file_size_of(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// The directory (57 bytes per entry). Bytes missing at the end of a short
// file read as zero bytes, which no entry accepts as a size.
std::vector<uint8_t> read_directory(int fd, int count)
{
    std::vector<uint8_t> dir(EntrySize * static_cast<size_t>(count), 0);
    read_at(fd, dir.data(), dir.size(), HeaderSize);
    return dir;
}

struct DirectoryEntry {
    std::optional<uint64_t> size;
    std::string name;
};

DirectoryEntry directory_entry(const std::vector<uint8_t>& dir, int index)
{
    const char* at = reinterpret_cast<const char*>(dir.data()) + EntrySize * static_cast<size_t>(index);
    DirectoryEntry e;
    e.size = parse_number(std::string_view(at, SizeWidth));
    e.name = read_name_field(std::string_view(at + SizeWidth, NameWidth));
    return e;
}

bool ends_with_compressed_mark(std::string_view name)
{
    return name.size() >= 2 && name.substr(name.size() - 2) == "__";
}

std::string lower_extension(std::string_view name)
{
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return to_lower(name.substr(dot));
}

// Creates (or truncates) a member's file for writing. A link planted in the
// folder under the member's name never redirects the write: it is removed
// and a plain file takes its place. Anything else that is not a regular file
// (a folder, a pipe, a device) is refused.
int open_member_output(const std::string& path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
        if (fd < 0) {
            struct stat st {};
            if (errno == ELOOP && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(path.c_str()) == 0)
                continue;
            return -1;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return -1;
        }
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        return fd;
    }
    return -1;
}

// Writes one member's data into `folder`; expands a compressed member and
// removes its "__" file. Returns false when the member was not written.
bool unpack_member(int package_fd, const DirectoryEntry& entry, uint64_t offset, const std::string& folder,
    Compressor& compressor)
{
    const std::string& name = entry.name;
    bool compressed = ends_with_compressed_mark(name);
    if (!is_safe_member_name(name) || (compressed && !is_safe_member_name(name.substr(0, name.size() - 2))))
        return false;
    std::string target = folder + name;
    FileDescriptor out(open_member_output(target));
    if (!out)
        return false;
    bool copied = copy_range(package_fd, offset, *entry.size, out.get());
    out.reset();
    if (!compressed)
        return copied;
    bool expanded = false;
    if (copied) {
        // The expanded file is opened here, never through a link planted
        // under its name: a link is replaced by a plain file instead.
        std::string expanded_path = folder + name.substr(0, name.size() - 2);
        FileDescriptor in(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        FileDescriptor dst(open_member_output(expanded_path));
        expanded = in && dst && compressor.expand_descriptor(in.get(), dst.get());
        if (dst && ::close(dst.release()) != 0)
            expanded = false;
    }
    ::unlink(target.c_str());
    // An empty file is stored as a bare stream header announcing zero bytes;
    // the expansion refuses it but leaves the empty file, which is right.
    if (!expanded && copied && *entry.size == Compressor::HeaderSize) {
        uint8_t head[Compressor::HeaderSize];
        static constexpr uint8_t empty_stream[] = {Compressor::Marker, 0, 0, 0, 0};
        expanded = read_exact_at(package_fd, head, sizeof head, offset) && std::memcmp(head, empty_stream, sizeof head) == 0;
    }
    return expanded;
}

} // namespace

bool is_media_name(std::string_view name)
{
    return MediaList.find(lower_extension(name)) != std::string_view::npos;
}

std::string decorate_filter(std::string_view filter)
{
    if (filter.empty())
        return {};
    std::string lowered = to_lower(filter);
    std::string out = "__";
    for (size_t i = 0; i < lowered.size(); ++i) {
        if (lowered.compare(i, 2, "^^") == 0) {
            out += "__^^";
            ++i;
        } else {
            out += lowered[i];
        }
    }
    out += "__";
    return out;
}

bool filter_matches(std::string_view decorated_filter, std::string_view stored_name)
{
    if (decorated_filter.empty())
        return true;
    return decorated_filter.find(to_lower(trim_blanks(stored_name))) != std::string_view::npos;
}

std::string read_name_field(std::string_view field)
{
    // Only the blank padding (and zero bytes some writers pad with) goes:
    // anything else in the field is part of the name, so a name the reader
    // must refuse is refused rather than quietly changed into another one.
    while (!field.empty() && (field.back() == ' ' || field.back() == '\0'))
        field.remove_suffix(1);
    return std::string(field);
}

std::optional<std::string> packable_name_problem(std::string_view name)
{
    if (!is_safe_member_name(name))
        return std::string("holds a control byte, \"/\" or \"\\\", or is empty, \".\" or \"..\"");
    if (name.front() == ' ' || name.back() == ' ')
        return std::string("begins or ends with a blank");
    return std::nullopt;
}

bool is_safe_member_name(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || b < 0x20 || b == 0x7F)
            return false;
    }
    return true;
}

bool PackageEntry::compressed() const
{
    return ends_with_compressed_mark(stored_name);
}

PackageReadResult read_package(const std::string& path, PackageHeader& current, const PackageReadOptions& options)
{
    PackageReadResult result;
    FileDescriptor fd(open_regular(path));
    if (!fd)
        return result;
    auto raw = read_raw_header(fd.get());
    if (!raw)
        return result;
    current = header_fields(*raw);
    auto count = entry_count(*raw);
    if (!count)
        return result;
    std::vector<uint8_t> dir = read_directory(fd.get(), *count);

    if (options.create_semaphores && options.semaphore_hook)
        options.semaphore_hook(current);

    std::string folder;
    if (options.create_working_folder) {
        Random clock_random;
        Random* random = options.random;
        if (!random) {
            clock_random.seed_from_clock();
            random = &clock_random;
        }
        folder = temporary_folder() + "rukreader/" + folder_safe(current.package_id) + "-" + random->random_id() + "/";
        std::error_code ec;
        fs::create_directories(folder, ec);
    } else if (options.destination.empty()) {
        folder = temporary_folder() + "rukreader/";
        std::error_code ec;
        fs::create_directories(folder, ec);
    } else {
        folder = with_slash(options.destination);
    }
    result.folder = folder;

    const std::string decorated = decorate_filter(options.filter);
    const uint64_t package_size = file_size_of(fd.get());
    uint64_t offset = HeaderSize + EntrySize * static_cast<uint64_t>(*count);
    Compressor compressor;
    for (int i = 0; i < *count; ++i) {
        DirectoryEntry entry = directory_entry(dir, i);
        if (!entry.size)
            return result;
        uint64_t size = *entry.size;
        if (filter_matches(decorated, entry.name)) {
            bool present = offset <= package_size && size <= package_size - offset;
            if (present && unpack_member(fd.get(), entry, offset, folder, compressor))
                ++result.extracted;
            else
                result.skipped.push_back(entry.name);
        }
        offset += size;
    }
    result.header_read = true;
    return result;
}

std::optional<std::string> package_header_text(const std::string& path)
{
    FileDescriptor fd(open_regular(path));
    if (!fd)
        return std::nullopt;
    auto raw = read_raw_header(fd.get());
    if (!raw)
        return std::nullopt;
    PackageHeader h = header_fields(*raw);
    return h.package_id + "^^" + h.second_id + "^^" + h.short_text + "^^" + h.long_text + "^^" + h.family_id + "^^"
        + raw_count_field(*raw);
}

std::optional<PackageListing> list_package(const std::string& path, std::string* error)
{
    auto fail = [error](const char* why) -> std::optional<PackageListing> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    FileDescriptor fd(open_regular(path));
    if (!fd)
        return fail("cannot open the package");
    auto raw = read_raw_header(fd.get());
    if (!raw)
        return fail("the file is shorter than a package header");
    PackageListing listing;
    listing.header = header_fields(*raw);
    listing.raw_count = raw_count_field(*raw);
    listing.file_size = file_size_of(fd.get());
    auto count = entry_count(*raw);
    if (!count)
        return fail("the entry count is not a number of at most 5000");
    std::vector<uint8_t> dir = read_directory(fd.get(), *count);
    uint64_t offset = HeaderSize + EntrySize * static_cast<uint64_t>(*count);
    for (int i = 0; i < *count; ++i) {
        DirectoryEntry e = directory_entry(dir, i);
        if (!e.size)
            return fail("a directory entry's stored size is not a number");
        PackageEntry entry;
        entry.stored_name = e.name;
        entry.stored_size = *e.size;
        entry.offset = offset;
        entry.complete = offset <= listing.file_size && *e.size <= listing.file_size - offset;
        listing.entries.push_back(entry);
        offset += *e.size;
    }
    return listing;
}

// ---- writer ----

namespace {

struct WriterEntry {
    std::string name;        // the file's name in the source folder
    std::string stored_name;
    std::string data_path;   // the file itself, or its compressed temporary copy
    uint64_t stored_size = 0;
};

void put_field(std::vector<uint8_t>& buffer, size_t offset, size_t width, std::string_view text, char pad)
{
    for (size_t i = 0; i < width; ++i)
        buffer[offset + i] = static_cast<uint8_t>(i < text.size() ? text[i] : pad);
}

int open_with_retries(const std::string& path, int retries)
{
    for (int attempt = 0;; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            struct stat st {};
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
                return fd;
            ::close(fd);
        }
        if (attempt >= retries)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

PackageWriteResult write_package(const PackageWriteOptions& options, const PackageHeader& current)
{
    const std::string source = with_slash(options.source_folder);
    const std::string filter = to_lower(options.filter);

    // The output may live in the source folder; it is never packed into itself.
    struct stat output_stat {};
    bool output_exists = ::stat(options.output_path.c_str(), &output_stat) == 0;

    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());

    std::vector<WriterEntry> entries;
    for (const std::string& name : names) {
        std::string path = source + name;
        struct stat st {};
        bool exists = ::stat(path.c_str(), &st) == 0;
        if (exists && !S_ISREG(st.st_mode))
            continue; // folders, and pipes or devices that would block or never end
        if (exists && output_exists && st.st_dev == output_stat.st_dev && st.st_ino == output_stat.st_ino)
            continue;
        std::string ext = lower_extension(name);
        if (ext == ".def")
            continue;
        if (ext == ".k" && !options.include_k)
            continue;
        if (!filter.empty() && filter.find(to_lower(name)) == std::string::npos)
            continue;
        if (name.size() >= NameWidth)
            return PackageWriteResult::NameTooLong;
        // The reader would refuse or change such a name: never store it.
        if (packable_name_problem(name))
            return PackageWriteResult::UnsafeName;
        if (name.back() == '_' || (name.size() >= 2 && name[name.size() - 2] == '_'))
            continue;
        WriterEntry entry;
        entry.name = name;
        if (is_media_name(name)) {
            entry.stored_name = name;
            entry.data_path = path;
        } else {
            if (name.size() == NameWidth - 1)
                return PackageWriteResult::NameTooLong;
            entry.stored_name = name + "__";
        }
        entries.push_back(std::move(entry));
    }
    if (entries.size() > static_cast<size_t>(WriterMaxEntries))
        return PackageWriteResult::TooManyFiles;

    TemporaryFolder temporary("rukwriter");
    Compressor compressor;
    for (WriterEntry& entry : entries) {
        if (!entry.data_path.empty())
            continue;
        // A file that cannot be compressed leaves no temporary copy, and the
        // copy step below then reports it as a file that cannot be opened.
        const std::string& folder = temporary.path();
        if (folder.empty())
            return PackageWriteResult::CannotOpenFile;
        entry.data_path = folder + entry.stored_name;
        compressor.compress_file(source + entry.name, entry.data_path);
    }

    std::vector<uint8_t> head(HeaderSize + EntrySize * entries.size(), ' ');
    head[0] = 'Q';
    put_field(head, FamilyOffset, FamilyWidth, options.family_id, '\0');
    put_field(head, IdOffset, IdWidth, current.package_id, '\0');
    put_field(head, SecondIdOffset, SecondIdWidth, current.second_id, '\0');
    put_field(head, ShortOffset, ShortWidth, current.short_text, '\0');
    put_field(head, LongOffset, LongWidth, current.long_text, '\0');
    put_field(head, CountOffset, CountWidth, std::to_string(entries.size()), ' ');
    for (size_t i = 0; i < entries.size(); ++i) {
        struct stat st {};
        if (::stat(entries[i].data_path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            entries[i].stored_size = static_cast<uint64_t>(st.st_size);
        std::string size_text = std::to_string(entries[i].stored_size);
        if (size_text.size() > SizeWidth)
            return PackageWriteResult::CannotOpenFile;
        size_t at = HeaderSize + EntrySize * i;
        put_field(head, at, SizeWidth, size_text, ' ');
        put_field(head, at + SizeWidth, NameWidth, entries[i].stored_name, ' ');
    }

    // The package is written beside the output and renamed into place, so
    // that a failed write never leaves a broken package where a good one
    // stood (a script rebuilding its own package, say). The name ends in "_",
    // which no writer packs. A link, or a folder where nothing new can be
    // made, is written through in place.
    struct stat link_stat {};
    const bool is_link = ::lstat(options.output_path.c_str(), &link_stat) == 0 && S_ISLNK(link_stat.st_mode);
    std::string writing_path = options.output_path + ".writing_";
    FileDescriptor out;
    if (!is_link)
        out.reset(::open(writing_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!out) {
        writing_path.clear();
        out.reset(::open(options.output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    }
    if (!out)
        return PackageWriteResult::CannotCreateOutput;
    auto fail = [&](PackageWriteResult result) {
        out.reset();
        if (!writing_path.empty())
            ::unlink(writing_path.c_str());
        return result;
    };
    if (!write_all(out.get(), head.data(), head.size()))
        return fail(PackageWriteResult::CannotCreateOutput);
    for (const WriterEntry& entry : entries) {
        FileDescriptor in(open_with_retries(entry.data_path, options.open_retries));
        // The data must be exactly as long as the directory says; a file
        // that shrank since it was measured cannot be packed.
        if (!in || !copy_range(in.get(), 0, entry.stored_size, out.get()))
            return fail(PackageWriteResult::CannotOpenFile);
    }
    if (::close(out.release()) != 0)
        return fail(PackageWriteResult::CannotCreateOutput);
    if (!writing_path.empty() && ::rename(writing_path.c_str(), options.output_path.c_str()) != 0)
        return fail(PackageWriteResult::CannotCreateOutput);
    return PackageWriteResult::Written;
}

const char* write_result_text(PackageWriteResult result)
{
    switch (result) {
    case PackageWriteResult::Written:
        return "package written";
    case PackageWriteResult::CannotCreateOutput:
        return "the output file could not be created or written";
    case PackageWriteResult::TooManyFiles:
        return "the folder yields 5000 or more files to pack";
    case PackageWriteResult::CannotOpenFile:
        return "a file to pack could not be opened or read";
    case PackageWriteResult::UnsafeName:
        return "a file name cannot be stored (a control byte, a backslash, or a blank at its start or end)";
    case PackageWriteResult::NameTooLong:
        return "a file name is too long (45 characters or more, or 44 for a file that is compressed)";
    }
    return "unknown result";
}

} // namespace ruk
