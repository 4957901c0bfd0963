// Lines, rectangles, ellipses, polygons, text and icons painted straight into a bitmap's own rows.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/CanvasPainter.h"
#include "graphics/CanvasState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

// The canvas hands the bitmap's pixel memory as it stands (24-bit rows as
// blue-green-red bytes, 32-bit rows as blue-green-red-x words) to the
// painter of the canvas module, so a command costs no copy and colours are
// exact. Painting is aliased, so results are the same on every run. The
// module is opened by the first canvas that paints or measures
// (`PainterModule`); where it cannot be opened, nothing is painted, text
// measures 0 x 0 and fonts are not available.
//
// Shapes follow the classic desktop rules: a box (left, top, right, bottom)
// covers the columns left to right - 1 and the rows top to bottom - 1; a line
// covers its start point but not its end point. Thick outlines are centred on
// the box's edge as the platform's painter strokes them, so their outer
// pixels may differ from other desktops' by one at the corners and curves;
// the inside of a filled shape and the pixels clear of its edge are exact.
//
// The canvas never grows the bitmap: callers grow it first (the draw family
// knows how far); whatever reaches outside is clipped. The bitmap must not be
// resized while a canvas on it is in use.
class Canvas {
public:
    using Point = PaintPoint;
    using TextSize = TextExtent;
    using Shape = PaintShape;

    // A canvas on the shared module's painter, opened when first needed.
    Canvas(Bitmap& bitmap, CanvasState& state) : m_bitmap(bitmap), m_state(state), m_shared(true) {}
    // A canvas on the given painter; null paints nothing.
    Canvas(Bitmap& bitmap, CanvasState& state, CanvasPainter* painter)
        : m_bitmap(bitmap), m_state(state), m_painter(painter)
    {
    }

    // Draws from the pen position to (x, y) with the state's pen and leaves
    // the pen there.
    void line_to(int32_t x, int32_t y);
    // A rectangle (with corners rounded by ellipses of corner_w x corner_h
    // when both are above 0) or an ellipse in the box, stroked with the
    // state's pen and filled with its brush unless the brush is clear.
    void shape(Shape shape, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t corner_w = 0,
               int32_t corner_h = 0);
    // Fills the box with the brush colour, nothing else.
    void fill(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Filled with the brush and outlined with the pen (closed), or, with
    // `closed` false, an open line through the points with the pen.
    void polygon(const std::vector<Point>& points, bool closed);

    // Text in the state's font and font colour with a transparent
    // background; (x, y) is the top-left corner of the text's cell. Text is
    // script bytes: UTF-8 when valid, else Windows-1252.
    TextSize measure(std::string_view text) const;
    void text(int32_t x, int32_t y, std::string_view text);

    // The picture of the icon file at `path` (a Linux path) closest to
    // width x height, scaled to exactly that size; nothing when the size is
    // not positive or passes a bitmap's limits, or the file holds no
    // readable picture.
    static std::optional<IconPicture> read_icon(const std::string& path, int32_t width, int32_t height);
    // Draws a picture with its alpha channel blended over the bitmap.
    void picture(const IconPicture& picture, int32_t x, int32_t y);

    // Fonts need the toolkit's font machinery; where no GUI application runs
    // (rukc run, unit tests) the painter starts one on the offscreen
    // platform. False when a non-GUI application runs already or the module
    // is missing: text is then neither measured nor drawn.
    static bool fonts_available();

private:
    // The bitmap's rows for the painter; nothing when there is no painter
    // or the bitmap is empty.
    std::optional<PaintSurface> surface() const;
    CanvasPainter* painter() const;

    Bitmap& m_bitmap;
    CanvasState& m_state;
    CanvasPainter* m_painter = nullptr;
    bool m_shared = false;
};

} // namespace ruk
