// Hash maps keyed by text that can be searched with a string_view without copying.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ruk {

// FNV-1a: the keys are short names, for which it is quicker than the
// library's hash and spreads as well.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const
    {
        uint64_t h = 14695981039346656037ull;
        for (char c : s) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
        return static_cast<size_t>(h);
    }
};

template<typename V>
using StringMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

} // namespace ruk
