// The stretch blend: translucent, keyed, channel-cycling, sample-and-hold and doubled-pixel copies between pictures.
#pragma once

#include "graphics/EffectSettings.h"
#include "graphics/PixelView.h"

#include <cstdint>

namespace ruk {

// The key colour that stands for "the colour of the source pixel at the
// source rectangle's top-left corner".
inline constexpr int64_t KeyFromSource = -1;

// Blends the source rectangle `from` of `src` onto the destination rectangle
// `to` of `dst`, stretching through StretchMap (deform included) and walking
// destination rows 0, y_step, 2 * y_step, ... and columns 0, x_step, ...
//
// The caller has converted both pictures to 3 bytes per pixel and grown them
// to hold the rectangles, as the draw family does; the function still never
// reads or writes outside either view. It does nothing when the source is
// narrower than from.x or lower than from.y, or `to` is empty.
//
// For each visited pixel the source byte of channel k is the byte at the
// source pixel's byte position + k + source_shift[k] in the source row. A
// shifted position that leaves the row is clamped to the row's first or last
// pixel, keeping its byte lane (so a red byte shifted off the right edge
// reads the last pixel's red byte). With `transparent`, a pixel whose three
// source bytes equal the key's bytes (`key_colour` is a colour value, or
// KeyFromSource) is passed over. Otherwise, with blend(k) =
// D[k] + (source byte - D[k]) * percent[k] / 100 (truncating, modulo 256) and
// only channels whose percentage is above 0 taking part:
//   mode 0  every channel of D becomes blend(k);
//   mode 1  a counter, 0 at the start of the copy and carried across rows,
//           goes up by one per blended pixel and back to 0 when it passes
//           cycle_length; only channel number counter (0 blue, 1 green,
//           2 red) is blended, higher counter values blend nothing;
//   mode 2  the same counter; when it is 0 the held values of the enabled
//           channels become blend(k) (held values start at 0 per copy); all
//           three bytes of D then become the held values, whatever the
//           counter, so a channel with a percentage of 0 is written as 0;
//   mode 3  steps are x_step + 1 and y_step + 1 for this copy, and blend(k),
//           computed on D, goes to the 2 x 2 block at D; block pixels beyond
//           the destination's right or bottom edge are not written;
//   other   nothing is written.
// Steps below 1 count as 1. A source that shares memory with the
// destination is read as it was before the copy.
void stretch_blend(const PixelView& dst, PixelRect to, const PixelView& src, PixelRect from,
                   const EffectSettings& settings, const DeformSettings& deform, bool transparent, int64_t key_colour);

} // namespace ruk
