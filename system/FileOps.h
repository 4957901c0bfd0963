// The file and folder operations of the disk family, on plain paths.
#pragma once

#include "core/Text.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

class Compressor;

namespace disk {

// ---- texts and arrays ----

// Every byte b becomes 255 - b; the same call encodes and decodes.
void invert_bytes(std::string& bytes);
// The text part of file contents: everything before the first zero byte.
std::string_view until_zero(std::string_view bytes);
// Array files are split with the engine's own splitter (core/Text.h).
using ruk::split_pieces;
// Whether a file name matches a pattern of `*` (any run) and `?` (any one
// byte), ignoring ASCII letter case. A pattern ending in ".*" also matches
// names without a dot, so "*.*" matches every name.
bool wildcard_match(std::string_view pattern, std::string_view name);

// ---- files ----

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

// Whether anything at all is at the path (a link is followed).
bool path_exists(const std::string& path);

// Names in `folder` (empty: the current folder) that match `pattern`, sorted
// without regard to letter case: files (anything not a folder) or folders,
// never "." or "..".
std::vector<std::string> list_folder(const std::string& folder, std::string_view pattern, bool folders);

// ---- folders ----

// Makes the folder and any missing folders above it; true when the folder
// is there afterwards (also when it already was).
bool create_folder(const std::string& path);
// Removes an empty folder.
bool remove_folder(const std::string& path);
// Whether the path names a folder (a link to one counts).
bool folder_exists(const std::string& path);
// Takes away the read-only state of a file or folder: its owner may write
// to it afterwards. False when it is not there or cannot be changed.
bool make_owner_writable(const std::string& path);

} // namespace disk

} // namespace ruk
