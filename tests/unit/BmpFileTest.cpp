// BMP files: round trips at every depth, hand-made files of every layout, and lying or damaged ones.
#include "graphics/BmpFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

Bitmap gradient(int32_t w, int32_t h)
{
    Bitmap b(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.set_pixel(x, y, make_colour(uint8_t(x * 9), uint8_t(y * 13), uint8_t(x ^ y)));
    return b;
}

void put(std::vector<uint8_t>& out, size_t at, uint32_t v, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i)
        out[at + i] = uint8_t(v >> (8 * i));
}

// A file put together field by field, so each test can make one field lie.
struct Craft {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t info_size = 40;
    uint32_t colours_used = 0;
    uint32_t image_size = 0;
    std::vector<uint8_t> header_tail; // bytes 40.. of a longer header
    std::vector<uint8_t> after_header; // masks, palette
    std::vector<uint8_t> pixels;
    int64_t offset = -1; // -1: right after the palette

    std::vector<uint8_t> build() const
    {
        std::vector<uint8_t> f(14 + info_size, 0);
        f[0] = 'B';
        f[1] = 'M';
        put(f, 14, info_size);
        put(f, 18, uint32_t(width));
        put(f, 22, uint32_t(height));
        put(f, 26, 1, 2);
        put(f, 28, bits, 2);
        put(f, 30, compression);
        put(f, 34, image_size);
        put(f, 46, colours_used);
        std::copy(header_tail.begin(), header_tail.end(), f.begin() + 54);
        f.insert(f.end(), after_header.begin(), after_header.end());
        put(f, 10, offset < 0 ? uint32_t(f.size()) : uint32_t(offset));
        f.insert(f.end(), pixels.begin(), pixels.end());
        put(f, 2, uint32_t(f.size()));
        return f;
    }
};

// Four palette entries: black, red, green, blue.
std::vector<uint8_t> four_colours() { return {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}; }
constexpr uint32_t Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

void expect_rows(const Bitmap& b, const std::vector<std::vector<uint32_t>>& rows)
{
    ASSERT_EQ(b.height(), int32_t(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y) {
        ASSERT_EQ(b.width(), int32_t(rows[y].size()));
        for (size_t x = 0; x < rows[y].size(); ++x)
            EXPECT_EQ(b.pixel(int32_t(x), int32_t(y)), rows[y][x]) << x << "," << y;
    }
}

} // namespace

TEST(BmpFileTest, RoundTripsAtEveryDepth)
{
    // A many-coloured picture comes back as its own reduction to the depth;
    // one of few colours comes back unchanged at every depth.
    Bitmap few(13, 7);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 13; ++x)
            few.set_pixel(x, y, (x * y) % 2 ? 0xFFFFFFu : 0x000000u);
    for (const Bitmap& picture : {gradient(13, 7), few}) {
        for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
            auto bytes = BmpFile::encode(picture, bits);
            ASSERT_TRUE(bytes);
            PictureLoad back = BmpFile::decode(*bytes);
            ASSERT_TRUE(back.ok()) << bits << ": " << picture_error_text(back.error);
            EXPECT_EQ(back.bitmap.pixel_format(), bits);
            Bitmap expected = picture;
            expected.set_pixel_format(bits);
            EXPECT_TRUE(back.bitmap == expected) << bits;
        }
    }
    EXPECT_FALSE(BmpFile::encode(few, 2));
    // Without a depth the bitmap's own format is written.
    Bitmap eight = few;
    eight.set_pixel_format(8);
    EXPECT_EQ(BmpFile::decode(*BmpFile::encode(eight)).bitmap.pixel_format(), 8);
}

TEST(BmpFileTest, ReadsTopDownRowsAndCoreHeaders)
{
    Bitmap picture = gradient(5, 3);
    std::vector<uint8_t> file = *BmpFile::encode(picture, 24);
    size_t at = file[10], stride = 16;
    std::vector<uint8_t> flipped(file.begin(), file.begin() + at);
    for (int y = 2; y >= 0; --y)
        flipped.insert(flipped.end(), file.begin() + at + y * stride, file.begin() + at + (y + 1) * stride);
    put(flipped, 22, uint32_t(-3));
    PictureLoad top_down = BmpFile::decode(flipped);
    ASSERT_TRUE(top_down.ok());
    EXPECT_TRUE(top_down.bitmap == picture);

    // A 12-byte header with three-byte palette entries.
    std::vector<uint8_t> core {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0, 12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 1, 0,
        0, 0, 0, 10, 20, 30, 0b10100000, 0, 0, 0};
    PictureLoad loaded = BmpFile::decode(core);
    ASSERT_TRUE(loaded.ok()) << picture_error_text(loaded.error);
    expect_rows(loaded.bitmap, {{make_colour(30, 20, 10), 0, make_colour(30, 20, 10)}});
    EXPECT_EQ(loaded.bitmap.pixel_format(), 1);
}

