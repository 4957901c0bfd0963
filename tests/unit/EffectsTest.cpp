// The picture effects on small pixel tables: blend modes, steps, deform, shifts, stretch copy, fill, tint, compare, quarter turns.
#include "graphics/Blend.h"
#include "graphics/Effects.h"
#include "graphics/RasterOps.h"

#include "tests/support/Picture.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

using namespace ruk;
using ruk::testing::Picture;
using ruk::testing::rgb;

namespace {

const uint32_t White = rgb(255, 255, 255);

// A w x 1 white-to-black blend with the given settings; returns the row.
std::vector<uint32_t> blend_white_row(int width, const EffectSettings& settings)
{
    Picture dst(width, 1), src(width, 1, 3, White);
    stretch_blend(dst.view(), {0, 0, width, 1}, src.view(), {0, 0, width, 1}, settings, {}, false, 0);
    std::vector<uint32_t> row;
    for (int x = 0; x < width; ++x)
        row.push_back(dst.at(x, 0));
    return row;
}

// A source whose blue byte tells the column and green byte the row.
Picture numbered(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.set(x, y, rgb(200, uint8_t(y), uint8_t(x)));
    return p;
}

} // namespace

TEST(StretchBlend, ModeZeroWeighsEachChannel)
{
    EffectSettings settings;
    settings.percent = {50, 0, 200}; // blue half, green untouched, red beyond
    Picture dst(2, 1, 3, rgb(100, 30, 10)), src(2, 1, 3, rgb(110, 90, 20));
    // A two-row source squeezed into one row takes the stretch path; the
    // same-size copy takes the row path. Both give the same pixel.
    Picture tall(1, 2, 3, rgb(110, 90, 20));
    stretch_blend(dst.view(), {0, 0, 1, 1}, tall.view(), {0, 0, 1, 2}, settings, {}, false, 0);
    EXPECT_EQ(dst.at(0, 0), rgb(120, 30, 15));
    stretch_blend(dst.view(), {1, 0, 1, 1}, src.view(), {0, 0, 1, 1}, settings, {}, false, 0);
    EXPECT_EQ(dst.at(1, 0), rgb(120, 30, 15));
}

TEST(StretchBlend, ChannelCycleAndSampleAndHold)
{
    EffectSettings cycle;
    cycle.mode = 1;
    const uint32_t g = rgb(0, 255, 0), r = rgb(255, 0, 0), b = rgb(0, 0, 255);
    EXPECT_EQ(blend_white_row(7, cycle), (std::vector<uint32_t> {g, r, b, g, r, b, g}));
    cycle.cycle_length = 3; // counter 3 names no channel
    EXPECT_EQ(blend_white_row(5, cycle), (std::vector<uint32_t> {g, r, 0, b, g}));

    // Sample and hold: held values start at 0, are sampled when the counter
    // wraps to 0, and a channel at 0 percent is written as 0.
    EffectSettings hold;
    hold.mode = 2;
    hold.percent = {100, 50, 0};
    Picture dst(6, 1, 3, rgb(9, 9, 9)), src(6, 1, 3, White);
    src.set(5, 0, rgb(0, 0, 0));
    stretch_blend(dst.view(), {0, 0, 6, 1}, src.view(), {0, 0, 6, 1}, hold, {}, false, 0);
    const uint32_t held = rgb(0, 132, 255);
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(1, 0), 0u);
    EXPECT_EQ(dst.at(2, 0), held);
    EXPECT_EQ(dst.at(3, 0), held);
    EXPECT_EQ(dst.at(4, 0), held);
    EXPECT_EQ(dst.at(5, 0), rgb(0, 5, 0)); // sampled again: black over the destination's 9
}

TEST(StretchBlend, DoubledPixelsStayInsideTheDestination)
{
    EffectSettings doubled;
    doubled.mode = 3;
    doubled.percent = {100, 100, 0};
    Picture dst(3, 3, 3, rgb(5, 0, 0));
    Picture src = numbered(3, 3);
    stretch_blend(dst.view(), {0, 0, 3, 3}, src.view(), {0, 0, 3, 3}, doubled, {}, false, 0);
    // Blocks start at (0,0), (2,0), (0,2), (2,2); red is not enabled.
    EXPECT_EQ(dst.at(1, 1), rgb(5, 0, 0));
    EXPECT_EQ(dst.at(1, 0), rgb(5, 0, 0));
    EXPECT_EQ(dst.at(2, 1), rgb(5, 0, 2));
    EXPECT_EQ(dst.at(2, 2), rgb(5, 2, 2));
    EXPECT_EQ(dst.at(0, 2), rgb(5, 2, 0));
    EXPECT_TRUE(dst.guards_intact());

    // Steps: every other column with x step 2; a step of 0 counts as 1.
    EffectSettings stepped;
    stepped.x_step = 2;
    stepped.y_step = 0;
    auto row = blend_white_row(4, stepped);
    EXPECT_EQ(row, (std::vector<uint32_t> {White, 0, White, 0}));
}

