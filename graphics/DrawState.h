// What the draw family keeps between commands, and the commands its files share.
#pragma once

#include "core/Engine.h"
#include "core/Text.h"
#include "graphics/BitmapReferences.h"
#include "graphics/EffectSettings.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace ruk {

inline constexpr const char* MsgInvalidImage = "Invalid image.";
inline constexpr const char* MsgBadWindowIndex = "The window index is invalid.";
inline constexpr const char* MsgImageNotFound = "Image cannot be found : ";

// A position, size, pen width or opacity: int(Pn, fallback) held within
// plus or minus 2^24, far beyond any bitmap, so that the sums the family
// forms of two of them (x + w) never overflow.
inline int32_t coordinate(const Engine& e, int n, int32_t fallback)
{
    constexpr int32_t Limit = 1 << 24;
    return std::clamp(e.param_int(n, fallback), -Limit, Limit);
}

// A bitmap a reference names, with its canvas state.
using DrawTarget = NamedBitmap;

// What the family keeps beside the shared bitmap table: the effect and deform
// settings and the last difference position.
struct DrawState {
    explicit DrawState(BitmapReferences& bitmaps) : bitmaps(bitmaps) {}

    BitmapReferences& bitmaps;
    EffectSettings effects;
    DeformSettings deform;
    int32_t difference_x = 0;
    int32_t difference_y = 0;

    DrawTarget resolve(std::string_view reference) { return bitmaps.resolve(reference); }
};

// The per-bitmap rows that live in their own files. Each returns the
// command's result text.
Result draw_copy_from(Engine& e, DrawState& s, DrawTarget& target);
Result draw_brush_from(Engine& e, DrawState& s, DrawTarget& target);
Result draw_rotate(Engine& e, DrawState& s, DrawTarget& target);
Result draw_compare(Engine& e, DrawState& s, DrawTarget& target);
Result draw_load(Engine& e, DrawState& s, DrawTarget& target);
Result draw_save(Engine& e, DrawState& s, DrawTarget& target);
Result draw_text(Engine& e, DrawState& s, DrawTarget& target);

// The stretch blend as the family runs it: both pictures go to 24 bits per
// pixel; nothing happens when the source is narrower than from.x or lower
// than from.y; the source grows to hold `from` and the destination to hold
// `to`; then the blend runs with the family's effect and deform settings.
void draw_blend(DrawState& s, Bitmap& destination, PixelRect to, Bitmap& source, PixelRect from, bool transparent,
                int64_t key_colour);

} // namespace ruk
