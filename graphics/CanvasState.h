// What a bitmap remembers between drawing commands: font, pen, brush, copy mode and pen position.
#pragma once

#include "graphics/RasterOps.h"

#include <cstdint>
#include <string>

namespace ruk {

// A font as scripts describe it. `pixel_size` is the height of the
// characters' em square in pixels (a size in points is turned into pixels
// at 96 pixels per inch). `face` empty means the desktop's default sans-serif
// face. `charset` is kept for scripts that ask for it; the painter chooses
// glyphs from the text itself. `angle_tenths` turns the text counter-clockwise
// in tenths of a degree. `char_width` 0 keeps the face's own proportions.
struct FontChoice {
    std::string face;
    int32_t pixel_size = 11;
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    int32_t charset = 1;
    int32_t char_width = 0;
    int32_t angle_tenths = 0;
    uint32_t colour = 0;

    static int32_t pixels_from_points(int32_t points) { return (points * 96 + 36) / 72; }
};

// Canvas state of one bitmap. Colours are colour values (red in the low
// byte). A pen width of 0 is the thinnest pen, one pixel wide.
struct CanvasState {
    FontChoice font;
    uint32_t pen_colour = 0;
    int32_t pen_width = 1;
    uint32_t brush_colour = 0xFFFFFF;
    bool brush_clear = false;
    RasterOp copy_mode = RasterOp::SrcCopy;
    int32_t pen_x = 0;
    int32_t pen_y = 0;
};

} // namespace ruk