TEST(StretchBlend, KeysAndSourceShifts)
{
    EffectSettings settings;
    Picture dst(3, 1, 3, rgb(1, 1, 1));
    Picture src(3, 1, 3, rgb(4, 5, 6));
    src.set(1, 0, rgb(7, 8, 9));
    // Key -1: the colour at the source rectangle's corner is see-through.
    stretch_blend(dst.view(), {0, 0, 3, 1}, src.view(), {0, 0, 3, 1}, settings, {}, true, KeyFromSource);
    EXPECT_EQ(dst.at(0, 0), rgb(1, 1, 1));
    EXPECT_EQ(dst.at(1, 0), rgb(7, 8, 9));
    EXPECT_EQ(dst.at(2, 0), rgb(1, 1, 1));

    // The red byte read one pixel further right; off the row's end it reads
    // the last pixel's red. Blue read one pixel to the left clamps at the
    // first pixel.
    settings.source_shift = {-3, 0, 3};
    Picture out(3, 1);
    stretch_blend(out.view(), {0, 0, 3, 1}, src.view(), {0, 0, 3, 1}, settings, {}, false, 0);
    EXPECT_EQ(out.at(0, 0), rgb(7, 5, 6));
    EXPECT_EQ(out.at(1, 0), rgb(4, 8, 6));
    EXPECT_EQ(out.at(2, 0), rgb(4, 5, 9));
}

TEST(StretchCopy, DeformShiftsTheCorners)
{
    Picture src = numbered(64, 64);
    Picture dst(64, 64);
    DeformSettings deform;
    deform.top_left = 20;
    stretch_copy(dst.view(), {0, 0, 64, 64}, src.view(), {0, 0, 64, 64}, {}, deform);
    auto column_read = [&](int x, int y) { return int(dst.bytes(x, y)[0]); };
    EXPECT_EQ(column_read(0, 0), 20);
    EXPECT_EQ(column_read(32, 0), 42);  // 32 + 20 * 32 * 64 / 4096
    EXPECT_EQ(column_read(0, 32), 10);  // 20 * 64 * 32 / 4096
    EXPECT_EQ(column_read(63, 63), 63); // bottom-right unshifted
    EXPECT_EQ(int(dst.bytes(5, 7)[1]), 7);

    // A shift that runs off the source repeats its last column.
    deform = {};
    deform.top_left = 200;
    deform.bottom_right = 100;
    stretch_copy(dst.view(), {0, 0, 64, 64}, src.view(), {0, 0, 64, 64}, {}, deform);
    EXPECT_EQ(column_read(10, 0), 63);
    EXPECT_EQ(column_read(63, 63), 0); // 63 - 100 * 63 * 63 / 4096 clamps at 0
    EXPECT_TRUE(dst.guards_intact());
}

TEST(StretchCopy, StretchesStepsAndDoubles)
{
    Picture src(2, 2);
    src.set(0, 0, rgb(1, 0, 0));
    src.set(1, 0, rgb(2, 0, 0));
    src.set(0, 1, rgb(3, 0, 0));
    src.set(1, 1, rgb(4, 0, 0));
    Picture dst(4, 4, 4);
    stretch_copy(dst.view(), {0, 0, 4, 4}, src.view(), {0, 0, 2, 2}, {}, {});
    const uint32_t want[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.at(x, y), want[y][x]) << x << "," << y;

    // Any mode but 0 writes 2 x 2 blocks every (step + 1) pixels; the block
    // that reaches past a 3 x 3 destination is cut.
    EffectSettings doubled;
    doubled.mode = 1;
    Picture small(3, 3, 3, rgb(9, 9, 9));
    stretch_copy(small.view(), {0, 0, 3, 3}, src.view(), {0, 0, 2, 2}, doubled, {});
    EXPECT_EQ(small.at(1, 1), rgb(1, 0, 0));
    EXPECT_EQ(small.at(2, 0), rgb(2, 0, 0));
    EXPECT_EQ(small.at(2, 2), rgb(4, 0, 0));
    EXPECT_TRUE(small.guards_intact());

    // A source rectangle hanging off the source leaves those pixels alone.
    Picture keep(4, 1, 3, rgb(9, 9, 9));
    stretch_copy(keep.view(), {0, 0, 4, 1}, src.view(), {1, 0, 4, 1}, {}, {});
    EXPECT_EQ(keep.at(0, 0), rgb(2, 0, 0));
    EXPECT_EQ(keep.at(1, 0), rgb(9, 9, 9));
}

