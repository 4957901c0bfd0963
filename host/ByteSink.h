// Buffered writing for the compressor: bytes into a vector or a file descriptor.
#pragma once

#include "host/ByteSource.h"
#include "host/FileIo.h"

#include <cstdint>
#include <vector>

namespace ruk {

// Collects output bytes in a buffer and hands full buffers to a vector or a
// file descriptor. A write error is remembered and later bytes are dropped.
class ByteSink {
public:
    ByteSink(std::vector<uint8_t>& out, uint8_t* buffer) : m_vector(&out), m_buffer(buffer) {}
    ByteSink(int fd, uint8_t* buffer) : m_fd(fd), m_buffer(buffer) {}

    void put(uint8_t byte)
    {
        if (m_used == IoBufferSize)
            flush();
        m_buffer[m_used++] = byte;
    }

    // Returns false when any write so far has failed.
    bool flush()
    {
        if (m_used == 0 || m_failed) {
            m_used = 0;
            return !m_failed;
        }
        if (m_vector) {
            m_vector->insert(m_vector->end(), m_buffer, m_buffer + m_used);
        } else {
            m_failed = !write_all(m_fd, m_buffer, m_used);
        }
        m_used = 0;
        return !m_failed;
    }

private:
    std::vector<uint8_t>* m_vector = nullptr;
    int m_fd = -1;
    uint8_t* m_buffer;
    size_t m_used = 0;
    bool m_failed = false;
};

} // namespace ruk
