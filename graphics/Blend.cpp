// The stretch blend: translucent, keyed, channel-cycling, sample-and-hold and doubled-pixel copies between pictures.
#include "graphics/Blend.h"

#include "graphics/PixelBuffer.h"
#include "graphics/RasterOps.h"
#include "graphics/StretchMap.h"

#include <algorithm>
#include <optional>

namespace ruk {

namespace {

// The byte of channel `k` read for source column `column` with a byte shift,
// clamped into the row with its byte lane kept.
uint8_t shifted_byte(const uint8_t* row, int32_t width, int32_t bpp, int64_t column, int k, int32_t shift)
{
    int64_t index = column * bpp + k + shift;
    int64_t row_bytes = int64_t(width) * bpp;
    if (index < 0)
        index = ((index % bpp) + bpp) % bpp;
    else if (index >= row_bytes)
        index = int64_t(width - 1) * bpp + index % bpp;
    return row[index];
}

} // namespace

void stretch_blend(const PixelView& dst, PixelRect to, const PixelView& src_in, PixelRect from,
                   const EffectSettings& settings, const DeformSettings& deform, bool transparent, int64_t key_colour)
{
    if (!usable(dst) || !usable(src_in))
        return;
    if (src_in.width < from.x || src_in.height < from.y || to.w <= 0 || to.h <= 0)
        return;

    PixelBuffer snapshot;
    PixelView src = src_in;
    if (views_overlap(dst, src_in)) {
        snapshot = PixelBuffer::copy_of(src_in);
        src = snapshot.view();
    }

    std::optional<KeyBytes> key;
    if (transparent) {
        if (key_colour == KeyFromSource) {
            const uint8_t* p = src.pixel(std::clamp(from.x, 0, src.width - 1), std::clamp(from.y, 0, src.height - 1));
            key = KeyBytes {p[0], p[1], p[2]};
        } else {
            key = colour_bytes(uint32_t(key_colour));
        }
    }

    const int32_t mode = settings.mode;
    if (mode == 0 && settings.x_step <= 1 && settings.y_step <= 1 && !settings.has_source_shift() && !deform.active()
        && from.w == to.w && from.h == to.h) {
        // Same size, nothing stepped or shifted: the plain row blend.
        translucent_copy(dst, to.x, to.y, src, from.x, from.y, to.w, to.h, settings.percent, key);
        return;
    }
    if (mode < 0 || mode > 3)
        return;

    const bool doubled = mode == 3;
    const auto [x_step, y_step, rows, cols] =
        step_grid(from, to, dst.width, dst.height, settings.x_step, settings.y_step, doubled);
    if (rows.empty() || cols.empty())
        return;
    const StretchMap map(from, to, deform, cols.first, cols.end);

    const int32_t dbpp = dst.bytes_per_pixel;
    const int32_t sbpp = src.bytes_per_pixel;
    const auto& percent = settings.percent;
    int32_t counter = 0;
    uint8_t held[3] = {0, 0, 0};

    for (int64_t h = rows.first; h < rows.end; h += y_step) {
        const int64_t source_row = map.source_row(int32_t(h));
        if (source_row < 0 || source_row >= src.height)
            continue;
        const uint8_t* srow = src.row(int32_t(source_row));
        const int32_t y = int32_t(to.y + h);
        uint8_t* drow = dst.row(y);
        uint8_t* below = y + 1 < dst.height ? dst.row(y + 1) : nullptr;

        for (int64_t v = cols.first; v < cols.end; v += x_step) {
            const int64_t base = map.base_column(int32_t(v));
            if (base < 0 || base >= src.width)
                continue;
            const int64_t column = std::clamp<int64_t>(base + map.deform_shift(int32_t(v), int32_t(h)), 0,
                                                       src.width - 1);
            uint8_t s[3];
            for (int k = 0; k < 3; ++k)
                s[k] = shifted_byte(srow, src.width, sbpp, column, k, settings.source_shift[k]);
            if (key && s[0] == (*key)[0] && s[1] == (*key)[1] && s[2] == (*key)[2])
                continue;

            const int32_t x = int32_t(to.x + v);
            uint8_t* d = drow + int64_t(x) * dbpp;
            switch (mode) {
            case 0:
                for (int k = 0; k < 3; ++k)
                    d[k] = blend_channel(d[k], s[k], percent[k]);
                break;
            case 1:
                if (++counter > settings.cycle_length)
                    counter = 0;
                if (counter < 3)
                    d[counter] = blend_channel(d[counter], s[counter], percent[counter]);
                break;
            case 2:
                if (++counter > settings.cycle_length)
                    counter = 0;
                if (counter == 0)
                    for (int k = 0; k < 3; ++k)
                        if (percent[k] > 0)
                            held[k] = blend_channel(d[k], s[k], percent[k]);
                d[0] = held[0];
                d[1] = held[1];
                d[2] = held[2];
                break;
            case 3: {
                const bool right = x + 1 < dst.width;
                for (int k = 0; k < 3; ++k) {
                    if (percent[k] <= 0)
                        continue;
                    const uint8_t value = blend_channel(d[k], s[k], percent[k]);
                    d[k] = value;
                    if (right)
                        d[dbpp + k] = value;
                    if (below) {
                        below[int64_t(x) * dbpp + k] = value;
                        if (right)
                            below[int64_t(x + 1) * dbpp + k] = value;
                    }
                }
                break;
            }
            }
        }
    }
}

} // namespace ruk
