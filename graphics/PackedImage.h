// Pixels packed at 1, 4, 8, 15, 16, 24 or 32 bits, with a palette where needed, and the way to and from a Bitmap.
#pragma once

#include "graphics/Bitmap.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ruk {

struct PaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    bool operator==(const PaletteEntry&) const = default;
};

// Rows are top row first, each `stride` bytes (a multiple of 4). Layouts:
// 1, 4 and 8 bits are palette indices, the leftmost pixel in the high bits of
// a byte; 15 bits are little-endian 16-bit words x-red5-green5-blue5; 16 bits
// are red5-green6-blue5; 24 bits blue, green, red; 32 bits blue, green, red
// and a fourth byte.
//
// Palettes when packing to 1, 4 or 8 bits: a picture with no more distinct
// colours than the depth can index gets exactly its own colours (ascending
// colour values), so it comes back unchanged. Otherwise the engine's fixed
// palette for the depth is used with the nearest colour: black and white
// (by brightness) at 1 bit, the sixteen standard colours at 4 bits, and a
// 6x6x6 colour cube followed by forty greys at 8 bits.
struct PackedImage {
    int32_t bits = 24;
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t stride = 0;
    std::vector<PaletteEntry> palette;
    std::vector<uint8_t> data;

    static bool is_format(int32_t bits);

    // Packs the bitmap at `bits`; nullopt for a depth that is not one of the
    // seven above.
    static std::optional<PackedImage> pack(const Bitmap& bitmap, int32_t bits);

    // Unpacks into a bitmap of 32 bits per pixel when `bits` is 32, else 24,
    // whose pixel format is `bits`. Indices the palette lacks give black.
    // nullopt when the rows are shorter than width and height need, or the
    // size is refused.
    std::optional<Bitmap> unpack() const;
};

// The fixed palettes described above.
const std::vector<PaletteEntry>& fixed_palette(int32_t bits);

} // namespace ruk
