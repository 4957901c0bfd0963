// Picture copy speed: a 1920x1080 copy at opacity 50, a keyed copy, a 2x stretch copy and a translucent fill, each against memcpy of the same bytes.
#include "bench/BestTime.h"
#include "graphics/Effects.h"
#include "graphics/PixelBuffer.h"
#include "graphics/RasterOps.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using ruk::bench::best_seconds;

constexpr int32_t Width = 1920;
constexpr int32_t Height = 1080;

// Deterministic noise; about a quarter of the pixels are black so that the
// keyed copy has holes to pass over.
void fill_noise(ruk::PixelView view, uint64_t seed)
{
    uint64_t state = seed;
    for (int32_t y = 0; y < view.height; ++y)
        for (int32_t x = 0; x < view.width; ++x) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            uint8_t* p = view.pixel(x, y);
            bool black = (state >> 60) < 4;
            for (int k = 0; k < 3; ++k)
                p[k] = black ? 0 : uint8_t(state >> (8 * k + 8));
        }
}

} // namespace

// Usage: bench_pixels [RUNS]   (best of RUNS timings, default 20)
int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    ruk::PixelBuffer source(Width, Height, 3), target(Width, Height, 3), half(Width / 2, Height / 2, 3);
    ruk::PixelView src = source.view(), dst = target.view(), small = half.view();
    fill_noise(src, 0x9E3779B97F4A7C15ull);
    fill_noise(dst, 0x2545F4914F6CDD1Dull);
    fill_noise(small, 0x5851F42D4C957F2Dull);
    const size_t bytes = size_t(Width) * Height * 3;

    double copy_s = best_seconds(runs, [&] { std::memcpy(dst.data, src.data, bytes); });
    fill_noise(dst, 0x2545F4914F6CDD1Dull);
    double opacity_s = best_seconds(runs, [&] {
        ruk::translucent_copy(dst, 0, 0, src, 0, 0, Width, Height, {50, 50, 50}, std::nullopt);
    });
    double keyed_s = best_seconds(runs, [&] {
        ruk::translucent_copy(dst, 0, 0, src, 0, 0, Width, Height, {100, 100, 100}, ruk::colour_bytes(0));
    });
    ruk::EffectSettings settings;
    ruk::DeformSettings deform;
    double stretch_s = best_seconds(runs, [&] {
        ruk::stretch_copy(dst, {0, 0, Width, Height}, small, {0, 0, Width / 2, Height / 2}, settings, deform);
    });
    double fill_s = best_seconds(runs, [&] { ruk::translucent_fill(dst, 0, 0, Width, Height, 0x3366CC, 50); });

    std::printf("memcpy %zu bytes      %8.3f ms\n", bytes, copy_s * 1e3);
    auto line = [&](const char* name, double s) {
        std::printf("%-22s %8.3f ms   %5.2f x memcpy\n", name, s * 1e3, s / copy_s);
    };
    line("copy at opacity 50", opacity_s);
    line("keyed copy (black)", keyed_s);
    line("2x stretch copy", stretch_s);
    line("translucent fill 50", fill_s);
    bool goal = opacity_s <= 3 * copy_s;
    std::printf("opacity 50 within 3x memcpy: %s\n", goal ? "yes" : "NO");
    return goal ? 0 : 1;
}
