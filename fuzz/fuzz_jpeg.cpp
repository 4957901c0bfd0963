// Fuzz target: the JPEG reader on arbitrary files, and re-encoding whatever it accepts.
#include "graphics/JpegFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ruk::PictureLoad loaded = ruk::JpegFile::decode(std::span(data, size), 1024);
    if (!loaded.ok())
        return 0;
    const ruk::Bitmap& b = loaded.bitmap;
    if (b.width() > 1024 || b.height() > 1024 || b.bytes_per_pixel() != 3)
        std::abort();
    auto bytes = ruk::JpegFile::encode(b, 50);
    if (!bytes)
        std::abort();
    ruk::PictureLoad back = ruk::JpegFile::decode(*bytes);
    if (!back.ok() || back.bitmap.width() != b.width() || back.bitmap.height() != b.height())
        std::abort();
    return 0;
}
