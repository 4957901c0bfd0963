// Copying short texts into reused buffers, for the language core's own files only.
#pragma once

// The core is built as C++23, where a string's length can be set without a
// call into the library; files built as C++20 must not include this header,
// so that every copy of these inline functions is the same.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

static_assert(__cplusplus > 202002L, "core/TextCopy.h is for the language core, built as C++23");

namespace ruk {

// Copies bytes between buffers that do not overlap. Texts of commands are
// mostly a few bytes long, where a call of memcpy costs more than the copy:
// up to 16 bytes are moved in two fixed-size pieces that may overlap each
// other, never reading or writing outside the two ranges.
inline void copy_bytes(char* to, const char* from, size_t size)
{
    if (size >= 8 && size <= 16) {
        uint64_t a, b;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + size - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + size - 8, &b, 8);
    } else if (size >= 4 && size < 8) {
        uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + size - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + size - 4, &b, 4);
    } else if (size < 4) {
        for (size_t i = 0; i < size; ++i)
            to[i] = from[i];
    } else {
        std::memcpy(to, from, size);
    }
}

// Copies a text into a reused buffer: cheaper than assign for the short
// texts of lines, commands and variables, and the buffer keeps its room.
// The text may be the buffer itself or lie inside it.
inline void copy_text(std::string& out, const char* data, size_t size)
{
    const size_t old = out.size();
    char* const buffer = out.data();
    const auto at = reinterpret_cast<uintptr_t>(data);
    if (at >= reinterpret_cast<uintptr_t>(buffer) && at <= reinterpret_cast<uintptr_t>(buffer + old)) {
        // The text lies in the buffer: it is no longer than what is there.
        std::memmove(buffer, data, size);
        out.resize(size);
        return;
    }
#if defined(__cpp_lib_string_resize_and_overwrite)
    // The length is set without a call into the library.
    out.resize_and_overwrite(size, [data, size](char* to, size_t) {
        copy_bytes(to, data, size);
        return size;
    });
#else
    if (size <= old) {
        copy_bytes(buffer, data, size);
        out.resize(size);
        return;
    }
    copy_bytes(buffer, data, old);
    out.append(data + old, size - old);
#endif
}
inline void copy_text(std::string& out, std::string_view text)
{
    copy_text(out, text.data(), text.size());
}

} // namespace ruk
