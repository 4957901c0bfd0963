// The bitmap's size rules, pixel access and the seven pixel formats.
#include "graphics/Bitmap.h"
#include "graphics/PackedImage.h"

#include <gtest/gtest.h>

using namespace ruk;

namespace {

// A picture with many colours, odd sizes so rows need padding.
Bitmap gradient(int32_t w = 37, int32_t h = 23, int32_t bits = 24)
{
    Bitmap b(w, h, bits);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.set_pixel(x, y, make_colour(uint8_t(x * 7), uint8_t(y * 11), uint8_t((x * y) % 256)));
    return b;
}

} // namespace

TEST(BitmapTest, GrowKeepsPixelsAndShrinkingNeverFreesTheStore)
{
    Bitmap b = gradient(5, 4);
    uint32_t corner = b.pixel(4, 3);
    ASSERT_TRUE(b.grow(9, 2)); // only the width grows
    EXPECT_EQ(b.width(), 9);
    EXPECT_EQ(b.height(), 4);
    EXPECT_EQ(b.pixel(4, 3), corner);
    EXPECT_EQ(b.pixel(8, 3), 0u);
    EXPECT_EQ(b.stride() % 4, 0);

    const uint8_t* store = b.row(0);
    ASSERT_TRUE(b.resize(2, 2));
    EXPECT_EQ(b.pixel(1, 1), make_colour(7, 11, 1));
    ASSERT_TRUE(b.resize(9, 4));
    EXPECT_EQ(b.row(0), store);
    // What came back after the shrink is black, not the old pixels.
    EXPECT_EQ(b.pixel(4, 3), 0u);
    EXPECT_EQ(b.pixel(1, 1), make_colour(7, 11, 1));
}

TEST(BitmapTest, RefusedSizesChangeNothing)
{
    Bitmap b = gradient(3, 3);
    Bitmap before = b;
    EXPECT_FALSE(b.grow(Bitmap::MaxSide + 1, 1));
    EXPECT_FALSE(b.resize(-1, 5));
    EXPECT_FALSE(b.resize(5, Bitmap::MaxSide + 1));
    EXPECT_TRUE(b == before);
    EXPECT_TRUE(Bitmap(Bitmap::MaxSide + 1, 1).empty());
    // Setting and reading outside neither grows nor fails.
    b.set_pixel(3, 0, 255);
    b.set_pixel(-1, 0, 255);
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.pixel(-1, 0), 0u);
}

TEST(BitmapTest, ThirtyTwoBitsAndBackKeepColours)
{
    Bitmap b = gradient();
    Bitmap original = b;
    ASSERT_TRUE(b.set_pixel_format(32));
    EXPECT_EQ(b.bytes_per_pixel(), 4);
    EXPECT_EQ(b.pixel(36, 22), original.pixel(36, 22));
    EXPECT_EQ(b.row(5)[4 * 3 + 3], 0);
    ASSERT_TRUE(b.set_pixel_format(24));
    EXPECT_TRUE(b == original);
    EXPECT_FALSE(b.set_pixel_format(12));
    EXPECT_EQ(b.pixel_format(), 24);
}

TEST(BitmapTest, LowDepthsHoldOnlyTheirColours)
{
    Bitmap b(3, 1);
    b.set_pixel(0, 0, make_colour(0x12, 0x34, 0x56));
    b.set_pixel(1, 0, make_colour(255, 255, 255));
    b.set_pixel(2, 0, make_colour(7, 3, 252));

    Bitmap fifteen = b;
    ASSERT_TRUE(fifteen.set_pixel_format(15));
    EXPECT_EQ(fifteen.pixel_format(), 15);
    // Five bits a channel, widened by repeating the top bits.
    EXPECT_EQ(fifteen.pixel(0, 0), make_colour(0x10, 0x31, 0x52));
    EXPECT_EQ(fifteen.pixel(1, 0), make_colour(255, 255, 255));
    Bitmap sixteen = b;
    ASSERT_TRUE(sixteen.set_pixel_format(16));
    EXPECT_EQ(sixteen.pixel(0, 0), make_colour(0x10, 0x34, 0x52));

    // Three colours fit four and eight bits exactly, but not one.
    for (int bits : {4, 8}) {
        Bitmap c = b;
        ASSERT_TRUE(c.set_pixel_format(bits));
        EXPECT_TRUE(c == b) << bits;
    }
    Bitmap one = b;
    ASSERT_TRUE(one.set_pixel_format(1));
    EXPECT_EQ(one.pixel(0, 0), 0u);
    EXPECT_EQ(one.pixel(1, 0), 0xFFFFFFu);
    EXPECT_EQ(one.pixel(2, 0), 0u);
}

TEST(BitmapTest, ManyColoursFallBackToTheFixedPalettes)
{
    Bitmap b = gradient();
    Bitmap eight = b;
    ASSERT_TRUE(eight.set_pixel_format(8));
    Bitmap four = b;
    ASSERT_TRUE(four.set_pixel_format(4));
    for (int32_t y = 0; y < b.height(); ++y) {
        for (int32_t x = 0; x < b.width(); ++x) {
            uint32_t c = eight.pixel(x, y);
            bool in_palette = false;
            for (const PaletteEntry& e : fixed_palette(8))
                in_palette = in_palette || make_colour(e.red, e.green, e.blue) == c;
            ASSERT_TRUE(in_palette);
            // The cube alone is within 25.5 on each channel, so the nearest entry
            // is within sqrt(3 x 25.5^2) < 45 on any one.
            uint32_t o = b.pixel(x, y);
            ASSERT_LE(std::abs(int(colour_red(c)) - colour_red(o)), 44);
            ASSERT_LE(std::abs(int(colour_blue(c)) - colour_blue(o)), 44);
        }
    }
    EXPECT_EQ(fixed_palette(8).size(), 256u);
    EXPECT_EQ(four.pixel(0, 0), 0u);
}

TEST(BitmapTest, PackedRowsShorterThanTheSizeAreRefused)
{
    auto packed = PackedImage::pack(gradient(), 4);
    ASSERT_TRUE(packed);
    packed->data.resize(packed->data.size() - 1);
    EXPECT_FALSE(packed->unpack());
}

TEST(BitmapTest, DrawClipsAtEveryEdge)
{
    Bitmap target(4, 4);
    Bitmap source(3, 3);
    source.fill(make_colour(1, 2, 3));
    target.draw(source, -1, 2);
    EXPECT_EQ(target.pixel(0, 2), make_colour(1, 2, 3));
    EXPECT_EQ(target.pixel(1, 3), make_colour(1, 2, 3));
    EXPECT_EQ(target.pixel(2, 3), 0u);
    EXPECT_EQ(target.pixel(0, 1), 0u);
    target.draw(source, 4, 0);
    target.draw(source, 0, -3);
    EXPECT_EQ(target.pixel(3, 0), 0u);
}
