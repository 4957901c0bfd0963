// Building outlines and turning them into row spans.
#include "graphics/Outline.h"

#include "core/Text.h"
#include "graphics/BmpFile.h"
#include "graphics/JpegFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ruk {

namespace {

int32_t clamp_coordinate(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, -Outline::CoordinateLimit, Outline::CoordinateLimit));
}

// Sampling at pixel centres: a pixel column c belongs to [a, b) of real
// coordinates when a <= c + 0.5 < b.
int32_t first_pixel(double a) { return int32_t(std::ceil(a - 0.5)); }

struct RowSpan {
    int32_t row;
    int32_t left;
    int32_t right;
    bool operator<(const RowSpan& o) const { return row != o.row ? row < o.row : left < o.left; }
};

// Rows of a box with corners cut by ellipses of rx, ry (an ellipse when they
// are half the box).
void rounded_spans(const OutlineRect& box, double rx, double ry, std::vector<RowSpan>& out)
{
    if (box.empty())
        return;
    for (int32_t r = box.top; r < box.bottom; ++r) {
        double yc = r + 0.5, dy = 0;
        if (yc < box.top + ry)
            dy = box.top + ry - yc;
        else if (yc > box.bottom - ry)
            dy = yc - (box.bottom - ry);
        double inset = 0;
        if (dy > 0 && ry > 0) {
            double t = dy / ry;
            if (t >= 1)
                continue;
            inset = rx - rx * std::sqrt(1 - t * t);
        }
        int32_t left = first_pixel(box.left + inset), right = first_pixel(box.right - inset);
        if (left < right)
            out.push_back({r, left, right});
    }
}

struct Edge {
    int32_t top;    // first row whose centre it crosses
    int32_t bottom; // the row after the last
    double x0, y0, slope;
    int direction;
};

// Every polygon of the outline filled together by the winding rule: a pixel
// is inside when the edges crossing its row to the left of its centre wind
// around it a non-zero number of times.
void polygon_spans(const std::vector<OutlineShape>& shapes, std::vector<RowSpan>& out)
{
    std::vector<Edge> edges;
    for (const OutlineShape& shape : shapes) {
        if (shape.kind != OutlineShape::Kind::Polygon || shape.points.size() < 3)
            continue;
        for (size_t i = 0; i < shape.points.size(); ++i) {
            OutlinePoint a = shape.points[i], b = shape.points[(i + 1) % shape.points.size()];
            if (a.y == b.y)
                continue;
            int direction = b.y > a.y ? 1 : -1;
            if (b.y < a.y)
                std::swap(a, b);
            edges.push_back({a.y, b.y, double(a.x), double(a.y), double(b.x - a.x) / double(b.y - a.y), direction});
        }
    }
    if (edges.empty())
        return;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.top < b.top; });
    std::vector<const Edge*> active;
    std::vector<std::pair<double, int>> crossings;
    size_t next = 0;
    int32_t row = edges[0].top;
    while (next < edges.size() || !active.empty()) {
        if (active.empty() && edges[next].top > row)
            row = edges[next].top;
        while (next < edges.size() && edges[next].top <= row)
            active.push_back(&edges[next++]);
        std::erase_if(active, [row](const Edge* e) { return e->bottom <= row; });
        crossings.clear();
        double yc = row + 0.5;
        for (const Edge* e : active)
            crossings.emplace_back(e->x0 + (yc - e->y0) * e->slope, e->direction);
        std::sort(crossings.begin(), crossings.end());
        int winding = 0;
        for (size_t i = 0; i < crossings.size(); ++i) {
            winding += crossings[i].second;
            if (winding != 0 && i + 1 < crossings.size()) {
                int32_t left = first_pixel(crossings[i].first), right = first_pixel(crossings[i + 1].first);
                if (left < right)
                    out.push_back({row, left, right});
            }
        }
        ++row;
    }
}

} // namespace

Outline Outline::ellipse(int32_t x, int32_t y, int32_t width, int32_t height)
{
    return rounded_rect(x, y, width, height, width, height);
}

