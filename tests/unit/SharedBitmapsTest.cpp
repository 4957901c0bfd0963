// One bitmap table for every family that names bitmaps, and the stretched part a window shows.
#include "graphics/BitmapReferences.h"
#include "graphics/Clipboard.h"
#ifdef RUK_WITH_DRAW
#include "graphics/Draw.h"
#endif
#include "graphics/InputFamilies.h"
#include "graphics/InputHost.h"
#include "graphics/StretchedPart.h"
#include "graphics/Window.h"
#include "graphics/WindowBitmaps.h"
#include "system/Misc.h"
#include "tests/support/MemoryWindows.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

namespace ruk::test {
namespace {

constexpr PixelRect Everywhere {0, 0, 1000, 1000};

// A 4 x 2 picture whose pixels are numbered 1 to 8, row by row.
Bitmap numbered()
{
    Bitmap source(4, 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x)
            source.set_pixel(x, y, uint32_t(1 + x + 4 * y));
    return source;
}

TEST(StretchedPart, EnlargesMirrorsAndKeepsToTheWindow)
{
    const Bitmap source = numbered();

    // Twice as wide and three times as high, placed at (10, 20).
    StretchedPart part = stretch_part(source, {0, 0, 4, 2}, {10, 20, 8, 6}, Everywhere);
    ASSERT_EQ(part.picture.width(), 8);
    ASSERT_EQ(part.picture.height(), 6);
    EXPECT_EQ(part.x, 10);
    EXPECT_EQ(part.y, 20);
    EXPECT_EQ(part.picture.pixel(1, 2), 1u);
    EXPECT_EQ(part.picture.pixel(2, 0), 2u);
    EXPECT_EQ(part.picture.pixel(0, 3), 5u);
    EXPECT_EQ(part.picture.pixel(7, 5), 8u);

    // A source rectangle that hangs over the bitmap's edge shows black there.
    part = stretch_part(source, {2, 1, 4, 2}, {0, 0, 4, 2}, Everywhere);
    EXPECT_EQ(part.picture.pixel(0, 0), 7u);
    EXPECT_EQ(part.picture.pixel(1, 0), 8u);
    EXPECT_EQ(part.picture.pixel(2, 0), 0u);
    EXPECT_EQ(part.picture.pixel(0, 1), 0u);

    // Widths of different signs mirror the picture.
    part = stretch_part(source, {0, 0, 4, 1}, {4, 0, -4, 1}, Everywhere);
    EXPECT_EQ(part.x, 0);
    EXPECT_EQ(part.picture.pixel(0, 0), 4u);
    EXPECT_EQ(part.picture.pixel(3, 0), 1u);

    // Only the part inside the window is made; it reads where it would have.
    part = stretch_part(source, {0, 0, 4, 2}, {-2, -1, 8, 4}, {0, 0, 3, 3});
    ASSERT_EQ(part.picture.width(), 3);
    ASSERT_EQ(part.picture.height(), 3);
    EXPECT_EQ(part.x, 0);
    EXPECT_EQ(part.y, 0);
    EXPECT_EQ(part.picture.pixel(0, 0), 2u);
    EXPECT_EQ(part.picture.pixel(2, 0), 3u);
    EXPECT_EQ(part.picture.pixel(0, 1), 6u);

    // Empty rectangles and rectangles off the window give nothing, whatever their size.
    EXPECT_TRUE(stretch_part(source, {0, 0, 0, 2}, {0, 0, 4, 4}, Everywhere).picture.empty());
    EXPECT_TRUE(stretch_part(source, {0, 0, 4, 2}, {2000, 0, 4, 4}, Everywhere).picture.empty());
    EXPECT_TRUE(stretch_part(source, {0, 0, 4, 2}, {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}, Everywhere)
                    .picture.empty());
}

#ifdef RUK_WITH_DRAW
// The draw, window, screen and system families on one table over in-memory
// windows, as the engine wires them.
class SharedBitmaps : public ::testing::Test {
protected:
    void SetUp() override
    {
        register_draw_family(h.engine(), bitmaps);
        register_window_family(h.engine(), h.state(), windows, nullptr, nullptr, &bitmaps);
        register_input_families(h.engine(), h.state(), windows, input, bitmaps);
        register_system_family(h.engine(), h.state(), services, clipboard, bitmaps);
    }

