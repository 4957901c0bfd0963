// JPEG decoding and encoding with the TurboJPEG interface of libjpeg-turbo.
#include "graphics/JpegFile.h"

#include <turbojpeg.h>

#include <algorithm>
#include <memory>

namespace ruk {

namespace {

struct HandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// Stop at the first warning (damaged or missing data) and bound the number
// of progressive scans, so a hostile file can neither pass as a picture nor
// keep the decoder busy for minutes.
constexpr int DecodeFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS | TJFLAG_ACCURATEDCT;

} // namespace

PictureLoad JpegFile::decode(std::span<const uint8_t> bytes, int32_t max_side)
{
    PictureLoad result;
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        result.error = PictureError::NotAPicture;
        return result;
    }
    Handle handle(tjInitDecompress());
    if (!handle) {
        result.error = PictureError::OutOfMemory;
        return result;
    }
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* data = const_cast<unsigned char*>(bytes.data());
    auto size = static_cast<unsigned long>(bytes.size());
    if (tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling, &colourspace) != 0) {
        result.error = PictureError::NotAPicture;
        return result;
    }
    if (width <= 0 || height <= 0) {
        result.error = PictureError::BadHeader;
        return result;
    }
    if (width > std::min(max_side, Bitmap::MaxSide) || height > std::min(max_side, Bitmap::MaxSide)) {
        result.error = PictureError::TooLarge;
        return result;
    }
    Bitmap out(width, height, 24);
    if (out.width() != width || out.height() != height) {
        result.error = PictureError::OutOfMemory;
        return result;
    }
    if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK) {
        // The library gives CMYK as it is stored; the common writers store
        // it inverted, so each channel is the amount of light let through.
        Bitmap cmyk(width, height, 32);
        if (cmyk.width() != width
            || tjDecompress2(handle.get(), data, size, cmyk.row(0), width, int(cmyk.stride()), height, TJPF_CMYK,
                   DecodeFlags)
                != 0) {
            result.error = cmyk.width() != width ? PictureError::OutOfMemory : PictureError::Truncated;
            return result;
        }
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* from = cmyk.row(y);
            uint8_t* to = out.row(y);
            for (int32_t x = 0; x < width; ++x, from += 4, to += 3) {
                unsigned k = from[3];
                to[0] = uint8_t((from[2] * k + 127) / 255);
                to[1] = uint8_t((from[1] * k + 127) / 255);
                to[2] = uint8_t((from[0] * k + 127) / 255);
            }
        }
    } else if (tjDecompress2(handle.get(), data, size, out.row(0), width, int(out.stride()), height, TJPF_BGR,
                   DecodeFlags)
        != 0) {
        result.error = PictureError::Truncated;
        return result;
    }
    result.bitmap = std::move(out);
    return result;
}

PictureLoad JpegFile::load(const std::string& path)
{
    return load_picture_file(path, &JpegFile::decode);
}

std::optional<std::vector<uint8_t>> JpegFile::encode(const Bitmap& bitmap, int quality, bool greyscale)
{
    if (bitmap.empty())
        return std::nullopt;
    Handle handle(tjInitCompress());
    if (!handle)
        return std::nullopt;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    int format = bitmap.bytes_per_pixel() == 4 ? TJPF_BGRX : TJPF_BGR;
    int status = tjCompress2(handle.get(), bitmap.row(0), bitmap.width(), int(bitmap.stride()), bitmap.height(),
        format, &buffer, &size, greyscale ? TJSAMP_GRAY : TJSAMP_420, std::clamp(quality, 1, 100),
        TJFLAG_ACCURATEDCT);
    std::unique_ptr<unsigned char, BufferFree> owned(buffer);
    if (status != 0 || !buffer)
        return std::nullopt;
    return std::vector<uint8_t>(buffer, buffer + size);
}

PictureError JpegFile::save(const std::string& path, const Bitmap& bitmap, int quality, bool greyscale)
{
    auto bytes = encode(bitmap, quality, greyscale);
    if (!bytes)
        return PictureError::CannotWrite;
    return replace_file(path, *bytes);
}

} // namespace ruk
