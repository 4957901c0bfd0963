// Writes compiled lines in tests with readable stand-ins for the token bytes.
#pragma once

#include <string>
#include <string_view>

namespace ruk::test {

// ( ) become the list bytes, "." and "," the separator, { } a group and "~"
// the condition marker; "\1".."\6", "\10" and "\11" are passed through.
inline std::string compiled(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        switch (c) {
        case '(': c = '\x8F'; break;
        case ')': c = '\x90'; break;
        case '.':
        case ',': c = '\x8E'; break;
        case '{': c = '\x0E'; break;
        case '}': c = '\x0F'; break;
        case '~': c = '\x10'; break;
        default: break;
        }
    }
    return out;
}

} // namespace ruk::test