Outline Outline::rounded_rect(int32_t x, int32_t y, int32_t width, int32_t height, int32_t corner_width,
    int32_t corner_height)
{
    Outline out;
    OutlineShape shape;
    shape.kind = corner_width == width && corner_height == height ? OutlineShape::Kind::Ellipse
                                                                  : OutlineShape::Kind::RoundedRect;
    shape.box = {clamp_coordinate(x), clamp_coordinate(y), clamp_coordinate(int64_t(x) + width),
        clamp_coordinate(int64_t(y) + height)};
    // Corners larger than the box are cut to it.
    shape.corner_width = std::clamp(corner_width, 0, std::max(width, 0));
    shape.corner_height = std::clamp(corner_height, 0, std::max(height, 0));
    out.m_shapes.push_back(std::move(shape));
    return out;
}

Outline Outline::polygon(std::vector<OutlinePoint> points)
{
    Outline out;
    out.add_polygon(std::move(points));
    return out;
}

bool Outline::add_polygon(std::vector<OutlinePoint> points)
{
    if (m_polygons >= MaxPolygons) {
        m_truncated = true;
        return false;
    }
    for (OutlinePoint& p : points)
        p = {clamp_coordinate(p.x), clamp_coordinate(p.y)};
    OutlineShape shape;
    shape.kind = OutlineShape::Kind::Polygon;
    shape.points = std::move(points);
    m_shapes.push_back(std::move(shape));
    ++m_polygons;
    return true;
}

// Each row is walked as up to three pieces: columns left of the view and
// right of it (all black) and the pixels inside, so a rectangle far larger
// than the view costs no more than the view itself.
Outline Outline::from_pixels(const PixelView& view, int32_t x, int32_t y, int32_t width, int32_t height,
    int32_t dx, int32_t dy, int64_t key)
{
    Outline out;
    if (width <= 0 || height <= 0)
        return out;
    int64_t limit = 2 * int64_t(CoordinateLimit) + 1;
    int64_t end_x = int64_t(x) + std::min<int64_t>(width, limit);
    int64_t end_y = int64_t(y) + std::min<int64_t>(height, limit);
    uint8_t kb = 0, kg = 0, kr = 0;
    if (key == KeyFromFirstPixel) {
        if (view.contains(x, y)) {
            const uint8_t* p = view.pixel(x, y);
            kb = p[0], kg = p[1], kr = p[2];
        }
    } else {
        kr = colour_red(uint32_t(key));
        kg = colour_green(uint32_t(key));
        kb = colour_blue(uint32_t(key));
    }
    bool black_is_key = kb == 0 && kg == 0 && kr == 0;
    int64_t inside_left = std::max<int64_t>(x, 0), inside_right = std::min<int64_t>(end_x, view.width);

    bool in_run = false;
    int64_t run_start = 0;
    int64_t r = std::max<int64_t>(y, 0);
    auto emit = [&](int64_t s, int64_t e) {
        int64_t left = s + dx - x, top = r + dy - y;
        std::vector<OutlinePoint> points {{clamp_coordinate(left), clamp_coordinate(top)},
            {clamp_coordinate(e + dx - x), clamp_coordinate(top)},
            {clamp_coordinate(e + dx - x), clamp_coordinate(top + 1)},
            {clamp_coordinate(left), clamp_coordinate(top + 1)}};
        return out.add_polygon(std::move(points));
    };
    // A stretch of columns that all differ from the key, or all match it.
    auto stretch = [&](int64_t s, int64_t e, bool differs) {
        if (s >= e)
            return true;
        if (differs) {
            if (!in_run)
                run_start = s;
            in_run = true;
            return true;
        }
        bool ok = !in_run || emit(run_start, s);
        in_run = false;
        return ok;
    };
    for (; r < end_y; ++r) {
        in_run = false;
        bool in_rows = r < view.height;
        if (!in_rows && black_is_key)
            break;
        bool ok = stretch(x, std::min<int64_t>(end_x, 0), !black_is_key);
        if (in_rows && inside_left < inside_right) {
            const uint8_t* p = view.pixel(int32_t(inside_left), int32_t(r));
            for (int64_t c = inside_left; c < inside_right && ok; ++c, p += view.bytes_per_pixel) {
                bool differs = p[0] != kb || p[1] != kg || p[2] != kr;
                if (differs != in_run)
                    ok = stretch(c, c + 1, differs);
            }
            ok = ok && stretch(std::max<int64_t>(inside_right, x), end_x, !black_is_key);
        } else {
            ok = ok && stretch(std::max<int64_t>(x, 0), end_x, !black_is_key);
        }
        // A run that reaches the last column ends there.
        if (ok && in_run)
            ok = emit(run_start, end_x);
        if (!ok)
            break;
    }
    return out;
}

