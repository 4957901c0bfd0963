// Packing bitmaps at the seven depths and unpacking them again.
#include "graphics/PackedImage.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

namespace ruk {

namespace {

std::vector<PaletteEntry> make_fixed_palette(int32_t bits)
{
    std::vector<PaletteEntry> palette;
    if (bits == 1) {
        palette = {{0, 0, 0}, {255, 255, 255}};
    } else if (bits == 4) {
        // The sixteen standard colours, given as red, green, blue.
        static const uint8_t rgb[16][3] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128},
            {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
            {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (auto& c : rgb)
            palette.push_back({c[2], c[1], c[0]});
    } else if (bits == 8) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    palette.push_back({uint8_t(b * 51), uint8_t(g * 51), uint8_t(r * 51)});
        // Greys between the cube's own grey levels.
        for (int i = 0; i < 40; ++i) {
            int level = 51 * (i / 8) + 6 * (i % 8 + 1) - 3;
            palette.push_back({uint8_t(level), uint8_t(level), uint8_t(level)});
        }
    }
    return palette;
}

int distance(const PaletteEntry& e, uint8_t b, uint8_t g, uint8_t r)
{
    int db = int(e.blue) - b, dg = int(e.green) - g, dr = int(e.red) - r;
    return db * db + dg * dg + dr * dr;
}

// Finds the palette index for a colour: an exact palette by lookup, the
// fixed palettes by nearest colour.
class IndexFinder {
public:
    IndexFinder(const std::vector<PaletteEntry>& palette, int32_t bits, bool exact)
        : m_palette(palette), m_bits(bits), m_exact(exact)
    {
        if (exact)
            for (size_t i = 0; i < palette.size(); ++i)
                m_exact_index.emplace(key(palette[i].blue, palette[i].green, palette[i].red), uint8_t(i));
    }

    uint8_t operator()(uint8_t b, uint8_t g, uint8_t r)
    {
        uint32_t k = key(b, g, r);
        if (k == m_last_key)
            return m_last_index;
        m_last_key = k;
        if (m_exact) {
            auto it = m_exact_index.find(k);
            m_last_index = it == m_exact_index.end() ? 0 : it->second;
        } else {
            m_last_index = nearest(b, g, r);
        }
        return m_last_index;
    }

private:
    static uint32_t key(uint8_t b, uint8_t g, uint8_t r) { return b | (g << 8) | (uint32_t(r) << 16); }

    uint8_t nearest(uint8_t b, uint8_t g, uint8_t r) const
    {
        if (m_bits == 1)
            return (r * 299 + g * 587 + b * 114) >= 128000 ? 1 : 0;
        if (m_bits == 8) {
            // Rounding each channel finds the nearest entry of the cube; the
            // nearest of the extra greys is the one nearest the mean.
            size_t cube = size_t((r + 25) / 51) * 36 + size_t((g + 25) / 51) * 6 + size_t((b + 25) / 51);
            static const std::array<uint8_t, 256> nearest_grey = [] {
                const std::vector<PaletteEntry>& greys = fixed_palette(8);
                std::array<uint8_t, 256> table {};
                for (int mean = 0; mean < 256; ++mean) {
                    size_t grey = 216;
                    for (size_t i = 217; i < greys.size(); ++i)
                        if (std::abs(greys[i].red - mean) < std::abs(greys[grey].red - mean))
                            grey = i;
                    table[size_t(mean)] = uint8_t(grey);
                }
                return table;
            }();
            size_t grey = nearest_grey[size_t((r + g + b + 1) / 3)];
            return uint8_t(distance(m_palette[grey], b, g, r) < distance(m_palette[cube], b, g, r) ? grey : cube);
        }
        size_t best = 0;
        int best_distance = distance(m_palette[0], b, g, r);
        for (size_t i = 1; i < m_palette.size() && best_distance > 0; ++i) {
            int d = distance(m_palette[i], b, g, r);
            if (d < best_distance) {
                best = i;
                best_distance = d;
            }
        }
        return uint8_t(best);
    }