TEST(TranslucentFill, BlendsAndCutsAtTheEdges)
{
    Picture pic(4, 3, 3, rgb(100, 0, 200));
    // Reaching below the picture: cut at the last row, width kept.
    translucent_fill(pic.view(), 1, 1, 2, 10, rgb(0, 255, 100), 30);
    EXPECT_EQ(pic.at(1, 1), rgb(70, 76, 170));
    EXPECT_EQ(pic.at(2, 2), rgb(70, 76, 170));
    EXPECT_EQ(pic.at(3, 2), rgb(100, 0, 200));
    EXPECT_EQ(pic.at(1, 0), rgb(100, 0, 200));
    // Starting left of the picture: only the part inside is filled.
    translucent_fill(pic.view(), -3, 0, 4, 1, White, 100);
    EXPECT_EQ(pic.at(0, 0), White);
    EXPECT_EQ(pic.at(1, 0), rgb(100, 0, 200));
    // Outside the picture altogether, and opacities outside 0..100.
    translucent_fill(pic.view(), 5, 0, 4, 1, White, 100);
    Picture wide(1, 1, 4, rgb(10, 10, 10));
    translucent_fill(wide.view(), 0, 0, 1, 1, rgb(20, 0, 10), -50);
    EXPECT_EQ(wide.at(0, 0), rgb(5, 15, 10));
    EXPECT_TRUE(pic.guards_intact());
}

TEST(TintThroughChannel, StrengthFollowsTheSourceChannel)
{
    Picture dst(3, 1, 3, rgb(0, 0, 200));
    Picture src(3, 1);
    src.set(0, 0, rgb(0, 255, 0));
    src.set(1, 0, rgb(0, 128, 0));
    src.set(2, 0, rgb(255, 0, 255));
    tint_through_channel(dst.view(), 0, 0, src.view(), 0, 0, 3, 1, rgb(250, 0, 0), 100, ChannelGreen);
    EXPECT_EQ(dst.at(0, 0), rgb(250, 0, 0));
    EXPECT_EQ(dst.at(1, 0), rgb(125, 0, 100)); // strength 50
    EXPECT_EQ(dst.at(2, 0), rgb(0, 0, 200));   // dark green: untouched
    // Opacity scales the strength: 60 * (128 * 100 / 255) / 100 = 30.
    Picture half(1, 1);
    tint_through_channel(half.view(), 0, 0, src.view(), 1, 0, 5, 5, rgb(100, 0, 0), 60, ChannelGreen);
    EXPECT_EQ(half.at(0, 0), rgb(30, 0, 0));
    EXPECT_TRUE(half.guards_intact());
}

TEST(ComparePixels, FindsTheFirstDifferenceInRowOrder)
{
    Picture a(4, 3, 3, rgb(1, 2, 3)), b(4, 3, 3, rgb(1, 2, 3));
    EXPECT_FALSE(compare_pixels(a.view(), 0, 0, b.view(), 0, 0, 4, 3, 0));
    a.set(3, 1, rgb(9, 9, 9));
    a.set(1, 2, rgb(8, 8, 8));
    auto diff = compare_pixels(a.view(), 0, 0, b.view(), 0, 0, 4, 3, 0);
    ASSERT_TRUE(diff);
    EXPECT_EQ(diff->x, 3);
    EXPECT_EQ(diff->y, 1);
    EXPECT_EQ(diff->colour, rgb(9, 9, 9));
    // Positions are relative to the rectangle; the ignored colour of the
    // other picture is passed over, and so is the column that would read
    // past the other picture's edge (where a(3, 1) differs).
    b.set(2, 0, rgb(0, 0, 0));
    a.set(1, 0, rgb(7, 7, 7));
    diff = compare_pixels(a.view(), 1, 0, b.view(), 2, 0, 3, 3, 0);
    ASSERT_TRUE(diff);
    EXPECT_EQ(diff->x, 0);
    EXPECT_EQ(diff->y, 2);
    EXPECT_EQ(diff->colour, rgb(8, 8, 8));
    // Rectangles hanging off either picture compare only what exists.
    EXPECT_FALSE(compare_pixels(a.view(), -2, -2, b.view(), 0, 0, 3, 3, 0));
}

