// Hash maps keyed by text that can be searched with a string_view without copying.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace ruk {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template<typename V>
using StringMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

} // namespace ruk
