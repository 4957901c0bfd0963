// The download buffer: the bytes read from a request so far, always followed by a zero byte.
#pragma once

#include <cstddef>
#include <string_view>

namespace ruk {

// A byte buffer that grows by appending and never copies what it holds.
//
// The bytes live in an anonymous memory mapping that is enlarged in place
// (or moved by the kernel, page tables only) when it fills, so a download of
// any size costs its own bytes plus less than one growth step of untouched
// address space, never a second copy of the body. The byte after the last
// one is always zero, so the start of the buffer is also a zero-terminated
// text (cut at the first zero byte the body itself holds).
class DownloadBuffer {
public:
    DownloadBuffer() = default;
    ~DownloadBuffer();
    DownloadBuffer(const DownloadBuffer&) = delete;
    DownloadBuffer& operator=(const DownloadBuffer&) = delete;

    // Appends `size` bytes. False (and the buffer unchanged) when the memory
    // for them cannot be had.
    bool append(const char* data, size_t size);

    size_t size() const { return m_size; }
    // Every byte, zero bytes included.
    std::string_view bytes() const { return {m_data ? m_data : "", m_size}; }
    // The bytes up to the first zero byte.
    std::string_view text() const;

private:
    bool reserve(size_t capacity);

    char* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0; // bytes mapped; always more than m_size once mapped
};

} // namespace ruk