TEST(RotateQuarter, BothDirections)
{
    Picture src(3, 2, 4); // 1 2 3 / 4 5 6
    for (int i = 0; i < 6; ++i)
        src.set(i % 3, i / 3, uint32_t(i + 1));
    Picture ccw(2, 3, 4), cw(2, 3, 4);
    rotate_quarter(ccw.view(), src.view(), QuarterTurn::CounterClockwise);
    rotate_quarter(cw.view(), src.view(), QuarterTurn::Clockwise);
    const uint32_t want_ccw[3][2] = {{3, 6}, {2, 5}, {1, 4}};
    const uint32_t want_cw[3][2] = {{4, 1}, {5, 2}, {6, 3}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(ccw.at(x, y), want_ccw[y][x]);
            EXPECT_EQ(cw.at(x, y), want_cw[y][x]);
        }

    // Turning a square picture onto itself turns the picture it was.
    Picture square(2, 2);
    square.set(0, 0, 1);
    square.set(1, 0, 2);
    square.set(0, 1, 3);
    square.set(1, 1, 4);
    rotate_quarter(square.view(), square.view(), QuarterTurn::Clockwise);
    EXPECT_EQ(square.at(0, 0), 3u);
    EXPECT_EQ(square.at(1, 0), 1u);
    EXPECT_EQ(square.at(0, 1), 4u);
    EXPECT_EQ(square.at(1, 1), 2u);
    EXPECT_TRUE(square.guards_intact());
}

// Seeded random rectangles and settings, extremes included, on pictures with
// guard bytes: every effect stays inside both pictures (run under the
// sanitizer build, reads outside show up too).
TEST(Effects, HostileValuesNeverLeaveThePictures)
{
    std::mt19937 rng(1234);
    const int32_t extremes[] = {0, 1, -1, 2, 7, -7, 40, -40, 32767, -32768, 65536, 2147483647, -2147483647 - 1};
    auto value = [&] {
        return rng() % 3 == 0 ? extremes[rng() % std::size(extremes)] : int32_t(rng() % 21) - 6;
    };
    for (int round = 0; round < 3000; ++round) {
        Picture dst(1 + int(rng() % 9), 1 + int(rng() % 9), rng() % 2 ? 3 : 4, rng());
        Picture src(1 + int(rng() % 9), 1 + int(rng() % 9), rng() % 2 ? 3 : 4, rng());
        EffectSettings settings;
        settings.mode = int32_t(rng() % 5);
        settings.x_step = value();
        settings.y_step = value();
        settings.percent = {value(), value(), value()};
        settings.source_shift = {value(), value(), value()};
        settings.cycle_length = value();
        DeformSettings deform {value(), value(), value(), value()};
        PixelRect to {value(), value(), value(), value()};
        PixelRect from {value(), value(), value(), value()};
        Picture& source = rng() % 4 == 0 ? dst : src;
        stretch_blend(dst.view(), to, source.view(), from, settings, deform, rng() % 2, rng() % 2 ? -1 : 0);
        stretch_copy(dst.view(), to, source.view(), from, settings, deform);
        translucent_fill(dst.view(), value(), value(), value(), value(), rng(), value());
        tint_through_channel(dst.view(), value(), value(), source.view(), value(), value(), value(), value(), rng(),
                             value(), Channel(rng() % 3));
        compare_pixels(dst.view(), value(), value(), source.view(), value(), value(), value(), value(), 0);
        rotate_quarter(dst.view(), source.view(), rng() % 2 ? QuarterTurn::Clockwise : QuarterTurn::CounterClockwise);
        raster_copy(dst.view(), value(), value(), source.view(), value(), value(), value(), value(),
                    RasterOp(rng() & 0xFF), rng());
        ASSERT_TRUE(dst.guards_intact()) << "round " << round;
        ASSERT_TRUE(src.guards_intact()) << "round " << round;
    }
}