TEST(BmpFileTest, ReadsRunLengthCodes)
{
    Craft rle8;
    rle8.width = 4;
    rle8.height = 3;
    rle8.bits = 8;
    rle8.compression = 1;
    rle8.colours_used = 4;
    rle8.after_header = four_colours();
    // Bottom row: a run; middle: an absolute stretch (padded); top: a
    // delta, a run, the end.
    rle8.pixels = {3, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 0, 2, 3, 0, 1};
    PictureLoad loaded = BmpFile::decode(rle8.build());
    ASSERT_TRUE(loaded.ok()) << picture_error_text(loaded.error);
    expect_rows(loaded.bitmap, {{0, Blue, Blue, 0}, {Green, Blue, Red, 0}, {Red, Red, Red, 0}});

    Craft rle4 = rle8;
    rle4.width = 5;
    rle4.height = 2;
    rle4.bits = 4;
    rle4.compression = 2;
    // A run of alternating 1, 2 (and one that runs past the row's end,
    // clipped), then an absolute stretch 3 0 1 and a run of 2, 0.
    rle4.pixels = {5, 0x12, 9, 0x33, 0, 0, 0, 3, 0x30, 0x10, 2, 0x20, 0, 1};
    loaded = BmpFile::decode(rle4.build());
    ASSERT_TRUE(loaded.ok()) << picture_error_text(loaded.error);
    expect_rows(loaded.bitmap, {{Blue, 0, Red, Green, 0}, {Red, Green, Red, Green, Red}});

    // Codes that stop before the last row are refused.
    Craft cut = rle8;
    cut.pixels = {3, 1, 0, 0, 4, 2};
    EXPECT_EQ(BmpFile::decode(cut.build()).error, PictureError::Truncated);
    Craft absolute_cut = rle8;
    absolute_cut.pixels = {0, 200, 1, 2};
    EXPECT_EQ(BmpFile::decode(absolute_cut.build()).error, PictureError::Truncated);
}

TEST(BmpFileTest, ReadsColourMasks)
{
    Craft rgbx;
    rgbx.width = 2;
    rgbx.bits = 32;
    rgbx.compression = 3;
    rgbx.after_header = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0};
    rgbx.pixels = {10, 20, 30, 99, 40, 50, 60, 99};
    PictureLoad loaded = BmpFile::decode(rgbx.build());
    ASSERT_TRUE(loaded.ok());
    expect_rows(loaded.bitmap, {{make_colour(10, 20, 30), make_colour(40, 50, 60)}});
    EXPECT_EQ(loaded.bitmap.bytes_per_pixel(), 4);

    // A long header carrying 4-4-4-4 masks inside it.
    Craft v5;
    v5.info_size = 124;
    v5.bits = 16;
    v5.compression = 3;
    v5.header_tail = {0x00, 0x0F, 0, 0, 0xF0, 0, 0, 0, 0x0F, 0, 0, 0, 0, 0xF0, 0, 0};
    v5.pixels = {0xA5, 0xF1, 0, 0};
    loaded = BmpFile::decode(v5.build());
    ASSERT_TRUE(loaded.ok());
    expect_rows(loaded.bitmap, {{make_colour(0x11, 0xAA, 0x55)}});

    Craft scattered = rgbx;
    scattered.after_header[0] = 0x0F;
    scattered.after_header[1] = 0x0F;
    EXPECT_EQ(BmpFile::decode(scattered.build()).error, PictureError::BadHeader);
}

