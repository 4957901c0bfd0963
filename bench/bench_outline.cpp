// Outline from a 1920x1080 picture: runs of opaque pixels and the region spans, in milliseconds; picture file speeds beside.
#include "bench/BestTime.h"
#include "graphics/BmpFile.h"
#include "graphics/JpegFile.h"
#include "graphics/Outline.h"

#include <chrono>
#include <cstdio>
#include <functional>

using namespace ruk;

namespace {

constexpr int32_t Width = 1920, Height = 1080;

// Best of several runs, in milliseconds.
double time_ms(const std::function<void()>& work, int runs = 15)
{
    return ruk::bench::best_seconds(runs, work) * 1000.0;
}

// A round picture on a magenta key, with a ring cut out: two runs on the
// rows through the ring, one elsewhere, about 1,500 in all.
Bitmap round_picture()
{
    Bitmap b(Width, Height);
    const uint32_t key = make_colour(255, 0, 255);
    for (int32_t y = 0; y < Height; ++y) {
        for (int32_t x = 0; x < Width; ++x) {
            int64_t dx = x - Width / 2, dy = y - Height / 2, d = dx * dx + dy * dy;
            bool opaque = d < 520 * 520 && !(d > 200 * 200 && d < 230 * 230);
            b.set_pixel(x, y, opaque ? make_colour(uint8_t(x), uint8_t(y), 90) : key);
        }
    }
    return b;
}

// Every other pixel opaque: the limit of 5,000 runs is reached in the
// third row.
Bitmap stripes()
{
    Bitmap b(Width, Height);
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; x += 2)
            b.set_pixel(x, y, 0xFFFFFF);
    return b;
}

} // namespace

int main()
{
    Bitmap round = round_picture();
    Bitmap striped = stripes();
    Outline outline;
    double runs = time_ms([&] { outline = Outline::from_pixels(round.view(), 0, 0, Width, Height, 0, 0, -1); });
    std::vector<OutlineRect> spans;
    double region = time_ms([&] { spans = outline.spans(); });
    std::printf("outline 1920x1080 round picture: runs %.2f ms (%zu polygons), spans %.2f ms (%zu rectangles), "
                "total %.2f ms\n",
        runs, outline.polygon_count(), region, spans.size(), runs + region);
    Outline full;
    double limited = time_ms([&] { full = Outline::from_pixels(striped.view(), 0, 0, Width, Height, 0, 0, 0); });
    double limited_spans = time_ms([&] { spans = full.spans(); });
    std::printf("outline 1920x1080 stripes (limit reached): runs %.2f ms (%zu polygons), spans %.2f ms\n", limited,
        full.polygon_count(), limited_spans);
    Bitmap plain(Width, Height);
    plain.fill(0xFFFFFF);
    double empty_scan = time_ms([&] { full = Outline::from_pixels(plain.view(), 0, 0, Width, Height, 0, 0, -1); });
    std::printf("outline 1920x1080 all key colour: scan %.2f ms\n", empty_scan);

    std::vector<uint8_t> bmp = *BmpFile::encode(round, 24), bmp8 = *BmpFile::encode(round, 8);
    std::vector<uint8_t> jpeg = *JpegFile::encode(round, 80);
    std::printf("1920x1080 files: bmp24 read %.2f ms, write %.2f ms; bmp8 read %.2f ms, write %.2f ms; "
                "jpeg read %.2f ms, write %.2f ms\n",
        time_ms([&] { BmpFile::decode(bmp); }, 5), time_ms([&] { BmpFile::encode(round, 24); }, 5),
        time_ms([&] { BmpFile::decode(bmp8); }, 5), time_ms([&] { BmpFile::encode(round, 8); }, 5),
        time_ms([&] { JpegFile::decode(jpeg); }, 5), time_ms([&] { JpegFile::encode(round, 80); }, 5));
    return 0;
}
