// Part of a bitmap stretched onto a rectangle, as a window shows it when a script paints a piece of its picture.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/EffectSettings.h"

namespace ruk {

// The pixels a window shows when the rectangle `from` of a bitmap is
// stretched onto its rectangle `to`, cut to the part of `to` that lies in
// `clip` (the window's client area); `x` and `y` say where that part starts.
struct StretchedPart {
    Bitmap picture;
    int32_t x = 0;
    int32_t y = 0;
};

// Destination pixel (v, h) of `to` shows source pixel
//     (from.x + v * from.w / to.w, from.y + h * from.h / to.h)
// (the nearest pixel toward the rectangle's origin, as the engine's other
// stretched copies read); source pixels outside the bitmap are black. When
// the widths (or heights) of `from` and `to` have different signs the
// picture is mirrored left to right (top to bottom). An empty rectangle, or
// one that misses `clip`, gives an empty picture.
StretchedPart stretch_part(const Bitmap& source, PixelRect from, PixelRect to, PixelRect clip);

} // namespace ruk
