// Reading and writing file descriptors whole, through interruptions.
#pragma once

#include <cstddef>
#include <sys/types.h>

namespace ruk {

// Writes every byte, retrying when a signal interrupts. False on an error or
// when the system accepts nothing.
bool write_all(int fd, const void* data, size_t size);

// Reads up to `size` bytes, retrying when a signal interrupts: the count,
// 0 at the end, -1 on an error.
ssize_t read_some(int fd, void* buffer, size_t size);

} // namespace ruk
