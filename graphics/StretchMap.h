// Where a stretched, deformed copy reads: the source row and column of every destination pixel.
#pragma once

#include "graphics/EffectSettings.h"
#include "graphics/PixelView.h"

#include <cstdint>
#include <vector>

namespace ruk {

// The geometry shared by the stretch copy and the stretch blend. A copy
// reads the source rectangle `from` and writes the destination rectangle
// `to`. Destination row h (0 <= h < to.h) reads source row
//     from.y + h * from.h / to.h
// and destination column v (0 <= v < to.w) reads source column
//     from.x + v * from.w / to.w + shift(v, h)
// where the deform shift, with G = to.w * to.h, adds up four terms, each a
// truncating division taken as a signed 16-bit value and 0 when its setting
// is 0 or less:
//     + top_left     * (to.w - v) * (to.h - h) / G
//     - top_right    * v          * (to.h - h) / G
//     + bottom_left  * (to.w - v) * h          / G
//     - bottom_right * v          * h          / G
// So the top-left corner reads `top_left` pixels further right, the
// bottom-right corner `bottom_right` pixels further left, with bilinear
// weights in between.
//
// What leaves the source: a row or column whose unshifted position (the
// first two formulas) lies outside the source is skipped, so a copy whose
// rectangle hangs over the source's edge leaves those destination pixels
// alone. A column that only the deform shift carries outside is clamped to
// the source's first or last column: the edge pixels repeat, and the sheared
// picture has no holes.
class StretchMap {
public:
    // `first_column` and `end_column` bound the destination columns v that
    // will be asked for (the ones that can land inside the destination);
    // only those are tabled.
    StretchMap(PixelRect from, PixelRect to, const DeformSettings& deform, int32_t first_column, int32_t end_column);

    // The unshifted source row of destination row h.
    int64_t source_row(int32_t h) const;
    // The unshifted source column of destination column v.
    int64_t base_column(int32_t v) const { return m_columns[size_t(v - m_first_column)]; }
    // The deform shift of destination pixel (v, h); 0 without deform.
    int32_t deform_shift(int32_t v, int32_t h) const;
    bool deformed() const { return m_deform.active(); }

private:
    PixelRect m_from;
    PixelRect m_to;
    DeformSettings m_deform;
    int32_t m_first_column;
    std::vector<int64_t> m_columns;
};

// The steps 0, step, 2 * step, ... that lie in [lowest, end): `first` is
// the smallest multiple of `step` not below `lowest` (and not below 0).
struct StepRange {
    int32_t first = 0;
    int32_t end = 0;
    bool empty() const { return first >= end; }
};
StepRange step_range(int64_t lowest, int64_t end, int32_t step);

// What a stepped copy of `from` onto `to` visits: the destination rows and
// columns (offsets inside `to`) that lie in both pictures, on the steps.
// A step is at least 1, and one more in the doubled modes.
struct StepGrid {
    int32_t x_step = 1;
    int32_t y_step = 1;
    StepRange rows;
    StepRange cols;
};
StepGrid step_grid(const PixelRect& from, const PixelRect& to, int32_t dst_width, int32_t dst_height, int32_t x_step,
                   int32_t y_step, bool doubled);

} // namespace ruk
