// The picture effects besides the blend: stretch copy, translucent fill, tint through a channel, compare and quarter turns.
#pragma once

#include "graphics/EffectSettings.h"
#include "graphics/PixelView.h"

#include <cstdint>
#include <optional>

namespace ruk {

// All functions here work on pixel rows directly and never read or write
// outside their views. The draw family converts and grows its bitmaps before
// calling them; a view that is empty or not 3 or 4 bytes per pixel makes
// them do nothing. A source that shares memory with the destination is read
// as it was before the operation started.

// Copies the source rectangle `from` of `src` onto `to` of `dst`, stretching
// and deforming through StretchMap (rows or columns whose unshifted source
// position lies outside the source are skipped; deform shifts clamp to the
// source's edge). Mode 0 visits destination rows 0, y_step, ... and columns
// 0, x_step, ... and writes one pixel each; any other mode steps by
// x_step + 1 and y_step + 1 and writes each source pixel to the 2 x 2 block
// at the destination pixel, leaving out block pixels beyond the destination.
// Steps below 1 count as 1. Both views 4 bytes per pixel: the whole pixel is
// copied; otherwise the three colour bytes. Does nothing when the source is
// narrower than from.x or lower than from.y, or `to` is empty.
void stretch_copy(const PixelView& dst, PixelRect to, const PixelView& src, PixelRect from,
                  const EffectSettings& settings, const DeformSettings& deform);

// Fills the rectangle (x, y, w, h) so that every channel becomes
// value + opacity * (colour channel - value) / 100 (truncating, modulo 256).
// Does nothing when the picture is narrower than x or lower than y. The
// rectangle is cut at the picture's edges: the part left of column 0 or
// above row 0 is cut off (the rest stays where it was), and the width and
// height are cut at the right and bottom edges.
void translucent_fill(const PixelView& bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
                      int32_t opacity);

// Tints the w x h rectangle at (dx, dy) of `dst` with `colour`, steered by
// one channel of the rectangle at (sx, sy) of `src`: for each pixel,
// strength = opacity * (source channel byte * 100 / 255) / 100 and every
// channel of the destination becomes value + strength * (colour channel -
// value) / 100 (truncating, modulo 256). A bright source channel paints the
// colour strongly, a dark one leaves the destination. Rows and columns that
// fall outside either picture are skipped.
void tint_through_channel(const PixelView& dst, int32_t dx, int32_t dy, const PixelView& src, int32_t sx, int32_t sy,
                          int32_t w, int32_t h, uint32_t colour, int32_t opacity, Channel channel);

// The first differing pixel of a comparison: its position relative to the
// compared rectangle and the compared picture's colour there (a colour
// value, red in the low byte).
struct PixelDifference {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t colour = 0;
};

// Compares the w x h rectangle at (dx, dy) of `bitmap` with the one at
// (sx, sy) of `other` row by row, left to right, passing over pixels of
// `other` whose colour is `ignored_colour` and over rows and columns that
// fall outside either picture. The first difference ends the scan; nothing
// when none is found.
std::optional<PixelDifference> compare_pixels(const PixelView& bitmap, int32_t dx, int32_t dy, const PixelView& other,
                                              int32_t sx, int32_t sy, int32_t w, int32_t h, uint32_t ignored_colour);

enum class QuarterTurn { CounterClockwise, Clockwise };

// Turns `src` (W x H) a quarter onto `dst`: counter-clockwise, source pixel
// (x, y) goes to (y, W - 1 - x); clockwise, to (H - 1 - y, x). The caller
// grows `dst` to at least H x W; pixels of `dst` outside the turned area are
// left as they were, and targets outside `dst` are not written.
void rotate_quarter(const PixelView& dst, const PixelView& src, QuarterTurn turn);

} // namespace ruk
