// The copy modes and the row blends: truth tables, clipping, self-copies, the exact blend arithmetic for every input.
#include "graphics/RasterOps.h"

#include "tests/support/Picture.h"

#include <gtest/gtest.h>

#include <random>

using namespace ruk;
using ruk::testing::Picture;
using ruk::testing::rgb;

namespace {

// Each copy mode written as the boolean it stands for, independent of the
// truth-table bytes the engine uses.
struct ModeCase {
    const char* name;
    uint8_t (*expected)(uint8_t p, uint8_t s, uint8_t d);
};

const ModeCase mode_cases[] = {
    {"dstinvert", [](uint8_t, uint8_t, uint8_t d) { return uint8_t(~d); }},
    {"mergecopy", [](uint8_t p, uint8_t s, uint8_t) { return uint8_t(p & s); }},
    {"mergepaint", [](uint8_t, uint8_t s, uint8_t d) { return uint8_t(~s | d); }},
    {"notsrccopy", [](uint8_t, uint8_t s, uint8_t) { return uint8_t(~s); }},
    {"notsrcerase", [](uint8_t, uint8_t s, uint8_t d) { return uint8_t(~(s | d)); }},
    {"patcopy", [](uint8_t p, uint8_t, uint8_t) { return p; }},
    {"patinvert", [](uint8_t p, uint8_t, uint8_t d) { return uint8_t(p ^ d); }},
    {"srcand", [](uint8_t, uint8_t s, uint8_t d) { return uint8_t(s & d); }},
    {"srccopy", [](uint8_t, uint8_t s, uint8_t) { return s; }},
    {"srcerase", [](uint8_t, uint8_t s, uint8_t d) { return uint8_t(s & ~d); }},
    {"srcinvert", [](uint8_t, uint8_t s, uint8_t d) { return uint8_t(s ^ d); }},
};

} // namespace

TEST(RasterOps, EveryCopyModeOnAPixelTable)
{
    const uint32_t brush = rgb(0x0F, 0xF0, 0x3C);
    const uint8_t pattern[3] = {colour_blue(brush), colour_green(brush), colour_red(brush)};
    std::mt19937 rng(7);
    for (int bpp : {3, 4}) {
        for (const ModeCase& mode : mode_cases) {
            SCOPED_TRACE(std::string(mode.name) + " bpp " + std::to_string(bpp));
            auto op = raster_op_from_name(mode.name);
            ASSERT_TRUE(op);
            Picture src(4, 3, bpp), dst(4, 3, bpp);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x) {
                    src.set(x, y, rng() & 0xFFFFFF);
                    dst.set(x, y, rng() & 0xFFFFFF);
                }
            Picture before = dst;
            raster_copy(dst.view(), 1, 1, src.view(), 0, 0, 2, 2, *op, brush);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x) {
                    bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
                    for (int k = 0; k < 3; ++k) {
                        uint8_t d = before.bytes(x, y)[k];
                        uint8_t want = inside ? mode.expected(pattern[k], src.bytes(x - 1, y - 1)[k], d) : d;
                        EXPECT_EQ(dst.bytes(x, y)[k], want) << "pixel " << x << "," << y << " byte " << k;
                    }
                }
            EXPECT_TRUE(dst.guards_intact());
        }
    }
    EXPECT_FALSE(raster_op_from_name("SRCCOPY"));
    EXPECT_FALSE(raster_op_from_name("srcpaint"));
}

TEST(RasterOps, CopiesAreClippedAndSelfCopiesReadTheOldPicture)
{
    Picture pic(5, 1);
    for (int x = 0; x < 5; ++x)
        pic.set(x, 0, rgb(uint8_t(10 * (x + 1)), 0, 0));
    // Scrolling right by one within the same picture: each pixel takes its
    // left neighbour's old colour, not a smear of the first one.
    raster_copy(pic.view(), 1, 0, pic.view(), 0, 0, 5, 1, RasterOp::SrcCopy, 0);
    EXPECT_EQ(pic.at(1, 0), rgb(10, 0, 0));
    EXPECT_EQ(pic.at(4, 0), rgb(40, 0, 0));
    // Hanging over every edge, with huge sizes: only the overlap is written.
    Picture dst(3, 3, 3, rgb(1, 2, 3));
    Picture src(2, 2, 3, rgb(200, 100, 50));
    raster_copy(dst.view(), -1, 2, src.view(), 0, 0, 2147483647, 2147483647, RasterOp::SrcCopy, 0);
    EXPECT_EQ(dst.at(0, 2), rgb(200, 100, 50));
    EXPECT_EQ(dst.at(1, 2), rgb(1, 2, 3));
    EXPECT_EQ(dst.at(0, 1), rgb(1, 2, 3));
    EXPECT_TRUE(dst.guards_intact());
    // A pattern-only mode needs no source pixels under it.
    raster_copy(dst.view(), 0, 0, src.view(), 5, 5, 3, 1, RasterOp::PatCopy, rgb(9, 8, 7));
    EXPECT_EQ(dst.at(2, 0), rgb(9, 8, 7));
}

