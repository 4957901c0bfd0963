// Outlines: runs of opaque pixels, the polygon limit, ellipses, rounded corners and the winding rule.
#include "graphics/BmpFile.h"
#include "graphics/Outline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace ruk;

namespace {

std::vector<OutlinePoint> run(int32_t s, int32_t e, int32_t row) { return {{s, row}, {e, row}, {e, row + 1}, {s, row + 1}}; }

// Whether pixel (x, y) lies in one of the spans.
bool covered(const std::vector<OutlineRect>& spans, int32_t x, int32_t y)
{
    for (const OutlineRect& r : spans)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return true;
    return false;
}

} // namespace

TEST(OutlineTest, SolidRectangleGivesOnePolygonPerRow)
{
    Bitmap b(10, 8);
    b.fill(0xFFFFFF);
    for (int32_t y = 2; y < 5; ++y)
        for (int32_t x = 3; x < 7; ++x)
            b.set_pixel(x, y, 255);
    // The key comes from the first pixel; placed at (100, 50).
    Outline o = Outline::from_pixels(b.view(), 0, 0, 10, 8, 100, 50, Outline::KeyFromFirstPixel);
    ASSERT_EQ(o.polygon_count(), 3u);
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_EQ(o.shapes()[i].points, run(103, 107, 52 + i));
    EXPECT_FALSE(o.truncated());
    // The rows merge into one rectangle.
    EXPECT_EQ(o.spans(), std::vector<OutlineRect>({{103, 52, 107, 55}}));

    // A sub-rectangle of the bitmap is placed relative to its own corner, and
    // a run that reaches its last column ends there.
    Outline part = Outline::from_pixels(b.view(), 4, 3, 2, 5, 0, 0, 0xFFFFFF);
    ASSERT_EQ(part.polygon_count(), 2u);
    EXPECT_EQ(part.shapes()[0].points, run(0, 2, 0));
    EXPECT_EQ(part.shapes()[1].points, run(0, 2, 1));
}

TEST(OutlineTest, KeyColourAndPixelsOutsideTheBitmap)
{
    Bitmap b(4, 1, 32);
    b.set_pixel(1, 0, make_colour(1, 2, 3));
    b.set_pixel(2, 0, make_colour(1, 2, 3));
    b.row(0)[3] = 77; // the fourth byte never counts
    // Red in the low byte of the key.
    Outline keyed = Outline::from_pixels(b.view(), 0, 0, 4, 1, 0, 0, make_colour(1, 2, 3));
    ASSERT_EQ(keyed.polygon_count(), 2u);
    EXPECT_EQ(keyed.shapes()[0].points, run(0, 1, 0));
    EXPECT_EQ(keyed.shapes()[1].points, run(3, 4, 0));

    // Beyond the bitmap everything is black: opaque under a white key,
    // transparent under black. Rows above 0 are skipped.
    Outline wide = Outline::from_pixels(b.view(), -2, -1, 8, 3, 0, 0, 0xFFFFFF);
    ASSERT_EQ(wide.polygon_count(), 2u);
    EXPECT_EQ(wide.shapes()[0].points, run(0, 8, 1));
    EXPECT_EQ(wide.shapes()[1].points, run(0, 8, 2));
    Outline black = Outline::from_pixels(b.view(), -2, 0, 1000000, 1000000, 0, 0, 0);
    ASSERT_EQ(black.polygon_count(), 1u);
    EXPECT_EQ(black.shapes()[0].points, run(3, 5, 0));

    // A draw bitmap grows to hold the rectangle first.
    Bitmap small(2, 2);
    Outline grown = Outline::from_bitmap(small, 0, 0, 5, 3, 0, 0, 0xFFFFFF);
    EXPECT_EQ(small.width(), 5);
    EXPECT_EQ(small.height(), 3);
    EXPECT_EQ(grown.polygon_count(), 3u);
    Bitmap none;
    EXPECT_TRUE(Outline::from_bitmap(none, 0, 0, 0, 0, 0, 0, -1).empty());
}

TEST(OutlineTest, RunsPastTheLimitAreLeftOut)
{
    // 5,001 single-pixel runs on alternate columns of one row.
    Bitmap b(2 * 5001, 2);
    for (int32_t x = 0; x < b.width(); x += 2)
        b.set_pixel(x, 0, 0xFFFFFF);
    b.set_pixel(0, 1, 0xFFFFFF);
    Outline o = Outline::from_pixels(b.view(), 0, 0, b.width(), 2, 0, 0, 0);
    EXPECT_EQ(o.polygon_count(), Outline::MaxPolygons);
    EXPECT_TRUE(o.truncated());
    EXPECT_EQ(o.shapes().back().points, run(2 * 4999, 2 * 4999 + 1, 0));
    // A full outline refuses a further polygon too.
    EXPECT_FALSE(o.add_polygon(run(0, 1, 5)));
    EXPECT_EQ(o.spans().size(), Outline::MaxPolygons);
}

