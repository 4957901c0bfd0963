// Reading and writing BMP files, checking every declared size against the file first.
#include "graphics/BmpFile.h"

#include "graphics/PackedImage.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ruk {

namespace {

constexpr size_t FileHeaderSize = 14;
constexpr uint32_t Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6;

uint16_t u16(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t u32(std::span<const uint8_t> b, size_t at)
{
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

// One colour channel of a masked pixel: where its bits lie and how to widen
// them to 8 bits (by repeating the bit pattern, so 5-bit 31 becomes 255).
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static std::optional<Channel> from_mask(uint32_t mask)
    {
        Channel c;
        c.mask = mask;
        if (mask == 0)
            return c;
        c.shift = std::countr_zero(mask);
        uint32_t m = mask >> c.shift;
        if ((m & (m + 1)) != 0)
            return std::nullopt; // the bits are not in one piece
        c.bits = std::popcount(m);
        return c;
    }

    uint8_t extract(uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return uint8_t(v >> (bits - 8));
        uint32_t wide = 0;
        int filled = 0;
        while (filled < 8) {
            wide = (wide << bits) | v;
            filled += bits;
        }
        return uint8_t(wide >> (filled - 8));
    }
};

struct Header {
    int32_t width = 0;
    int32_t height = 0;
    bool top_down = false;
    int32_t bits = 0;
    uint32_t compression = Rgb;
    size_t pixels_at = 0;
    size_t pixels_end = 0;
    std::vector<PaletteEntry> palette;
    Channel red, green, blue, alpha;
    bool has_alpha = false;
};

// Reads and checks everything before the pixels.
PictureError read_header(std::span<const uint8_t> file, int32_t max_side, Header& h)
{
    if (file.size() < FileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M')
        return PictureError::NotAPicture;
    uint64_t pixels_at = u32(file, 10);
    uint32_t info_size = u32(file, 14);
    bool core = info_size == 12;
    if (!core && (info_size < 40 || info_size > 124))
        return PictureError::Unsupported;
    if (FileHeaderSize + info_size > file.size())
        return PictureError::Truncated;
    int64_t height = 0;
    uint32_t colours_used = 0;
    uint64_t image_size = 0;
    if (core) {
        h.width = u16(file, 18);
        height = u16(file, 20);
        h.bits = u16(file, 24);
    } else {
        h.width = int32_t(u32(file, 18));
        height = int32_t(u32(file, 22));
        h.bits = u16(file, 28);
        h.compression = u32(file, 30);
        image_size = u32(file, 34);
        colours_used = u32(file, 46);
        // The 64-byte variant numbers its own compressions from 3 on.
        if (info_size == 64 && h.compression >= 3)
            return PictureError::Unsupported;
    }
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return PictureError::Unsupported;
    switch (h.compression) {
    case Rgb: break;
    case Rle8: if (h.bits != 8) return PictureError::BadHeader; break;
    case Rle4: if (h.bits != 4) return PictureError::BadHeader; break;
    case BitFields:
    case AlphaBitFields: if (h.bits != 16 && h.bits != 32) return PictureError::BadHeader; break;
    default: return PictureError::Unsupported;
    }
    h.top_down = height < 0;
    height = height < 0 ? -height : height;
    if (h.width < 0)
        return PictureError::BadHeader;
    if (h.top_down && (h.compression == Rle8 || h.compression == Rle4))
        return PictureError::BadHeader;
    if (h.width > max_side || height > max_side)
        return PictureError::TooLarge;
    h.height = int32_t(height);

    size_t after_info = FileHeaderSize + info_size;
    uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
    if (h.compression == BitFields || h.compression == AlphaBitFields) {
        // The masks follow a 40-byte header, or are part of a longer one.
        size_t mask_count = h.compression == AlphaBitFields ? 4 : 3;
        size_t masks_at = FileHeaderSize + 40;
        if (info_size == 40) {
            if (after_info + 4 * mask_count > file.size())
                return PictureError::Truncated;
            after_info += 4 * mask_count;
        } else if (info_size < 52) {
            return PictureError::BadHeader;
        } else if (info_size >= 56) {
            mask_count = 4;
        } else {
            mask_count = 3;
        }
        for (size_t i = 0; i < mask_count; ++i)
            masks[i] = u32(file, masks_at + 4 * i);
    }
    auto r = Channel::from_mask(masks[0]), g = Channel::from_mask(masks[1]);
    auto b = Channel::from_mask(masks[2]), a = Channel::from_mask(masks[3]);
    if (!r || !g || !b || !a)
        return PictureError::BadHeader;
    h.red = *r, h.green = *g, h.blue = *b, h.alpha = *a;
    h.has_alpha = masks[3] != 0;

    if (h.bits <= 8) {
        size_t entry = core ? 3 : 4;
        uint64_t count = colours_used == 0 ? (1u << h.bits) : colours_used;
        uint64_t read = std::min<uint64_t>(count, 1u << h.bits);
        if (after_info + count * entry > file.size() || after_info + count * entry > pixels_at)
            return PictureError::BadHeader;
        for (size_t i = 0; i < read; ++i) {
            const uint8_t* p = file.data() + after_info + i * entry;
            h.palette.push_back({p[0], p[1], p[2]});
        }
        after_info += size_t(count * entry);
        h.palette.resize(256);
    }
    if (pixels_at < after_info || pixels_at > file.size())
        return PictureError::BadHeader;
    h.pixels_at = size_t(pixels_at);
    if (h.compression == Rle8 || h.compression == Rle4) {
        uint64_t end = image_size == 0 ? file.size() : pixels_at + image_size;
        if (end > file.size())
            return PictureError::Truncated;
        h.pixels_end = size_t(end);
    } else {
        uint64_t needed = uint64_t(aligned_stride(h.width, h.bits)) * uint64_t(h.height);
        if (pixels_at + needed > file.size())
            return PictureError::Truncated;
        h.pixels_end = size_t(pixels_at + needed);
    }
    return PictureError::None;
}

void put_index(Bitmap& out, const Header& h, int32_t x, int32_t y, uint32_t index)
{
    // The palette always has 256 entries by now; missing ones are black.
    const PaletteEntry& e = h.palette[index & 255];
    uint8_t* p = out.row(y) + x * out.bytes_per_pixel();
    p[0] = e.blue;
    p[1] = e.green;
    p[2] = e.red;
}

// Rows of uncompressed pixels, in the file's row order.
void decode_rows(std::span<const uint8_t> file, const Header& h, Bitmap& out)
{
    ptrdiff_t stride = aligned_stride(h.width, h.bits);
    int32_t bpp = out.bytes_per_pixel();
    for (int32_t y = 0; y < h.height; ++y) {
        const uint8_t* from = file.data() + h.pixels_at + (h.top_down ? y : h.height - 1 - y) * stride;
        uint8_t* to = out.row(y);
        if (h.bits <= 8) {
            int per_byte = 8 / h.bits;
            for (int32_t x = 0; x < h.width; ++x) {
                int shift = 8 - h.bits * (x % per_byte + 1);
                put_index(out, h, x, y, (from[x / per_byte] >> shift) & ((1u << h.bits) - 1));
            }
        } else if (h.bits == 24) {
            std::memcpy(to, from, size_t(h.width) * 3);
        } else if (h.bits == 32 && h.compression == Rgb) {
            std::memcpy(to, from, size_t(h.width) * 4);
        } else {
            int size = h.bits / 8;
            for (int32_t x = 0; x < h.width; ++x, to += bpp) {
                uint32_t v = size == 2 ? u16(file, from - file.data() + x * 2) : u32(file, from - file.data() + x * 4);
                to[0] = h.blue.extract(v);
                to[1] = h.green.extract(v);
                to[2] = h.red.extract(v);
                if (bpp == 4)
                    to[3] = h.has_alpha ? h.alpha.extract(v) : 0;
            }
        }
    }
}

// Run-length codes of 8- or 4-bit pictures, bottom row first. Pixels that
// no code reaches stay black.
PictureError decode_runs(std::span<const uint8_t> file, const Header& h, Bitmap& out)
{
    const uint8_t* d = file.data() + h.pixels_at;
    size_t n = h.pixels_end - h.pixels_at, i = 0;
    bool four = h.bits == 4;
    int64_t x = 0, line = 0;
    auto put = [&](uint32_t index) {
        if (x < h.width && line < h.height)
            put_index(out, h, int32_t(x), int32_t(h.height - 1 - line), index);
        ++x;
    };
    while (line < h.height) {
        if (i + 2 > n)
            return PictureError::Truncated;
        uint8_t count = d[i], value = d[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < h.width; ++k)
                put(four ? (k % 2 == 0 ? value >> 4 : value & 15) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++line;
        } else if (value == 1) {
            return PictureError::None;
        } else if (value == 2) {
            if (i + 2 > n)
                return PictureError::Truncated;
            x = std::min<int64_t>(x + d[i], h.width);
            line += d[i + 1];
            i += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > n)
                return PictureError::Truncated;
            for (int k = 0; k < value; ++k) {
                uint8_t byte = d[i + (four ? k / 2 : k)];
                if (x < h.width)
                    put(four ? (k % 2 == 0 ? byte >> 4 : byte & 15) : byte);
            }
            i += bytes + (bytes & 1);
        }
    }
    return PictureError::None;
}

} // namespace

PictureLoad BmpFile::decode(std::span<const uint8_t> bytes, int32_t max_side)
{
    PictureLoad result;
    Header h;
    result.error = read_header(bytes, std::min(max_side, Bitmap::MaxSide), h);
    if (!result.ok())
        return result;
    Bitmap out(h.width, h.height, h.bits == 32 ? 32 : 24);
    if (out.width() != h.width || out.height() != h.height) {
        result.error = PictureError::OutOfMemory;
        return result;
    }
    if (h.compression == Rle8 || h.compression == Rle4)
        result.error = decode_runs(bytes, h, out);
    else
        decode_rows(bytes, h, out);
    if (!result.ok())
        return result;
    int32_t format = h.bits;
    if (h.bits == 16)
        format = h.red.mask == 0x7C00 && h.green.mask == 0x03E0 && h.blue.mask == 0x001F ? 15 : 16;
    out.assume_pixel_format(format);
    result.bitmap = std::move(out);
    return result;
}

PictureLoad BmpFile::load(const std::string& path)
{
    return load_picture_file(path, &BmpFile::decode);
}

std::optional<std::vector<uint8_t>> BmpFile::encode(const Bitmap& bitmap, int32_t bits)
{
    if (bits == 0)
        bits = bitmap.pixel_format();
    auto packed = PackedImage::pack(bitmap, bits);
    if (!packed)
        return std::nullopt;
    int32_t file_bits = bits == 15 ? 16 : bits;
    size_t masks = bits == 16 ? 12 : 0;
    size_t palette = packed->palette.size() * 4;
    size_t pixels_at = FileHeaderSize + 40 + masks + palette;
    size_t image = size_t(packed->stride) * size_t(packed->height);
    std::vector<uint8_t> out;
    out.reserve(pixels_at + image);
    out.push_back('B');
    out.push_back('M');
    put32(out, uint32_t(pixels_at + image));
    put32(out, 0);
    put32(out, uint32_t(pixels_at));
    put32(out, 40);
    put32(out, uint32_t(packed->width));
    put32(out, uint32_t(packed->height));
    put16(out, 1);
    put16(out, uint16_t(file_bits));
    put32(out, bits == 16 ? BitFields : Rgb);
    put32(out, uint32_t(image));
    put32(out, 2835); // 72 pixels per inch
    put32(out, 2835);
    put32(out, uint32_t(packed->palette.size()));
    put32(out, 0);
    if (bits == 16) {
        put32(out, 0xF800);
        put32(out, 0x07E0);
        put32(out, 0x001F);
    }
    for (const PaletteEntry& e : packed->palette) {
        out.push_back(e.blue);
        out.push_back(e.green);
        out.push_back(e.red);
        out.push_back(0);
    }
    for (int32_t y = packed->height - 1; y >= 0; --y) {
        const uint8_t* row = packed->data.data() + y * packed->stride;
        out.insert(out.end(), row, row + packed->stride);
    }
    return out;
}

PictureError BmpFile::save(const std::string& path, const Bitmap& bitmap, int32_t bits)
{
    auto bytes = encode(bitmap, bits);
    if (!bytes)
        return PictureError::Unsupported;
    return replace_file(path, *bytes);
}

} // namespace ruk
