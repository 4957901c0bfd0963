// JPEG pictures in and out of bitmaps, through libjpeg-turbo.
#pragma once

#include "graphics/PictureIo.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ruk {

// Decoding refuses a picture whose declared size passes the limit before any
// pixel memory is taken, and refuses damaged or cut-short data instead of
// showing a half-decoded picture. Colour, greyscale and CMYK pictures all
// load as 24-bit bitmaps.
//
// Encoding takes a quality from 1 (smallest file) to 100 (best picture);
// values outside are clamped. The greyscale option writes a one-channel
// picture of the bitmap's brightness.
class JpegFile {
public:
    static constexpr int DefaultQuality = 80;

    static PictureLoad decode(std::span<const uint8_t> bytes, int32_t max_side = Bitmap::MaxSide);
    static PictureLoad load(const std::string& path);

    // nullopt when the encoder fails (an empty bitmap, or out of memory).
    static std::optional<std::vector<uint8_t>> encode(const Bitmap& bitmap, int quality = DefaultQuality,
        bool greyscale = false);
    static PictureError save(const std::string& path, const Bitmap& bitmap, int quality = DefaultQuality,
        bool greyscale = false);
};

} // namespace ruk
