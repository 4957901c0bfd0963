// Window outlines as plain geometry: ellipses, rounded rectangles, polygons and runs of opaque pixels.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/PictureIo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ruk {

struct OutlinePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const OutlinePoint&) const = default;
};

// A rectangle from (left, top) up to but not including (right, bottom).
struct OutlineRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const OutlineRect&) const = default;
};

// One piece of an outline. An ellipse fills the box; a rounded rectangle
// fills the box with corners cut by ellipses of corner_width x
// corner_height; a polygon (runs of pixels are four-point polygons) fills by
// the winding rule, counted over all polygons of the outline together.
struct OutlineShape {
    enum class Kind { Ellipse, RoundedRect, Polygon };
    Kind kind = Kind::Polygon;
    OutlineRect box;
    int32_t corner_width = 0;
    int32_t corner_height = 0;
    std::vector<OutlinePoint> points;
};

// An outline is a list of shapes that the window code turns into one region.
// Outlines built from pixels hold at most MaxPolygons polygons: each run of
// pixels that differ from the transparent colour takes one, rows top to
// bottom and runs left to right, and runs past the limit are left out (the
// outline says so through `truncated`). A polygon added from a point list
// also counts and is refused when the outline is full.
//
// `spans` gives the area the outline covers as rectangles, each one row
// high or several identical rows merged, sorted top to bottom and left to
// right, never overlapping: the form a window-system region or a compositor
// takes directly. Coordinates are clipped to +-CoordinateLimit, the range a
// window system can place.
class Outline {
public:
    static constexpr size_t MaxPolygons = 5000;
    static constexpr int32_t CoordinateLimit = 32767;
    // Transparent colour meaning "the colour of the first source pixel".
    static constexpr int64_t KeyFromFirstPixel = -1;

    static Outline ellipse(int32_t x, int32_t y, int32_t width, int32_t height);
    static Outline rounded_rect(int32_t x, int32_t y, int32_t width, int32_t height, int32_t corner_width,
        int32_t corner_height);
    static Outline polygon(std::vector<OutlinePoint> points);

    // Runs of pixels differing from `key` in the rectangle (x, y, width,
    // height) of the view, placed so that (x, y) lands on (dx, dy). `key` is
    // a colour value (red in the low byte) or KeyFromFirstPixel. Pixels
    // outside the view count as black; rows above the view are skipped.
    // Only blue, green and red are compared, also at 32 bits per pixel.
    static Outline from_pixels(const PixelView& view, int32_t x, int32_t y, int32_t width, int32_t height,
        int32_t dx, int32_t dy, int64_t key);
    // The same for a bitmap of the draw family, which first grows (never
    // shrinks) to hold x + width columns and y + height rows, as the engine
    // does before reading a bitmap's outline.
    static Outline from_bitmap(Bitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t height, int32_t dx,
        int32_t dy, int64_t key);
    // The whole of a .bmp or .jpg file at (0, 0); `picture` receives the
    // loaded picture for the caller to show. The error says why nothing was
    // made.
    static PictureError from_file(const std::string& path, int64_t key, Outline& outline, Bitmap* picture = nullptr);

    // Adds a polygon; false when the outline already has MaxPolygons.
    bool add_polygon(std::vector<OutlinePoint> points);

    const std::vector<OutlineShape>& shapes() const { return m_shapes; }
    size_t polygon_count() const { return m_polygons; }
    bool truncated() const { return m_truncated; }
    bool empty() const { return m_shapes.empty(); }
    // The smallest rectangle holding every shape's points or box.
    OutlineRect bounds() const;

    std::vector<OutlineRect> spans() const;

private:
    std::vector<OutlineShape> m_shapes;
    size_t m_polygons = 0;
    bool m_truncated = false;
};

} // namespace ruk