TEST(BmpFileTest, RefusesHeadersThatLie)
{
    Craft good;
    good.width = 3;
    good.height = 2;
    good.pixels.assign(24, 7);
    ASSERT_TRUE(BmpFile::decode(good.build()).ok());

    auto error_of = [](const Craft& c) { return BmpFile::decode(c.build()).error; };
    Craft c = good;
    c.offset = 5000;
    EXPECT_EQ(error_of(c), PictureError::BadHeader);
    c = good;
    c.offset = 20; // inside the header
    EXPECT_EQ(error_of(c), PictureError::BadHeader);
    c = good;
    c.height = 3; // one row more than the file holds
    EXPECT_EQ(error_of(c), PictureError::Truncated);
    c = good;
    c.width = 16000;
    c.height = -16000; // would take 768 MB; the file has 24 bytes
    EXPECT_EQ(error_of(c), PictureError::Truncated);
    c.width = Bitmap::MaxSide + 1;
    EXPECT_EQ(error_of(c), PictureError::TooLarge);
    c = good;
    c.width = -3;
    EXPECT_EQ(error_of(c), PictureError::BadHeader);
    c = good;
    c.bits = 8;
    c.colours_used = 0x7FFFFFFF;
    EXPECT_EQ(error_of(c), PictureError::BadHeader);
    c = good;
    c.compression = 4;
    EXPECT_EQ(error_of(c), PictureError::Unsupported);
    c = good;
    c.compression = 1; // run-length codes at 24 bits
    EXPECT_EQ(error_of(c), PictureError::BadHeader);
    c = good;
    c.info_size = 4000;
    std::vector<uint8_t> long_header = c.build();
    long_header.resize(60);
    EXPECT_EQ(BmpFile::decode(long_header).error, PictureError::Unsupported);
    c = good;
    c.bits = 8;
    c.compression = 1;
    c.height = -2;
    EXPECT_EQ(error_of(c), PictureError::BadHeader);
    c.height = 2;
    c.colours_used = 1;
    c.after_header = {0, 0, 0, 0};
    c.image_size = 1000;
    EXPECT_EQ(error_of(c), PictureError::Truncated);
    EXPECT_EQ(BmpFile::decode(std::vector<uint8_t> {'B', 'M', 1}).error, PictureError::NotAPicture);
    EXPECT_EQ(BmpFile::decode(std::vector<uint8_t>(100, 'X')).error, PictureError::NotAPicture);
}

TEST(BmpFileTest, DamagedFilesNeverCrash)
{
    Craft rle;
    rle.width = 4;
    rle.height = 3;
    rle.bits = 8;
    rle.compression = 1;
    rle.after_header = four_colours();
    rle.colours_used = 4;
    rle.pixels = {3, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 0, 2, 3, 0, 1};
    std::vector<std::vector<uint8_t>> seeds {rle.build(), *BmpFile::encode(gradient(7, 5), 4),
        *BmpFile::encode(gradient(7, 5), 16), *BmpFile::encode(gradient(3, 9), 1)};
    std::mt19937 rng(1234);
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> file = seeds[round % seeds.size()];
        for (int k = 0; k < 1 + int(rng() % 4); ++k) {
            if (file.empty())
                break;
            if (rng() % 8 == 0)
                file.resize(rng() % file.size());
            else if (!file.empty())
                file[rng() % file.size()] = uint8_t(rng());
        }
        PictureLoad result = BmpFile::decode(file, 256);
        if (result.ok()) {
            ++loaded;
            ASSERT_LE(result.bitmap.width(), 256);
            ASSERT_LE(result.bitmap.height(), 256);
        }
    }
    EXPECT_GT(loaded, 0);
}

TEST(BmpFileTest, SaveReplacesTheFileWhole)
{
    fs::path dir = fs::temp_directory_path() / ("ruk_bmp_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string path = (dir / "picture.bmp").string();
    std::ofstream(path) << "old contents";
    Bitmap picture = gradient(6, 6);
    ASSERT_EQ(BmpFile::save(path, picture, 24), PictureError::None);
    PictureLoad back = BmpFile::load(path);
    ASSERT_TRUE(back.ok());
    EXPECT_TRUE(back.bitmap == picture);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_EQ(BmpFile::save((dir / "missing" / "x.bmp").string(), picture), PictureError::CannotWrite);
    EXPECT_EQ(BmpFile::load((dir / "none.bmp").string()).error, PictureError::NotFound);
    EXPECT_EQ(BmpFile::load(dir.string()).error, PictureError::CannotRead);
    // A pipe without a writer is refused at once instead of holding the load.
    ASSERT_EQ(::mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(BmpFile::load((dir / "pipe.bmp").string()).error, PictureError::CannotRead);
    fs::remove_all(dir);
}
