// Fuzz target: the BMP reader on arbitrary files, and write-read round trips of whatever it accepts.
#include "graphics/BmpFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A small side limit keeps each run fast; the checks are the same.
    ruk::PictureLoad loaded = ruk::BmpFile::decode(std::span(data, size), 1024);
    if (!loaded.ok())
        return 0;
    const ruk::Bitmap& b = loaded.bitmap;
    if (b.width() > 1024 || b.height() > 1024)
        std::abort();
    // What was read is written at its own depth and reads back the same.
    auto bytes = ruk::BmpFile::encode(b);
    if (!bytes)
        std::abort();
    ruk::PictureLoad back = ruk::BmpFile::decode(*bytes);
    if (!back.ok() || back.bitmap.width() != b.width() || back.bitmap.height() != b.height())
        std::abort();
    return 0;
}
