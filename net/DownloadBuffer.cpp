// The download buffer: the bytes read from a request so far, always followed by a zero byte.
#include "net/DownloadBuffer.h"

#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace ruk {

namespace {

size_t page_size()
{
    static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

size_t round_to_pages(size_t bytes)
{
    const size_t page = page_size();
    return (bytes + page - 1) / page * page;
}

} // namespace

DownloadBuffer::~DownloadBuffer()
{
    if (m_data)
        ::munmap(m_data, m_capacity);
}

std::string_view DownloadBuffer::text() const
{
    if (!m_data)
        return {};
    return {m_data, ::strnlen(m_data, m_size)};
}

// Maps (or enlarges the mapping to) at least `capacity` bytes. Fresh pages
// are zero, so the byte after the last written one is zero without a write.
bool DownloadBuffer::reserve(size_t capacity)
{
    if (capacity <= m_capacity)
        return true;
    const size_t wanted = round_to_pages(capacity);
    void* grown = m_data ? ::mremap(m_data, m_capacity, wanted, MREMAP_MAYMOVE)
                         : ::mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (grown == MAP_FAILED)
        return false;
    m_data = static_cast<char*>(grown);
    m_capacity = wanted;
    return true;
}

bool DownloadBuffer::append(const char* data, size_t size)
{
    if (size == 0)
        return true;
    if (size > SIZE_MAX / 2 - m_size)
        return false;
    const size_t needed = m_size + size + 1;
    if (needed > m_capacity) {
        // Address space is cheap and untouched pages cost nothing, so the
        // mapping doubles; only written pages become memory.
        const size_t doubled = m_capacity < 65536 ? 65536 : m_capacity * 2;
        if (!reserve(needed > doubled ? needed : doubled) && !reserve(needed))
            return false;
    }
    std::memcpy(m_data + m_size, data, size);
    m_size += size;
    m_data[m_size] = '\0';
    return true;
}

} // namespace ruk
