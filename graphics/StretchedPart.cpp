// Part of a bitmap stretched onto a rectangle.
#include "graphics/StretchedPart.h"

#include <algorithm>
#include <limits>

namespace ruk {

namespace {

// A rectangle with positive sides in 64-bit numbers, so that no side or sum
// of the 32-bit inputs can overflow; `flip_x`/`flip_y` say a side was negative.
struct Span {
    int64_t x, y, w, h;
    bool flip_x, flip_y;
};

Span normalised(const PixelRect& r)
{
    Span s {r.x, r.y, r.w, r.h, r.w < 0, r.h < 0};
    if (s.flip_x) {
        s.x += s.w;
        s.w = -s.w;
    }
    if (s.flip_y) {
        s.y += s.h;
        s.h = -s.h;
    }
    return s;
}

// A source position as Bitmap::pixel takes it; one far outside stays outside.
int32_t source_position(int64_t value)
{
    return int32_t(std::clamp<int64_t>(value, -1, std::numeric_limits<int32_t>::max()));
}

} // namespace

StretchedPart stretch_part(const Bitmap& source, PixelRect from_rect, PixelRect to_rect, PixelRect clip)
{
    StretchedPart part;
    const Span from = normalised(from_rect);
    const Span to = normalised(to_rect);
    const bool mirror_x = from.flip_x != to.flip_x;
    const bool mirror_y = from.flip_y != to.flip_y;
    if (from.w == 0 || from.h == 0 || to.w == 0 || to.h == 0)
        return part;
    const int64_t left = std::max<int64_t>(to.x, clip.x);
    const int64_t top = std::max<int64_t>(to.y, clip.y);
    const int64_t right = std::min<int64_t>(to.x + to.w, int64_t(clip.x) + clip.w);
    const int64_t bottom = std::min<int64_t>(to.y + to.h, int64_t(clip.y) + clip.h);
    if (right <= left || bottom <= top)
        return part;
    part.picture = Bitmap(int32_t(right - left), int32_t(bottom - top), 24);
    if (part.picture.empty())
        return part;
    part.x = int32_t(left);
    part.y = int32_t(top);
    for (int64_t y = top; y < bottom; ++y) {
        int64_t h = y - to.y;
        if (mirror_y)
            h = to.h - 1 - h;
        const int32_t sy = source_position(from.y + h * from.h / to.h);
        for (int64_t x = left; x < right; ++x) {
            int64_t v = x - to.x;
            if (mirror_x)
                v = to.w - 1 - v;
            const int32_t sx = source_position(from.x + v * from.w / to.w);
            part.picture.set_pixel(int32_t(x - left), int32_t(y - top), source.pixel(sx, sy));
        }
    }
    return part;
}

} // namespace ruk