TEST(OutlineTest, EllipsesAndRoundedCorners)
{
    std::vector<OutlineRect> spans = Outline::ellipse(10, 20, 40, 30).spans();
    // Inside the middle, outside the corners, symmetric about the centre.
    EXPECT_TRUE(covered(spans, 30, 35));
    EXPECT_TRUE(covered(spans, 10, 35));
    EXPECT_TRUE(covered(spans, 49, 34));
    EXPECT_TRUE(covered(spans, 30, 20));
    EXPECT_TRUE(covered(spans, 30, 49));
    EXPECT_FALSE(covered(spans, 50, 35));
    EXPECT_FALSE(covered(spans, 11, 21));
    EXPECT_FALSE(covered(spans, 48, 48));
    for (int32_t y = 20; y < 50; ++y)
        for (int32_t x = 10; x < 50; ++x)
            ASSERT_EQ(covered(spans, x, y), covered(spans, 59 - x, 69 - y)) << x << "," << y;

    EXPECT_EQ(Outline::rounded_rect(0, 0, 8, 6, 0, 0).spans(), std::vector<OutlineRect>({{0, 0, 8, 6}}));
    std::vector<OutlineRect> rounded = Outline::rounded_rect(0, 0, 20, 20, 8, 8).spans();
    EXPECT_FALSE(covered(rounded, 0, 0));
    EXPECT_TRUE(covered(rounded, 4, 0));
    EXPECT_TRUE(covered(rounded, 0, 10));
    EXPECT_FALSE(covered(rounded, 19, 19));
    // Corners larger than the box make it an ellipse.
    EXPECT_EQ(Outline::rounded_rect(0, 0, 20, 10, 500, 500).spans(), Outline::ellipse(0, 0, 20, 10).spans());
    EXPECT_TRUE(Outline::ellipse(0, 0, -5, 10).spans().empty());
}

TEST(OutlineTest, PolygonsFillByTheWindingRule)
{
    // A five-pointed star drawn in one stroke: its centre winds twice and
    // stays inside.
    Outline star = Outline::polygon({{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}});
    std::vector<OutlineRect> spans = star.spans();
    EXPECT_TRUE(covered(spans, 50, 50));
    EXPECT_TRUE(covered(spans, 50, 10));
    EXPECT_FALSE(covered(spans, 50, 85));
    EXPECT_FALSE(covered(spans, 5, 80));
    EXPECT_EQ(star.bounds(), (OutlineRect {2, 0, 98, 90}));

    // A triangle: pixels whose centres lie inside, row by row.
    EXPECT_EQ(Outline::polygon({{0, 0}, {4, 0}, {0, 4}}).spans(),
        std::vector<OutlineRect>({{0, 0, 3, 1}, {0, 1, 2, 2}, {0, 2, 1, 3}}));

    // Runs and a list polygon wound the other way cancel where they meet.
    Outline mixed = Outline::polygon(run(0, 4, 0));
    mixed.add_polygon({{2, 0}, {2, 1}, {6, 1}, {6, 0}});
    EXPECT_EQ(mixed.spans(), std::vector<OutlineRect>({{0, 0, 2, 1}, {4, 0, 6, 1}}));

    // Coordinates beyond what a window system can place are clipped.
    Outline far = Outline::polygon({{0, 0}, {2000000000, 0}, {0, 3}});
    EXPECT_EQ(far.bounds().right, Outline::CoordinateLimit);
    EXPECT_TRUE(Outline::polygon({{0, 0}, {5, 5}}).spans().empty());
}

TEST(OutlineTest, FromPictureFile)
{
    std::string path = (std::filesystem::temp_directory_path() / ("ruk_outline_" + std::to_string(::getpid()) + ".BMP")).string();
    Bitmap b(6, 2);
    b.set_pixel(2, 1, 0xFF);
    ASSERT_EQ(BmpFile::save(path, b, 8), PictureError::None);
    Outline o;
    Bitmap picture;
    ASSERT_EQ(Outline::from_file(path, Outline::KeyFromFirstPixel, o, &picture), PictureError::None);
    EXPECT_EQ(o.polygon_count(), 1u);
    EXPECT_EQ(o.shapes()[0].points, run(2, 3, 1));
    EXPECT_EQ(picture.width(), 6);
    std::filesystem::remove(path);
    EXPECT_EQ(Outline::from_file(path, -1, o), PictureError::NotFound);
}
