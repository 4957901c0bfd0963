// Shapes and text painted into bitmaps: exact pixels inside, on and outside each shape.
#ifdef RUK_WITH_DRAW

#include "graphics/Canvas.h"
#include "graphics/PainterModule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace ruk;

namespace {

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Red = 0x0000FF;
constexpr uint32_t Blue = 0xFF0000;

Bitmap white_bitmap(int32_t w, int32_t h, int32_t bits = 24)
{
    Bitmap b(w, h, bits);
    b.fill(White);
    return b;
}

CanvasState pen_and_brush(uint32_t colour, int32_t pen_width, bool brush_clear)
{
    CanvasState s;
    s.pen_colour = colour;
    s.brush_colour = colour;
    s.pen_width = pen_width;
    s.brush_clear = brush_clear;
    return s;
}

} // namespace

TEST(Canvas, FillsCoverTheBoxWithoutItsRightAndBottomEdges)
{
    for (int32_t bits : {24, 32}) {
        Bitmap b = white_bitmap(20, 20, bits);
        CanvasState s = pen_and_brush(Blue, 0, false);
        Canvas(b, s).fill(5, 5, 10, 12);
        EXPECT_EQ(b.pixel(5, 5), Blue) << bits;
        EXPECT_EQ(b.pixel(9, 11), Blue) << bits;
        EXPECT_EQ(b.pixel(4, 5), White) << bits;
        EXPECT_EQ(b.pixel(10, 5), White) << bits;
        EXPECT_EQ(b.pixel(9, 12), White) << bits;
        EXPECT_EQ(b.pixel(5, 4), White) << bits;
    }
    // Clipped at the bitmap's edges, nothing written outside.
    Bitmap b = white_bitmap(4, 4);
    CanvasState s = pen_and_brush(Red, 0, false);
    Canvas(b, s).fill(-10, -10, 100, 100);
    EXPECT_EQ(b.pixel(0, 0), Red);
    EXPECT_EQ(b.pixel(3, 3), Red);
}

TEST(Canvas, RectangleOutlinesAndFilledShapes)
{
    // A one-pixel outline covers the box's first and last columns and rows.
    Bitmap b = white_bitmap(20, 20);
    CanvasState s = pen_and_brush(Red, 1, true);
    Canvas(b, s).shape(Canvas::Shape::Rectangle, 2, 3, 12, 9);
    for (auto [x, y] : {std::pair {2, 3}, {11, 3}, {2, 8}, {11, 8}, {6, 3}, {2, 6}})
        EXPECT_EQ(b.pixel(x, y), Red) << x << "," << y;
    for (auto [x, y] : {std::pair {12, 3}, {2, 9}, {1, 3}, {2, 2}, {6, 6}, {10, 7}})
        EXPECT_EQ(b.pixel(x, y), White) << x << "," << y;

    // With a solid brush and the thinnest pen the box is filled exactly.
    Bitmap f = white_bitmap(20, 20);
    CanvasState solid = pen_and_brush(Blue, 0, false);
    Canvas(f, solid).shape(Canvas::Shape::Rectangle, 2, 3, 12, 9);
    EXPECT_EQ(f.pixel(2, 3), Blue);
    EXPECT_EQ(f.pixel(11, 8), Blue);
    EXPECT_EQ(f.pixel(6, 6), Blue);
    EXPECT_EQ(f.pixel(12, 8), White);
    EXPECT_EQ(f.pixel(11, 9), White);

    // A thick outline leaves the middle alone.
    Bitmap t = white_bitmap(40, 40);
    CanvasState thick = pen_and_brush(Red, 4, true);
    Canvas(t, thick).shape(Canvas::Shape::Rectangle, 4, 4, 36, 36);
    EXPECT_EQ(t.pixel(4, 20), Red);
    EXPECT_EQ(t.pixel(20, 20), White);
    EXPECT_EQ(t.pixel(0, 0), White);

    // Rounded corners leave the box's corner pixel out.
    Bitmap r = white_bitmap(40, 40);
    CanvasState round = pen_and_brush(Blue, 0, false);
    Canvas(r, round).shape(Canvas::Shape::Rectangle, 0, 0, 40, 40, 20, 20);
    EXPECT_EQ(r.pixel(0, 0), White);
    EXPECT_EQ(r.pixel(20, 0), Blue);
    EXPECT_EQ(r.pixel(20, 20), Blue);
}

