// The engine's own BMP reader and writer, at 1, 4, 8, 15, 16, 24 and 32 bits per pixel.
#pragma once

#include "graphics/PictureIo.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ruk {

// Reading accepts the core (12-byte) and the extended (40 to 124-byte)
// headers; bottom-up and top-down rows; palettes at 1, 4 and 8 bits;
// run-length coded 4- and 8-bit pictures; 16- and 32-bit pictures with
// colour masks. Everything the header declares is checked against the file
// before memory is taken: a palette, mask or pixel area that would lie
// outside the file, a side above the caller's limit or a size that does not
// add up is refused. Run-length data that ends before the last row is
// refused as cut short; codes that draw past a row's end are clipped.
//
// The loaded bitmap has 32 bits per pixel for 32-bit files (the fourth byte
// is the file's alpha or spare byte) and 24 otherwise; its pixel format is
// the file's depth (a 16-bit file with 5-5-5 colours reads as 15).
//
// Writing produces bottom-up files with a 40-byte header: palettes at 1, 4
// and 8 bits (see PackedImage), 5-5-5 colours at 15, 5-6-5 colour masks at
// 16, and the bitmap's fourth byte (or 0) at 32.
class BmpFile {
public:
    static PictureLoad decode(std::span<const uint8_t> bytes, int32_t max_side = Bitmap::MaxSide);
    static PictureLoad load(const std::string& path);

    // `bits` is 1, 4, 8, 15, 16, 24 or 32; 0 writes at the bitmap's own
    // pixel format. nullopt for any other depth.
    static std::optional<std::vector<uint8_t>> encode(const Bitmap& bitmap, int32_t bits = 0);
    static PictureError save(const std::string& path, const Bitmap& bitmap, int32_t bits = 0);
};

} // namespace ruk
