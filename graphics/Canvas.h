// Lines, rectangles, ellipses, polygons, text and icons painted straight into a bitmap's own rows.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/CanvasState.h"

#include <cstdint>
#include <string_view>
#include <vector>

class QImage;

namespace ruk {

// The canvas paints with Qt's painter on an image that wraps the bitmap's
// pixel memory as it stands (24-bit rows as blue-green-red bytes, 32-bit rows
// as blue-green-red-x words), so a command costs no copy and colours are
// exact. Painting is aliased, so results are the same on every run.
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
    struct Point {
        int32_t x = 0;
        int32_t y = 0;
    };
    struct TextSize {
        int32_t width = 0;
        int32_t height = 0;
    };
    enum class Shape { Rectangle, Ellipse };

    Canvas(Bitmap& bitmap, CanvasState& state) : m_bitmap(bitmap), m_state(state) {}

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

    // Draws a picture with its alpha channel blended over the bitmap.
    void picture(const QImage& image, int32_t x, int32_t y);

    // Fonts need the toolkit's font machinery; where no GUI application runs
    // (rukc run, unit tests) the canvas starts one on the offscreen platform.
    // False when a non-GUI application runs already: text is then neither
    // measured nor drawn.
    static bool fonts_available();

private:
    Bitmap& m_bitmap;
    CanvasState& m_state;
};

} // namespace ruk
