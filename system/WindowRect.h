// A window's rectangle in screen pixels.
#pragma once

#include <cstdint>

namespace ruk {

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

} // namespace ruk
