// Plain copies of pixel rectangles: the raster operations of "copymode", the copy with opacity and the colour-keyed copy.
#pragma once

#include "graphics/PixelView.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ruk {

// The ternary raster operations a bitmap's copy mode can name. Each value is
// the truth table of the operation over pattern P (0xF0), source S (0xCC) and
// destination D (0xAA): bit (p << 2 | s << 1 | d) of the value is the result
// for those three input bits. The pattern is the bitmap's brush colour.
enum class RasterOp : uint8_t {
    DstInvert = 0x55,   // ~D
    MergeCopy = 0xC0,   // P & S
    MergePaint = 0xBB,  // ~S | D
    NotSrcCopy = 0x33,  // ~S
    NotSrcErase = 0x11, // ~(S | D)
    PatCopy = 0xF0,     // P
    PatInvert = 0x5A,   // P ^ D
    SrcAnd = 0x88,      // S & D
    SrcCopy = 0xCC,     // S
    SrcErase = 0x44,    // S & ~D
    SrcInvert = 0x66,   // S ^ D
};

// The operation of a copy-mode name ("srccopy", "patinvert", ...), compared
// exactly; nothing for any other name.
std::optional<RasterOp> raster_op_from_name(std::string_view name);

// False for the operations that never look at the source.
bool raster_op_uses_source(RasterOp op);

// One byte of the operation, evaluated from its truth table bit by bit.
uint8_t raster_op_byte(RasterOp op, uint8_t pattern, uint8_t source, uint8_t destination);

// Copies the w x h rectangle at (sx, sy) of `src` onto (dx, dy) of `dst`
// through `op`, with `pattern_colour` (a colour value, red in the low byte)
// as the pattern. Only pixels inside the destination are written and, for
// operations that use the source, only where the source pixel exists. With
// different pixel sizes only the three colour bytes take part; with 4-byte
// pixels on both sides the fourth byte goes through the operation with a
// pattern byte of 0. A source sharing memory with the destination is read as
// it was before the copy.
void raster_copy(const PixelView& dst, int32_t dx, int32_t dy, const PixelView& src, int32_t sx, int32_t sy, int32_t w,
                 int32_t h, RasterOp op, uint32_t pattern_colour);

// n / 100 truncated toward zero, as a multiply and a shift. Exact for every n
// from -25500 to 25500: every product of a byte difference (-255 to 255) and
// a percentage from 0 to 100, which is all the blends feed it.
inline constexpr int32_t div100(int32_t n) { return ((n * 5243) >> 19) - (n >> 31); }

// One channel of a blend: d + (s - d) * percent / 100, the division
// truncating toward zero, stored modulo 256. A percentage of 0 or less
// leaves d as it is.
inline uint8_t blend_channel(uint8_t d, uint8_t s, int32_t percent)
{
    if (percent <= 0)
        return d;
    if (percent <= 100)
        return uint8_t(d + div100((int32_t(s) - int32_t(d)) * percent));
    return uint8_t(int64_t(d) + (int64_t(s) - int64_t(d)) * percent / 100);
}

// Blend weights per channel: blue, green, red.
using ChannelPercents = std::array<int32_t, 3>;

// Blue, green and red bytes of a transparency key.
using KeyBytes = std::array<uint8_t, 3>;

// The blue, green and red bytes of a colour value.
inline KeyBytes colour_bytes(uint32_t colour) { return {colour_blue(colour), colour_green(colour), colour_red(colour)}; }

// Blends `count` pixels of `src` into `dst` channel by channel with
// `percent` (blend_channel). With a key, source pixels whose three colour
// bytes equal it leave their destination pixel untouched. The fourth byte of
// 4-byte pixels is never written. The rows must not overlap.
void blend_row(uint8_t* dst, int32_t dst_bpp, const uint8_t* src, int32_t src_bpp, int32_t count,
               const ChannelPercents& percent, const std::optional<KeyBytes>& key);

// The copy with opacity and the colour-keyed copy: blend_row over the w x h
// rectangle at (sx, sy) of `src` onto (dx, dy) of `dst`, clipped to both
// pictures. Percentages of 100 with a key are the keyed copy; without a key
// the copy with opacity. A source sharing memory with the destination is
// read as it was before the copy.
void translucent_copy(const PixelView& dst, int32_t dx, int32_t dy, const PixelView& src, int32_t sx, int32_t sy,
                      int32_t w, int32_t h, const ChannelPercents& percent, const std::optional<KeyBytes>& key);

} // namespace ruk
