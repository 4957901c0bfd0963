// Script packages (.ruk): the file layout, the reader, the header as text and the writer.
#pragma once

#include "core/Text.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

class Random;

// A package is a 305-byte header, a directory of 57-byte entries and the
// member data, back to back. Every number is decimal text; every text is
// 8-bit. The header holds the marker "Q", the family id (10 bytes), the
// package id (16), the second id (16), the short text (50) and the long text
// (200), each zero-padded, then the entry count (12 bytes, left-aligned,
// blank-padded). An entry holds the stored size (12 bytes) and the stored
// name (45 bytes), both left-aligned and blank-padded. The data of the
// members follows the directory in directory order. A stored name ending in
// "__" holds a compressed stream of the file named without those two
// underscores; any other member holds the file's bytes as they are.
namespace package_layout {
inline constexpr size_t HeaderSize = 305;
inline constexpr size_t EntrySize = 57;
inline constexpr size_t FamilyOffset = 1, FamilyWidth = 10;
inline constexpr size_t IdOffset = 11, IdWidth = 16;
inline constexpr size_t SecondIdOffset = 27, SecondIdWidth = 16;
inline constexpr size_t ShortOffset = 43, ShortWidth = 50;
inline constexpr size_t LongOffset = 93, LongWidth = 200;
inline constexpr size_t CountOffset = 293, CountWidth = 12;
inline constexpr size_t SizeWidth = 12, NameWidth = 45;
inline constexpr int ReaderMaxEntries = 5000; // a reader refuses more
inline constexpr int WriterMaxEntries = 4999; // a writer refuses more
} // namespace package_layout

// The header the engine keeps from the last package it read, and writes
// into the packages it builds. The caller owns it (the engine holds one).
struct PackageHeader {
    std::string package_id;  // at most 16 characters
    std::string second_id;   // at most 16
    std::string short_text;  // at most 50
    std::string long_text;   // at most 200
    std::string family_id;   // the family id extracted from the last package read, at most 10
};

struct PackageReadOptions {
    // Where members go. Empty: the folder "rukreader/" in the temporary
    // folder ($TMPDIR, else /tmp), created when missing.
    std::string destination;
    // Unpack into a new working folder: the temporary folder + "rukreader/"
    // + package id + "-" + a random id, created when missing.
    bool create_working_folder = false;
    // Run `semaphore_hook` with the freshly read header (the host registers
    // the package and family in its instance counting there).
    bool create_semaphores = false;
    std::function<void(const PackageHeader&)> semaphore_hook;
    // Member names joined with "^^"; empty extracts every member.
    std::string filter;
    // Draws the working folder's random id; a clock-seeded generator is
    // used when absent.
    Random* random = nullptr;
};

struct PackageReadResult {
    bool header_read = false;          // the package's header (and directory) was readable
    std::string folder;                // the destination folder used, ending in "/"
    int extracted = 0;                 // members written (and expanded)
    std::vector<std::string> skipped;  // stored names that matched the filter but were not written
};

// Reads the package at `path` and unpacks its members. The header fields
// overwrite `current` as soon as the header is read, even when the entry
// count then proves unreadable. Refuses (header_read false) a missing file,
// a file shorter than the header, an entry count that is not a number or is
// above 5000, and a stored size that is not a number (members before it stay
// unpacked). A member is skipped, and never written outside the destination,
// when its name is empty, ".", "..", holds "/", "\" or a control byte, when
// its data lies beyond the end of the file, or when its file cannot be
// created. A compressed member is expanded and its "__" file removed
// whatever the expansion's outcome.
PackageReadResult read_package(const std::string& path, PackageHeader& current, const PackageReadOptions& options);

// The package id, second id, short text, long text, family id and the raw
// 12-byte entry-count field, joined with "^^". Nothing when the file cannot
// be read or is shorter than the header. Leaves every current header alone.
std::optional<std::string> package_header_text(const std::string& path);

struct PackageEntry {
    std::string stored_name;
    uint64_t stored_size = 0;
    uint64_t offset = 0;     // where its data starts in the package file
    bool complete = false;   // the file holds all of its data
    bool compressed() const;
};

struct PackageListing {
    PackageHeader header;
    std::string raw_count;   // the entry-count field as stored
    std::vector<PackageEntry> entries;
    uint64_t file_size = 0;
};

// The header and directory of a package, for inspection. Refuses what the
// reader refuses, with a reason in `error`.
std::optional<PackageListing> list_package(const std::string& path, std::string* error = nullptr);

enum class PackageWriteResult : int {
    Written = 0,
    CannotCreateOutput = 1,
    TooManyFiles = 2,    // 5000 or more files to pack
    CannotOpenFile = 3,  // a file to pack could not be opened, even after the retries
    NameTooLong = 5,     // a name of 45 characters or more, or 44 for a file to compress
    UnsafeName = 6,      // a name the reader would refuse or change (control byte, "\", blank at an end)
};

struct PackageWriteOptions {
    std::string source_folder;
    std::string output_path;
    std::string filter;      // names joined with "^^"; empty packs every file
    bool include_k = false;  // also pack ".k" files
    std::string family_id;   // written into the header (at most 10 characters)
    // How often opening a member's data is retried, a millisecond apart,
    // before the writer gives up with CannotOpenFile.
    int open_retries = 5;
};

// Builds a package from the files of a folder, in name order, writing the
// ids and texts of `current`. Refuses (UnsafeName) a file to pack whose name
// a reader would refuse or change. Skips folders, special files, ".def" files,
// ".k" files (unless asked), files outside the filter, files whose last or
// next-to-last character is "_", and the output file itself. Media files
// (see is_media_name) are stored as they are; any other file is compressed
// into a private temporary folder first and stored under its name + "__".
// The temporary files are removed whatever the outcome. The package is
// written beside the output and renamed into place, so that on any failure
// an existing output file stays as it was (a link is written through).
PackageWriteResult write_package(const PackageWriteOptions& options, const PackageHeader& current);

// A sentence for a writer result, for messages.
const char* write_result_text(PackageWriteResult result);

// True when the lower-cased extension (from the last dot, dot included)
// occurs anywhere in the media list text; no extension counts as media.
bool is_media_name(std::string_view name);

// The reader's filter, made ready for matching: lowered, "__" before every
// name and after every name, so that "readme.txt" also finds "readme.txt__".
std::string decorate_filter(std::string_view filter);

// True when the lowered, trimmed stored name occurs in the decorated filter
// (a substring test), or when the filter is empty.
bool filter_matches(std::string_view decorated_filter, std::string_view stored_name);

// A stored name as the directory entry holds it: the blank (or zero) padding
// after it removed, nothing else changed.
std::string read_name_field(std::string_view field);

// Why a file name cannot be stored so that a reader gets it back unchanged
// and accepts it; nothing when it can.
std::optional<std::string> packable_name_problem(std::string_view name);

// True when a stored name can become a file inside the destination folder.
bool is_safe_member_name(std::string_view name);

} // namespace ruk