    const std::vector<PaletteEntry>& m_palette;
    int32_t m_bits;
    bool m_exact;
    std::unordered_map<uint32_t, uint8_t> m_exact_index;
    uint32_t m_last_key = 0xFFFFFFFF;
    uint8_t m_last_index = 0;
};

// The picture's own colours, ascending, when there are at most `limit`.
std::optional<std::vector<PaletteEntry>> own_colours(const Bitmap& bitmap, size_t limit)
{
    std::map<uint32_t, bool> seen;
    for (int32_t y = 0; y < bitmap.height(); ++y) {
        const uint8_t* p = bitmap.row(y);
        uint32_t last = 0xFFFFFFFF;
        for (int32_t x = 0; x < bitmap.width(); ++x, p += bitmap.bytes_per_pixel()) {
            uint32_t c = make_colour(p[2], p[1], p[0]);
            if (c == last)
                continue;
            last = c;
            seen[c] = true;
            if (seen.size() > limit)
                return std::nullopt;
        }
    }
    std::vector<PaletteEntry> palette;
    for (auto& [c, unused] : seen)
        palette.push_back({colour_blue(c), colour_green(c), colour_red(c)});
    if (palette.empty())
        palette.push_back({0, 0, 0});
    return palette;
}

uint8_t widen5(uint32_t v) { return uint8_t((v << 3) | (v >> 2)); }
uint8_t widen6(uint32_t v) { return uint8_t((v << 2) | (v >> 4)); }

} // namespace

const std::vector<PaletteEntry>& fixed_palette(int32_t bits)
{
    static const std::array<std::vector<PaletteEntry>, 3> palettes {
        make_fixed_palette(1), make_fixed_palette(4), make_fixed_palette(8)};
    return palettes[bits == 1 ? 0 : bits == 4 ? 1 : 2];
}

bool PackedImage::is_format(int32_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

std::optional<PackedImage> PackedImage::pack(const Bitmap& bitmap, int32_t bits)
{
    if (!is_format(bits))
        return std::nullopt;
    PackedImage out;
    out.bits = bits;
    out.width = bitmap.width();
    out.height = bitmap.height();
    out.stride = aligned_stride(out.width, bits == 15 ? 16 : bits);
    out.data.assign(size_t(out.stride) * size_t(out.height), 0);
    int32_t source_bytes = bitmap.bytes_per_pixel();

    if (bits <= 8) {
        auto own = own_colours(bitmap, size_t(1) << bits);
        out.palette = own ? *own : fixed_palette(bits);
        IndexFinder find_index(out.palette, bits, own.has_value());
        int per_byte = 8 / bits;
        for (int32_t y = 0; y < out.height; ++y) {
            const uint8_t* p = bitmap.row(y);
            uint8_t* to = out.data.data() + y * out.stride;
            for (int32_t x = 0; x < out.width; ++x, p += source_bytes) {
                uint8_t index = find_index(p[0], p[1], p[2]);
                int shift = 8 - bits * (x % per_byte + 1);
                to[x / per_byte] |= uint8_t(index << shift);
            }
        }
        return out;
    }
    for (int32_t y = 0; y < out.height; ++y) {
        const uint8_t* p = bitmap.row(y);
        uint8_t* to = out.data.data() + y * out.stride;
        if (bits == source_bytes * 8) {
            std::memcpy(to, p, size_t(out.width) * source_bytes);
            continue;
        }
        for (int32_t x = 0; x < out.width; ++x, p += source_bytes) {
            uint8_t b = p[0], g = p[1], r = p[2];
            if (bits == 15 || bits == 16) {
                uint16_t word = bits == 15 ? uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
                                           : uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
                to[x * 2] = uint8_t(word);
                to[x * 2 + 1] = uint8_t(word >> 8);
            } else if (bits == 24) {
                std::memcpy(to + x * 3, p, 3);
            } else {
                std::memcpy(to + x * 4, p, 3);
                to[x * 4 + 3] = source_bytes == 4 ? p[3] : 0;
            }
        }
    }
    return out;
}

std::optional<Bitmap> PackedImage::unpack() const
{
    if (!is_format(bits) || width < 0 || height < 0 || width > Bitmap::MaxSide || height > Bitmap::MaxSide)
        return std::nullopt;
    if (stride < (ptrdiff_t(width) * (bits == 15 ? 16 : bits) + 7) / 8 || data.size() < size_t(stride) * size_t(height))
        return std::nullopt;
    Bitmap out(width, height, bits == 32 ? 32 : 24);
    if (out.width() != width || out.height() != height)
        return std::nullopt;
    int32_t to_bytes = out.bytes_per_pixel();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* from = data.data() + y * stride;
        uint8_t* to = out.row(y);
        for (int32_t x = 0; x < width; ++x, to += to_bytes) {
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                int per_byte = 8 / bits;
                int shift = 8 - bits * (x % per_byte + 1);
                size_t index = (from[x / per_byte] >> shift) & ((1u << bits) - 1);
                PaletteEntry e = index < palette.size() ? palette[index] : PaletteEntry {};
                to[0] = e.blue;
                to[1] = e.green;
                to[2] = e.red;
                break;
            }
            case 15:
            case 16: {
                uint32_t word = from[x * 2] | (from[x * 2 + 1] << 8);
                to[0] = widen5(word & 31);
                if (bits == 15) {
                    to[1] = widen5((word >> 5) & 31);
                    to[2] = widen5((word >> 10) & 31);
                } else {
                    to[1] = widen6((word >> 5) & 63);
                    to[2] = widen5((word >> 11) & 31);
                }
                break;
            }
            case 24:
                std::memcpy(to, from + x * 3, 3);
                break;
            default:
                std::memcpy(to, from + x * 4, 4);
                break;
            }
        }
    }
    out.assume_pixel_format(bits);
    return out;
}

} // namespace ruk
