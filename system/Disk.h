// The "disk" family: files, folders and drives, and the plain file helpers behind it.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

class Compressor;
class Engine;
class FileDialogs;

// Registers "disk"; the selection dialogs go to `dialogs`, which must outlive
// the engine's handler table.
void register_disk_family(Engine& engine, FileDialogs& dialogs);

namespace disk {

// ---- packed date-time numbers ----
//
// A file date travels in scripts as one 32-bit number of local time: bits
// 25-31 year - 1980, 21-24 month, 16-20 day, 11-15 hour, 5-10 minute, 0-4
// second / 2. Years from 2044 on set the top bit, so such numbers are negative
// when written as signed decimals.

// Packs a local date and time. Dates before 1980 pack as the first moment of
// 1980 and dates after 2107 as the last one, so that every real file has a
// date; odd seconds round down.
int32_t pack_date_time(std::time_t when);
// The moment a packed number names, in local time; nothing when a field is
// out of range (month 13, day 0, hour 24, 31 February, ...).
std::optional<std::time_t> unpack_date_time(int32_t packed);
// `when` moved by whole days of local calendar time (the wall-clock time
// stays across a daylight-saving change); nothing when the result cannot be
// packed without clamping.
std::optional<int32_t> pack_days_later(std::time_t when, int32_t days);

// ---- texts and arrays ----

// Every byte b becomes 255 - b; the same call encodes and decodes.
void invert_bytes(std::string& bytes);
// The text part of file contents: everything before the first zero byte.
std::string_view until_zero(std::string_view bytes);
// Pieces between separators; the piece after the last separator is always
// there, so "" gives one empty piece and "a," gives "a" and "".
std::vector<std::string_view> split_pieces(std::string_view text, char separator);
// Whether a file name matches a pattern of `*` (any run) and `?` (any one
// byte), ignoring ASCII letter case. A pattern ending in ".*" also matches
// names without a dot, so "*.*" matches every name.
bool wildcard_match(std::string_view pattern, std::string_view name);

// ---- paths ----

// Turns a script's path into a Linux path: both "\" and "/" separate, a
// leading drive letter and ":" stands for that drive's root folder, and a
// path that does not exist as written is looked for without regard to letter
// case inside the current folder (the package's working folder). Nothing for
// an empty path or a drive letter that names no drive.
std::optional<std::string> resolve_path(std::string_view script_path);

// ---- files ----

// The whole contents of a regular file; nothing for anything else (a
// missing file, a folder, a pipe or a device, which could block or never end).
std::optional<std::string> read_file(const std::string& path);
// Replaces (or creates) a file with `data`, through a temporary file in the
// same folder that is renamed into place, so that a failed write never
// leaves a half-written file where a good one stood. Refuses a destination
// that exists and is not a regular file (a folder, a device, a pipe). A
// writable file in a folder where no temporary file can be made is written
// in place instead.
bool write_file(const std::string& path, std::string_view data);
// Copies a regular file the same way. With `no_overwrite` an existing
// destination is refused, atomically. The copy keeps the source's
// modification date and permissions, made writable by its owner (the copy is
// never read-only). A file is never copied onto itself.
bool copy_file(const std::string& src, const std::string& dst, bool no_overwrite);

// Compresses (or expands) a regular file with the engine's compressor into a
// temporary file that takes the destination's place on success. On failure
// an existing destination is kept; one that did not exist is left as the
// compressor leaves it (empty, or a bare header for an empty source).
bool zip_file(Compressor& zip, const std::string& src, const std::string& dst, bool compress);

enum class MergeResult { Done, ReadFailed, WriteFailed };
// Writes `first` followed by `second` to `out`; an input that cannot be
// opened counts as empty. `out` may be one of the inputs.
MergeResult merge_files(const std::string& first, const std::string& second, const std::string& out);

// Files of the disk family are regular files: a folder, a pipe, a device or
// a socket counts as not there for the questions below and is never deleted.

// True when the path names a regular file that opens for reading.
bool file_readable(const std::string& path);
// Length of such a file, or -1.
int64_t file_size(const std::string& path);
// Modification date of a regular file as a packed number, or nothing.
std::optional<int32_t> file_date(const std::string& path);
bool set_file_date(const std::string& path, std::time_t when);
// Removes a regular file, or a link that names a regular file or nothing
// (the link itself goes). False for anything else.
bool delete_file(const std::string& path);

// Names in `folder` (empty: the current folder) that match `pattern`, sorted
// without regard to letter case: files (anything not a folder) or folders,
// never "." or "..".
std::vector<std::string> list_folder(const std::string& folder, std::string_view pattern, bool folders);

// ---- drives ----

// A drive letter and the file system it stands for. "C" is the root file
// system; file systems mounted at or under /media and /mnt take D, E, ... in
// the order they were mounted.
struct Drive {
    char letter = 0;
    std::string root;       // mount point
    std::string fs_type;    // "ext4", "nfs4", "tmpfs", ...
    std::string source;     // the mounted device or share
    unsigned major = 0;     // device numbers, 0:N for virtual file systems
    unsigned minor = 0;
};

class DriveMap {
public:
    // The drives of the running system, from /proc/self/mountinfo.
    static DriveMap current();
    // The drives a mountinfo text describes; lines it cannot read are skipped.
    static DriveMap from_mountinfo(std::string_view text);

    const Drive* find(char letter) const;
    const std::vector<Drive>& drives() const { return m_drives; }
    // "C^^D^^..." in ascending order.
    std::string letters() const;

private:
    std::vector<Drive> m_drives;
};

// The drive type a script sees for a file-system type: "Network", "CD-Rom",
// "RamDisk", "Removable" (a local file system on a removable device), "Hard
// disk" (other local ones) or "Unknown".
std::string drive_type_name(std::string_view fs_type, bool removable_device);
// Whether the block device is removable or sits on USB, from /sys.
bool block_device_removable(unsigned major, unsigned minor);
// The label of the block device, from /dev/disk/by-label; empty when none.
std::string volume_label(unsigned major, unsigned minor);

} // namespace disk

} // namespace ruk