TEST(Canvas, EllipsesStayInsideTheirBox)
{
    Bitmap b = white_bitmap(30, 30);
    CanvasState s = pen_and_brush(Red, 0, false);
    Canvas(b, s).shape(Canvas::Shape::Ellipse, 5, 5, 26, 26);
    EXPECT_EQ(b.pixel(15, 15), Red);
    EXPECT_EQ(b.pixel(15, 5), Red);  // top of the curve
    EXPECT_EQ(b.pixel(5, 15), Red);  // left of the curve
    EXPECT_EQ(b.pixel(25, 15), Red); // right: the box's last column
    for (auto [x, y] : {std::pair {5, 5}, {25, 25}, {25, 5}, {15, 4}, {26, 15}, {15, 26}, {7, 7}})
        EXPECT_EQ(b.pixel(x, y), White) << x << "," << y;

    // An outline only: the middle stays as it was.
    Bitmap o = white_bitmap(30, 30);
    CanvasState outline = pen_and_brush(Blue, 1, true);
    Canvas(o, outline).shape(Canvas::Shape::Ellipse, 5, 5, 26, 26);
    EXPECT_EQ(o.pixel(15, 5), Blue);
    EXPECT_EQ(o.pixel(15, 15), White);
}

TEST(Canvas, LinesLeaveOutTheirEndAndMoveThePen)
{
    Bitmap b = white_bitmap(20, 20);
    CanvasState s = pen_and_brush(Red, 1, false);
    s.pen_x = 2;
    s.pen_y = 4;
    Canvas canvas(b, s);
    canvas.line_to(12, 4);
    EXPECT_EQ(b.pixel(2, 4), Red);
    EXPECT_EQ(b.pixel(11, 4), Red);
    EXPECT_EQ(b.pixel(12, 4), White);
    EXPECT_EQ(b.pixel(1, 4), White);
    EXPECT_EQ(b.pixel(6, 5), White);
    EXPECT_EQ(s.pen_x, 12);
    EXPECT_EQ(s.pen_y, 4);
    // The next line starts where the last one ended.
    canvas.line_to(12, 10);
    EXPECT_EQ(b.pixel(12, 4), Red);
    EXPECT_EQ(b.pixel(12, 9), Red);
    EXPECT_EQ(b.pixel(12, 10), White);
    // A diagonal covers one pixel per column.
    Bitmap d = white_bitmap(10, 10);
    CanvasState ds = pen_and_brush(Blue, 1, false);
    Canvas(d, ds).line_to(9, 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(d.pixel(i, i), Blue) << i;
    EXPECT_EQ(d.pixel(1, 0), White);
}

TEST(Canvas, PolygonsFilledAndOpen)
{
    const std::vector<Canvas::Point> triangle {{0, 0}, {20, 0}, {0, 20}};
    Bitmap b = white_bitmap(30, 30);
    CanvasState s = pen_and_brush(Red, 0, false);
    Canvas(b, s).polygon(triangle, true);
    EXPECT_EQ(b.pixel(3, 3), Red);
    EXPECT_EQ(b.pixel(0, 19), Red);
    EXPECT_EQ(b.pixel(15, 15), White);
    EXPECT_EQ(b.pixel(25, 2), White);

    Bitmap o = white_bitmap(30, 30);
    CanvasState open = pen_and_brush(Blue, 1, true);
    Canvas(o, open).polygon(triangle, false);
    EXPECT_EQ(o.pixel(10, 0), Blue);
    EXPECT_EQ(o.pixel(3, 3), White); // inside, not filled
    EXPECT_EQ(o.pixel(0, 10), White); // the closing edge is not drawn
}

TEST(Canvas, TextStaysInItsMeasuredCell)
{
    Bitmap b = white_bitmap(200, 60);
    CanvasState s;
    s.font.pixel_size = 20;
    s.font.colour = Red;
    Canvas canvas(b, s);
    const Canvas::TextSize size = canvas.measure("Hello");
    ASSERT_GT(size.width, 20);
    ASSERT_GT(size.height, 15);
    canvas.text(10, 5, "Hello");
    int inside = 0;
    int outside = 0;
    for (int32_t y = 0; y < b.height(); ++y) {
        for (int32_t x = 0; x < b.width(); ++x) {
            const uint32_t c = b.pixel(x, y);
            ASSERT_TRUE(c == White || c == Red) << "aliased text has no blended pixels: " << c;
            if (c != Red)
                continue;
            const bool in = x >= 10 && x < 10 + size.width && y >= 5 && y < 5 + size.height;
            (in ? inside : outside) += 1;
        }
    }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
    // A wider font measures wider; bold measures at least as wide.
    CanvasState big = s;
    big.font.pixel_size = 40;
    EXPECT_GT(Canvas(b, big).measure("Hello").width, size.width);
    CanvasState bold = s;
    bold.font.weight = 700;
    EXPECT_GE(Canvas(b, bold).measure("Hello").width, size.width);
    // Bytes that are not UTF-8 are Windows-1252 characters, never dropped.
    EXPECT_GT(canvas.measure("\xE9t\xE9").width, canvas.measure("t").width);
}

TEST(Canvas, WithoutAPainterNothingIsPaintedAndTextMeasuresNothing)
{
    Bitmap b = white_bitmap(10, 10);
    CanvasState s = pen_and_brush(Red, 3, false);
    Canvas canvas(b, s, nullptr);
    canvas.fill(0, 0, 10, 10);
    canvas.shape(Canvas::Shape::Ellipse, 0, 0, 10, 10);
    canvas.polygon({{0, 0}, {9, 0}, {0, 9}}, true);
    canvas.text(0, 0, "Hello");
    canvas.picture(IconPicture{1, 1, {0xFF0000FFu}}, 0, 0);
    canvas.line_to(5, 6);
    EXPECT_EQ(b, white_bitmap(10, 10));
    // The pen still moves, as it does where the line falls outside the bitmap.
    EXPECT_EQ(s.pen_x, 5);
    EXPECT_EQ(s.pen_y, 6);
    const Canvas::TextSize size = canvas.measure("Hello");
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
}

TEST(Canvas, PicturesOfAWrongSizeAreNeverHandedOn)
{
    Bitmap b = white_bitmap(4, 4);
    CanvasState s;
    // Fewer pixels than the picture claims: nothing is read past its end.
    Canvas(b, s).picture(IconPicture{4, 4, {0xFF0000FFu}}, 0, 0);
    EXPECT_EQ(b, white_bitmap(4, 4));
    Canvas(b, s).picture(IconPicture{1, 1, {0xFF0000FFu}}, 2, 1);
    EXPECT_EQ(b.pixel(2, 1), Blue);
    EXPECT_FALSE(Canvas::read_icon("/nonexistent.ico", 0, 16));
    EXPECT_FALSE(Canvas::read_icon("/nonexistent.ico", 16, Bitmap::MaxSide + 1));
}

TEST(PainterModule, MissingOrForeignModulesGiveNoPainter)
{
    EXPECT_EQ(PainterModule("/nonexistent/folder/librukcanvas.so").painter(), nullptr);
    // A library without the painter's entry point.
    PainterModule foreign("libm.so.6");
    EXPECT_EQ(foreign.painter(), nullptr);
    EXPECT_EQ(foreign.painter(), nullptr);
    // A file that is no library at all.
    const std::filesystem::path junk =
        std::filesystem::temp_directory_path() / ("librukcanvas-junk-" + std::to_string(::getpid()) + ".so");
    std::ofstream(junk) << "not a shared library";
    EXPECT_EQ(PainterModule(junk.string()).painter(), nullptr);
    std::filesystem::remove(junk);
    // The build's own module is found beside the programs.
    EXPECT_NE(PainterModule::shared().painter(), nullptr);
}

#endif