    std::string run(const std::string& lines)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + lines + "\nevent.end()\n"));
        h.run();
        return h.output();
    }

    MemoryWindows windows;
    WindowBitmaps window_bitmaps {windows};
    BitmapReferences bitmaps {&window_bitmaps};
    ProcessClipboard clipboard;
    HeadlessSystemServices services;
    NoInputHost input;
    ScriptHarness h;
};

TEST_F(SharedBitmaps, AnOffScreenBitmapReachesEveryFamily)
{
    // A red 10 x 6 block on black in bitmap -1 gives window 1 its outline.
    run(R"(
    window.create()
    window.1.pos(0, 0, 30, 20)
    draw.-1.size(20, 10)
    draw.-1.rect(5, 2, 10, 6, 255)
    window.1.shape.from.-1()
)");
    const auto& outline = windows.table().record(1).outline;
    ASSERT_TRUE(outline.has_value());
    EXPECT_EQ(outline->polygon_count(), 6u);
    EXPECT_EQ(outline->bounds(), (OutlineRect {5, 2, 15, 8}));

    // The window's own bitmap and the off-screen ones are the same pictures
    // for the draw family and the clipboard.
    EXPECT_EQ(run(R"(
    draw.1.copyfrom.-1()
    system.clipboard.set.image(1)
    system.clipboard.get.image(-2)
    system.message(draw.-2.width() " " draw.-2.getpixel(5, 2, 4, 2))
)"),
              "20 255^^0\n");
    EXPECT_EQ(windows.table().record(1).backing.pixel(14, 7), 255u);

    // Without a display the capture grows the bitmap and copies nothing;
    // a reference that names no bitmap is refused by every family.
    EXPECT_EQ(run(R"(
    screen.copyto.-3(0, 0, 40, 30)
    system.message(draw.-3.width() "x" draw.-3.height())
    screen.copyto.-300()
    screen.copyto.7()
    system.clipboard.get.image(7)
)"),
              "40x30\n");
    ASSERT_EQ(h.errors().size(), 3u);
    for (const std::string& error : h.errors())
        EXPECT_EQ(error, "Invalid image.");
}

TEST_F(SharedBitmaps, PaintWithARectangleShowsTheStretchedPartOnly)
{
    run(R"(
    window.create()
    window.1.pos(0, 0, 30, 20)
    draw.1.size(20, 10)
    draw.1.rect(5, 2, 10, 6, 255)
    draw.1.paint(4, 2, 2, 2, 0, 0, 20, 12)
)");
    const MemoryWindow& w = windows.memory(1);
    ASSERT_EQ(w.shown.width(), 20);
    ASSERT_EQ(w.shown.height(), 12);
    // Source column 4 (black) fills the left half, column 5 (red) the right.
    EXPECT_EQ(w.shown.pixel(9, 11), 0u);
    EXPECT_EQ(w.shown.pixel(10, 0), 255u);
    // The backing bitmap grew to the window, as a repaint would make it, and
    // kept its pixels.
    EXPECT_EQ(windows.table().record(1).backing.width(), 30);
    EXPECT_EQ(windows.table().record(1).backing.pixel(4, 2), 0u);

    // A rectangle that hangs over the window is cut at its edge.
    run("    draw.1.paint(0, 0, 30, 20, 25, 15)");
    EXPECT_EQ(w.shown_x, 25);
    EXPECT_EQ(w.shown_y, 15);
    EXPECT_EQ(w.shown.width(), 5);
    EXPECT_EQ(w.shown.height(), 5);
}

#endif // RUK_WITH_DRAW

} // namespace
} // namespace ruk::test
