// Reading and writing files whole, through interruptions, opening only regular files, and where temporary files go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace ruk {

// Writes every byte, retrying when a signal interrupts. False on an error or
// when the system accepts nothing.
bool write_all(int fd, const void* data, size_t size);

// Reads up to `size` bytes, retrying when a signal interrupts: the count,
// 0 at the end, -1 on an error.
ssize_t read_some(int fd, void* buffer, size_t size);

// Reads up to `size` bytes from `offset` on, retrying when a signal
// interrupts, until the end of the file or an error: the count read.
size_t read_at(int fd, void* buffer, size_t size, uint64_t offset);

// Opens an existing regular file for reading (close-on-exec). A pipe, a
// device, a socket or a folder is refused without ever blocking: the open
// itself does not wait for a writer. -1 when refused or missing.
int open_regular(const std::string& path);

// The whole contents of a regular file; nothing for anything else or on a
// read error.
std::optional<std::string> read_whole_file(const std::string& path);

// The folder for temporary files: $TMPDIR when set and not empty, else
// /tmp; always ending in "/".
std::string temporary_folder();

// `folder` + "/" + `name`, without doubling a "/" that ends the folder.
std::string join_path(const std::string& folder, std::string_view name);

} // namespace ruk
