// JPEG pictures: quality and greyscale when writing, cut-short and lying files when reading.
#include "graphics/JpegFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace ruk;

namespace {

// Smooth colours, so the picture survives compression closely.
Bitmap smooth(int32_t w, int32_t h, int32_t bits = 24)
{
    Bitmap b(w, h, bits);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.set_pixel(x, y, make_colour(uint8_t(40 + x), uint8_t(200 - y), uint8_t(100 + (x + y) / 4)));
    return b;
}

int largest_difference(const Bitmap& a, const Bitmap& b)
{
    int worst = 0;
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t x = 0; x < a.width(); ++x) {
            uint32_t p = a.pixel(x, y), q = b.pixel(x, y);
            for (int shift : {0, 8, 16})
                worst = std::max(worst, std::abs(int((p >> shift) & 255) - int((q >> shift) & 255)));
        }
    return worst;
}

// Where the frame header's height and width lie in an encoded picture.
size_t frame_size_at(const std::vector<uint8_t>& jpeg)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
            return i + 5;
    return 0;
}

} // namespace

TEST(JpegFileTest, RoundTripKeepsSizeAndColours)
{
    for (int bits : {24, 32}) {
        Bitmap picture = smooth(61, 35, bits);
        auto bytes = JpegFile::encode(picture, 95);
        ASSERT_TRUE(bytes);
        PictureLoad back = JpegFile::decode(*bytes);
        ASSERT_TRUE(back.ok()) << picture_error_text(back.error);
        EXPECT_EQ(back.bitmap.width(), 61);
        EXPECT_EQ(back.bitmap.height(), 35);
        EXPECT_EQ(back.bitmap.bytes_per_pixel(), 3);
        EXPECT_LE(largest_difference(back.bitmap, picture), 8);
    }
}

TEST(JpegFileTest, QualityAndGreyscaleChangeWhatIsWritten)
{
    Bitmap picture = smooth(64, 64);
    for (int x = 0; x < 64; x += 3)
        picture.set_pixel(x, x, 0xFFFFFF);
    auto low = JpegFile::encode(picture, 5), high = JpegFile::encode(picture, 100);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size() * 2, high->size());
    EXPECT_EQ(*JpegFile::encode(picture, 255), *high);

    auto grey = JpegFile::encode(picture, 90, true);
    ASSERT_TRUE(grey);
    PictureLoad back = JpegFile::decode(*grey);
    ASSERT_TRUE(back.ok());
    for (int32_t x = 0; x < 64; ++x) {
        uint32_t c = back.bitmap.pixel(x, 10);
        EXPECT_EQ(colour_red(c), colour_green(c));
        EXPECT_EQ(colour_red(c), colour_blue(c));
    }
    EXPECT_FALSE(JpegFile::encode(Bitmap()));
}

TEST(JpegFileTest, RefusesDamagedAndLyingFiles)
{
    std::vector<uint8_t> good = *JpegFile::encode(smooth(40, 30), 80);
    ASSERT_TRUE(JpegFile::decode(good).ok());

    // Cut inside the picture data, after the header and tables.
    std::vector<uint8_t> cut(good.begin(), good.end() - 60);
    EXPECT_EQ(JpegFile::decode(cut).error, PictureError::Truncated);
    EXPECT_EQ(JpegFile::decode(std::vector<uint8_t>(good.begin(), good.begin() + 3)).error,
        PictureError::NotAPicture);
    EXPECT_EQ(JpegFile::decode(std::vector<uint8_t>(64, 0)).error, PictureError::NotAPicture);

    size_t at = frame_size_at(good);
    ASSERT_NE(at, 0u);
    std::vector<uint8_t> huge = good;
    huge[at] = huge[at + 1] = huge[at + 2] = huge[at + 3] = 0xEA; // 60138 x 60138
    EXPECT_EQ(JpegFile::decode(huge).error, PictureError::TooLarge);
    // The caller's own limit is kept too.
    EXPECT_EQ(JpegFile::decode(good, 32).error, PictureError::TooLarge);
    std::vector<uint8_t> taller = good;
    taller[at] = 0;
    taller[at + 1] = 200; // more rows than the data holds
    EXPECT_FALSE(JpegFile::decode(taller).ok());

    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> file = good;
        for (int k = 0; k < 4; ++k)
            file[2 + rng() % (file.size() - 2)] = uint8_t(rng());
        PictureLoad result = JpegFile::decode(file, 512);
        if (result.ok()) {
            ASSERT_LE(result.bitmap.width(), 512);
        }
    }
}
