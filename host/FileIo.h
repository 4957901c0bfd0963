// Reading and writing file descriptors whole, through interruptions, and opening only regular files.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

namespace ruk {

// Writes every byte, retrying when a signal interrupts. False on an error or
// when the system accepts nothing.
bool write_all(int fd, const void* data, size_t size);

// Reads up to `size` bytes, retrying when a signal interrupts: the count,
// 0 at the end, -1 on an error.
ssize_t read_some(int fd, void* buffer, size_t size);

// Opens an existing regular file for reading (close-on-exec). A pipe, a
// device, a socket or a folder is refused without ever blocking: the open
// itself does not wait for a writer. -1 when refused or missing.
int open_regular(const std::string& path);

// The whole contents of a regular file; nothing for anything else or on a
// read error.
std::optional<std::string> read_regular_file(const std::string& path);

} // namespace ruk
