// Buffered reading for the compressor: bytes from memory or from a file descriptor.
#pragma once

#include "host/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace ruk {

// The size of the compressor's read and write buffers.
inline constexpr size_t IoBufferSize = 64 * 1024;

// Reads bytes from memory or from a file descriptor through a buffer. At
// most `limit` bytes are handed out.
class ByteSource {
public:
    ByteSource(std::span<const uint8_t> data) : m_cur(data.data()), m_end(data.data() + data.size()) {}
    ByteSource(int fd, uint8_t* buffer, uint64_t limit) : m_fd(fd), m_buffer(buffer), m_limit(limit) {}

    int get()
    {
        if (m_cur == m_end && !refill())
            return -1;
        return *m_cur++;
    }
    bool failed() const { return m_failed; }

private:
    bool refill()
    {
        if (m_fd < 0 || m_limit == 0)
            return false;
        size_t want = m_limit < IoBufferSize ? static_cast<size_t>(m_limit) : IoBufferSize;
        ssize_t got = read_some(m_fd, m_buffer, want);
        if (got <= 0) {
            m_failed = got < 0;
            m_limit = 0;
            return false;
        }
        m_limit -= static_cast<uint64_t>(got);
        m_cur = m_buffer;
        m_end = m_buffer + got;
        return true;
    }

    const uint8_t* m_cur = nullptr;
    const uint8_t* m_end = nullptr;
    int m_fd = -1;
    uint8_t* m_buffer = nullptr;
    uint64_t m_limit = 0;
    bool m_failed = false;
};

} // namespace ruk