TEST(RasterOps, DivisionByHundredIsExactForEveryBlendProduct)
{
    for (int32_t n = -25500; n <= 25500; ++n)
        ASSERT_EQ(div100(n), n / 100) << n;
}

// The row kernels (the 50 percent average, the 16-bit multiply for 1..99,
// the plain copy for 100) against the blend arithmetic for every pair of
// bytes and every percentage they can get.
TEST(RasterOps, RowBlendIsExactForEveryByteAndPercentage)
{
    const int32_t pixels = 65536 / 3 + 1;
    std::vector<uint8_t> src(size_t(pixels) * 3), base(size_t(pixels) * 3);
    for (size_t i = 0; i < src.size(); ++i) {
        src[i] = uint8_t(i >> 8);
        base[i] = uint8_t(i);
    }
    for (int32_t p = -1; p <= 101; ++p) {
        std::vector<uint8_t> dst = base;
        blend_row(dst.data(), 3, src.data(), 3, pixels, {p, p, p}, std::nullopt);
        for (size_t i = 0; i < dst.size(); ++i) {
            int64_t d = base[i], s = src[i];
            uint8_t want = p <= 0 ? uint8_t(d) : uint8_t(d + (s - d) * p / 100);
            ASSERT_EQ(dst[i], want) << "percent " << p << " s " << s << " d " << d;
        }
    }
}

TEST(RasterOps, TranslucentAndKeyedCopies)
{
    // Opacity 50 averages, rounded toward the destination.
    Picture dst(2, 1, 3, rgb(100, 101, 0));
    Picture src(2, 1, 3, rgb(201, 0, 255));
    translucent_copy(dst.view(), 0, 0, src.view(), 0, 0, 2, 1, {50, 50, 50}, std::nullopt);
    EXPECT_EQ(dst.at(0, 0), rgb(150, 51, 127));

    // A black key leaves every destination pixel under a black source pixel;
    // the last pixel of a row is checked too.
    Picture keyed(4, 2, 3, rgb(7, 7, 7));
    Picture picture(4, 2, 3, rgb(1, 2, 3));
    picture.set(1, 0, 0);
    picture.set(3, 0, 0);
    picture.set(3, 1, rgb(0, 0, 1));
    translucent_copy(keyed.view(), 0, 0, picture.view(), 0, 0, 4, 2, {100, 100, 100}, colour_bytes(0));
    EXPECT_EQ(keyed.at(0, 0), rgb(1, 2, 3));
    EXPECT_EQ(keyed.at(1, 0), rgb(7, 7, 7));
    EXPECT_EQ(keyed.at(2, 0), rgb(1, 2, 3));
    EXPECT_EQ(keyed.at(3, 0), rgb(7, 7, 7));
    EXPECT_EQ(keyed.at(3, 1), rgb(0, 0, 1));
    EXPECT_TRUE(keyed.guards_intact());

    // Per-channel weights on 4-byte pixels: the fourth byte stays.
    Picture wide(1, 1, 4, rgb(0, 0, 0));
    wide.bytes(0, 0)[3] = 77;
    Picture white(1, 1, 4, rgb(255, 255, 255));
    translucent_copy(wide.view(), 0, 0, white.view(), 0, 0, 1, 1, {10, 0, 200}, std::nullopt);
    EXPECT_EQ(wide.bytes(0, 0)[0], 25);
    EXPECT_EQ(wide.bytes(0, 0)[1], 0);
    EXPECT_EQ(wide.bytes(0, 0)[2], uint8_t(510));
    EXPECT_EQ(wide.bytes(0, 0)[3], 77);
}