Outline Outline::from_bitmap(Bitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height, int32_t dx,
    int32_t dy, int64_t key)
{
    if (width > 0 && height > 0)
        bitmap.grow(int32_t(std::min<int64_t>(int64_t(x) + width, Bitmap::MaxSide)),
            int32_t(std::min<int64_t>(int64_t(y) + height, Bitmap::MaxSide)));
    if (bitmap.empty())
        return Outline();
    return from_pixels(bitmap.view(), x, y, width, height, dx, dy, key);
}

PictureError Outline::from_file(const std::string& path, int64_t key, Outline& outline, Bitmap* picture)
{
    size_t dot = path.find_last_of('.');
    std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    PictureLoad loaded;
    if (equal_ignoring_case(extension, ".jpg") || equal_ignoring_case(extension, ".jpeg"))
        loaded = JpegFile::load(path);
    else
        loaded = BmpFile::load(path);
    if (!loaded.ok())
        return loaded.error;
    const Bitmap& b = loaded.bitmap;
    outline = from_pixels(b.view(), 0, 0, b.width(), b.height(), 0, 0, key);
    if (picture)
        *picture = std::move(loaded.bitmap);
    return PictureError::None;
}

OutlineRect Outline::bounds() const
{
    OutlineRect out;
    bool first = true;
    auto add = [&](int32_t l, int32_t t, int32_t r, int32_t b) {
        if (first) {
            out = {l, t, r, b};
            first = false;
            return;
        }
        out = {std::min(out.left, l), std::min(out.top, t), std::max(out.right, r), std::max(out.bottom, b)};
    };
    for (const OutlineShape& s : m_shapes) {
        if (s.kind != OutlineShape::Kind::Polygon) {
            add(s.box.left, s.box.top, s.box.right, s.box.bottom);
            continue;
        }
        for (const OutlinePoint& p : s.points)
            add(p.x, p.y, p.x, p.y);
    }
    return out;
}

std::vector<OutlineRect> Outline::spans() const
{
    std::vector<RowSpan> rows;
    for (const OutlineShape& s : m_shapes)
        if (s.kind != OutlineShape::Kind::Polygon)
            rounded_spans(s.box, s.corner_width / 2.0, s.corner_height / 2.0, rows);
    polygon_spans(m_shapes, rows);
    std::sort(rows.begin(), rows.end());

    // Merge overlapping spans of a row, then identical neighbouring rows.
    std::vector<OutlineRect> out;
    size_t band_start = 0; // first rectangle of the band that may still grow
    size_t i = 0;
    std::vector<OutlineRect> row_rects;
    while (i < rows.size()) {
        int32_t row = rows[i].row;
        row_rects.clear();
        for (; i < rows.size() && rows[i].row == row; ++i) {
            if (!row_rects.empty() && rows[i].left <= row_rects.back().right)
                row_rects.back().right = std::max(row_rects.back().right, rows[i].right);
            else
                row_rects.push_back({rows[i].left, row, rows[i].right, row + 1});
        }
        bool same = out.size() - band_start == row_rects.size() && !row_rects.empty() && band_start < out.size()
            && out[band_start].bottom == row;
        for (size_t k = 0; same && k < row_rects.size(); ++k)
            same = out[band_start + k].left == row_rects[k].left && out[band_start + k].right == row_rects[k].right;
        if (same) {
            for (size_t k = band_start; k < out.size(); ++k)
                out[k].bottom = row + 1;
        } else {
            band_start = out.size();
            out.insert(out.end(), row_rects.begin(), row_rects.end());
        }
    }
    return out;
}

} // namespace ruk
