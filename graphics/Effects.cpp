// The picture effects besides the blend: stretch copy, translucent fill, tint through a channel, compare and quarter turns.
#include "graphics/Effects.h"

#include "graphics/PixelBuffer.h"
#include "graphics/RasterOps.h"
#include "graphics/StretchMap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace ruk {

namespace {

// The source view to read: `src` itself, or a snapshot of it when it shares
// memory with `dst`.
PixelView readable_source(const PixelView& dst, const PixelView& src, PixelBuffer& snapshot)
{
    if (!views_overlap(dst, src))
        return src;
    snapshot = PixelBuffer::copy_of(src);
    return snapshot.view();
}

// How many bytes of a pixel a copy between the two views moves.
int32_t copied_bytes(const PixelView& dst, const PixelView& src)
{
    return dst.bytes_per_pixel == src.bytes_per_pixel ? dst.bytes_per_pixel : 3;
}

void copy_pixel(uint8_t* d, const uint8_t* s, int32_t n)
{
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    if (n == 4)
        d[3] = s[3];
}

// The offsets i in [0, count) for which both `a + i` lies in [0, a_size)
// and `b + i` in [0, b_size): computed, never searched, so that a huge
// count from a script costs nothing.
struct Span {
    int64_t first = 0;
    int64_t end = 0;
};
Span overlap(int64_t a, int64_t b, int64_t count, int64_t a_size, int64_t b_size)
{
    Span span;
    span.first = std::max<int64_t>({0, -a, -b});
    span.end = std::min<int64_t>({count, a_size - a, b_size - b});
    if (span.end < span.first)
        span.end = span.first;
    return span;
}

bool same_colour(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

} // namespace

void stretch_copy(const PixelView& dst, PixelRect to, const PixelView& src_in, PixelRect from,
                  const EffectSettings& settings, const DeformSettings& deform)
{
    if (!usable(dst) || !usable(src_in))
        return;
    if (src_in.width < from.x || src_in.height < from.y || to.w <= 0 || to.h <= 0)
        return;
    PixelBuffer snapshot;
    const PixelView src = readable_source(dst, src_in, snapshot);

    const bool doubled = settings.mode != 0;
    const auto [x_step, y_step, rows, cols] =
        step_grid(from, to, dst.width, dst.height, settings.x_step, settings.y_step, doubled);
    if (rows.empty() || cols.empty())
        return;
    const StretchMap map(from, to, deform, cols.first, cols.end);
    const int32_t dbpp = dst.bytes_per_pixel;
    const int32_t sbpp = src.bytes_per_pixel;
    const int32_t n = copied_bytes(dst, src);
    // Without steps or deform, a destination row that reads the same source
    // row as the one just above it is that row again: copy it whole.
    const bool rows_repeat = !doubled && x_step == 1 && y_step == 1 && !map.deformed() && n == dbpp;
    // Without steps, doubling or deform, each column reads the same byte
    // offset of its source row in every row (-1: outside the source).
    std::vector<int64_t> source_offsets;
    if (rows_repeat) {
        source_offsets.reserve(size_t(cols.end - cols.first));
        for (int32_t v = cols.first; v < cols.end; ++v) {
            const int64_t base = map.base_column(v);
            source_offsets.push_back(base >= 0 && base < src.width ? base * sbpp : -1);
        }
    }
    int64_t previous_source_row = -1;
    int64_t previous_h = -2;

    for (int64_t h = rows.first; h < rows.end; h += y_step) {
        const int64_t source_row = map.source_row(int32_t(h));
        if (source_row < 0 || source_row >= src.height)
            continue;
        const int32_t y = int32_t(to.y + h);
        uint8_t* drow = dst.row(y);
        if (rows_repeat && source_row == previous_source_row && h == previous_h + 1) {
            std::memcpy(drow + int64_t(to.x + cols.first) * dbpp, dst.row(y - 1) + int64_t(to.x + cols.first) * dbpp,
                        size_t(cols.end - cols.first) * size_t(dbpp));
            previous_h = h;
            continue;
        }
        const uint8_t* srow = src.row(int32_t(source_row));
        if (!source_offsets.empty()) {
            // Plain stretch: every pixel from a tabled byte offset.
            uint8_t* d = drow + int64_t(to.x + cols.first) * dbpp;
            bool whole_row = true;
            for (int64_t offset : source_offsets) {
                if (offset >= 0)
                    copy_pixel(d, srow + offset, n);
                else
                    whole_row = false;
                d += dbpp;
            }
            previous_source_row = whole_row ? source_row : -1;
            previous_h = h;
            continue;
        }
        uint8_t* below = doubled && y + 1 < dst.height ? dst.row(y + 1) : nullptr;
        bool whole_row = true;
        for (int64_t v = cols.first; v < cols.end; v += x_step) {
            const int64_t base = map.base_column(int32_t(v));
            if (base < 0 || base >= src.width) {
                whole_row = false;
                continue;
            }
            const int64_t column = map.deformed()
                ? std::clamp<int64_t>(base + map.deform_shift(int32_t(v), int32_t(h)), 0, src.width - 1)
                : base;
            const uint8_t* s = srow + column * sbpp;
            const int64_t x = to.x + v;
            copy_pixel(drow + x * dbpp, s, n);
            if (doubled) {
                const bool right = x + 1 < dst.width;
                if (right)
                    copy_pixel(drow + (x + 1) * dbpp, s, n);
                if (below) {
                    copy_pixel(below + x * dbpp, s, n);
                    if (right)
                        copy_pixel(below + (x + 1) * dbpp, s, n);
                }
            }
        }
        previous_source_row = whole_row ? source_row : -1;
        previous_h = h;
    }
}

void translucent_fill(const PixelView& bitmap, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
                      int32_t opacity)
{
    if (!usable(bitmap) || bitmap.width < x || bitmap.height < y)
        return;
    int64_t left = x, top = y, width = w, height = h;
    if (left < 0) {
        width += left;
        left = 0;
    }
    if (top < 0) {
        height += top;
        top = 0;
    }
    width = std::min<int64_t>(width, bitmap.width - left);
    height = std::min<int64_t>(height, bitmap.height - top);
    if (width <= 0 || height <= 0)
        return;

    const KeyBytes target = colour_bytes(colour);
    const int32_t bpp = bitmap.bytes_per_pixel;
    if (bpp == 3 && opacity >= 0 && opacity <= 100) {
        // The same arithmetic as the copy with opacity, from a row of the
        // colour: the vector row blend does the work.
        std::vector<uint8_t> colour_row(size_t(width) * 3);
        for (size_t i = 0; i < colour_row.size(); ++i)
            colour_row[i] = target[i % 3];
        const ChannelPercents percent {opacity, opacity, opacity};
        for (int64_t row = top; row < top + height; ++row)
            blend_row(bitmap.pixel(int32_t(left), int32_t(row)), 3, colour_row.data(), 3, int32_t(width), percent,
                      std::nullopt);
        return;
    }
    // Every byte value of a channel has one answer: table them once.
    std::array<std::array<uint8_t, 256>, 3> table;
    for (int k = 0; k < 3; ++k)
        for (int value = 0; value < 256; ++value)
            table[k][value] = uint8_t(value + int64_t(opacity) * (target[k] - value) / 100);

    for (int64_t row = top; row < top + height; ++row) {
        uint8_t* p = bitmap.pixel(int32_t(left), int32_t(row));
        for (int64_t i = 0; i < width; ++i, p += bpp) {
            p[0] = table[0][p[0]];
            p[1] = table[1][p[1]];
            p[2] = table[2][p[2]];
        }
    }
}

void tint_through_channel(const PixelView& dst, int32_t dx, int32_t dy, const PixelView& src_in, int32_t sx,
                          int32_t sy, int32_t w, int32_t h, uint32_t colour, int32_t opacity, Channel channel)
{
    if (!usable(dst) || !usable(src_in) || w <= 0 || h <= 0)
        return;
    PixelBuffer snapshot;
    const PixelView src = readable_source(dst, src_in, snapshot);
    const KeyBytes target = colour_bytes(colour);
    const Span rows = overlap(sy, dy, h, src.height, dst.height);
    const Span cols = overlap(sx, dx, w, src.width, dst.width);
    if (cols.first >= cols.end)
        return;
    for (int64_t i = rows.first; i < rows.end; ++i) {
        const uint8_t* s = src.pixel(int32_t(sx + cols.first), int32_t(sy + i));
        uint8_t* d = dst.pixel(int32_t(dx + cols.first), int32_t(dy + i));
        for (int64_t j = cols.first; j < cols.end; ++j, s += src.bytes_per_pixel, d += dst.bytes_per_pixel) {
            const int64_t strength = int64_t(opacity) * (int64_t(s[channel]) * 100 / 255) / 100;
            for (int k = 0; k < 3; ++k)
                d[k] = uint8_t(d[k] + strength * (int64_t(target[k]) - d[k]) / 100);
        }
    }
}

std::optional<PixelDifference> compare_pixels(const PixelView& bitmap, int32_t dx, int32_t dy, const PixelView& other,
                                              int32_t sx, int32_t sy, int32_t w, int32_t h, uint32_t ignored_colour)
{
    if (!usable(bitmap) || !usable(other))
        return std::nullopt;
    const KeyBytes ignored = colour_bytes(ignored_colour);
    const Span rows = overlap(sy, dy, h, other.height, bitmap.height);
    const Span cols = overlap(sx, dx, w, other.width, bitmap.width);
    if (cols.first >= cols.end)
        return std::nullopt;
    for (int64_t i = rows.first; i < rows.end; ++i) {
        const uint8_t* theirs = other.pixel(int32_t(sx + cols.first), int32_t(sy + i));
        const uint8_t* ours = bitmap.pixel(int32_t(dx + cols.first), int32_t(dy + i));
        for (int64_t j = cols.first; j < cols.end; ++j, theirs += other.bytes_per_pixel, ours += bitmap.bytes_per_pixel) {
            if (same_colour(theirs, ignored.data()) || same_colour(ours, theirs))
                continue;
            return PixelDifference {int32_t(j), int32_t(i), make_colour(ours[2], ours[1], ours[0])};
        }
    }
    return std::nullopt;
}

void rotate_quarter(const PixelView& dst, const PixelView& src_in, QuarterTurn turn)
{
    if (!usable(dst) || !usable(src_in))
        return;
    PixelBuffer snapshot;
    const PixelView src = readable_source(dst, src_in, snapshot);
    const int32_t n = copied_bytes(dst, src);
    for (int32_t y = 0; y < src.height; ++y) {
        const uint8_t* s = src.row(y);
        for (int32_t x = 0; x < src.width; ++x, s += src.bytes_per_pixel) {
            const int32_t tx = turn == QuarterTurn::CounterClockwise ? y : src.height - 1 - y;
            const int32_t ty = turn == QuarterTurn::CounterClockwise ? src.width - 1 - x : x;
            if (dst.contains(tx, ty))
                copy_pixel(dst.pixel(tx, ty), s, n);
        }
    }
}

} // namespace ruk
