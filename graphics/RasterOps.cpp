// Plain copies of pixel rectangles: the raster operations of "copymode", the copy with opacity and the colour-keyed copy.
#include "graphics/RasterOps.h"

#include "graphics/PixelBuffer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ruk {

namespace {

struct NamedOp {
    std::string_view name;
    RasterOp op;
};

constexpr NamedOp named_ops[] = {
    {"dstinvert", RasterOp::DstInvert}, {"mergecopy", RasterOp::MergeCopy}, {"mergepaint", RasterOp::MergePaint},
    {"notsrccopy", RasterOp::NotSrcCopy}, {"notsrcerase", RasterOp::NotSrcErase}, {"patcopy", RasterOp::PatCopy},
    {"patinvert", RasterOp::PatInvert}, {"srcand", RasterOp::SrcAnd}, {"srccopy", RasterOp::SrcCopy},
    {"srcerase", RasterOp::SrcErase}, {"srcinvert", RasterOp::SrcInvert},
};

// A copy rectangle after clipping: where it reads, where it writes, how big.
struct Clipped {
    int32_t dx, dy, sx, sy, w, h;
    bool empty() const { return w <= 0 || h <= 0; }
};

// Cuts the rectangle so that it lies inside the destination and, when
// `src` is given, inside the source too. Works in 64 bits so that huge
// script values cannot wrap.
Clipped clip_copy(const PixelView& dst, int64_t dx, int64_t dy, const PixelView* src, int64_t sx, int64_t sy, int64_t w,
                  int64_t h)
{
    auto cut = [](int64_t& d, int64_t& s, int64_t& n, int64_t d_size, int64_t s_size) {
        int64_t lead = std::max<int64_t>({0, -d, s_size >= 0 ? -s : 0});
        d += lead;
        s += lead;
        n -= lead;
        n = std::min(n, d_size - d);
        if (s_size >= 0)
            n = std::min(n, s_size - s);
    };
    cut(dx, sx, w, dst.width, src ? src->width : -1);
    cut(dy, sy, h, dst.height, src ? src->height : -1);
    if (w <= 0 || h <= 0)
        return {0, 0, 0, 0, 0, 0};
    return {int32_t(dx), int32_t(dy), int32_t(sx), int32_t(sy), int32_t(w), int32_t(h)};
}

// Runs `f(pattern, source, destination)` over `n` bytes. Written as a plain
// loop so that the compiler turns it into vector code.
template<typename F>
void op_bytes(uint8_t* __restrict d, const uint8_t* __restrict s, const uint8_t* __restrict p, size_t n, F f)
{
    for (size_t i = 0; i < n; ++i)
        d[i] = f(p[i], s[i], d[i]);
}

void op_bytes(RasterOp op, uint8_t* d, const uint8_t* s, const uint8_t* p, size_t n)
{
    using B = uint8_t;
    switch (op) {
    case RasterOp::DstInvert: return op_bytes(d, s, p, n, [](B, B, B dd) { return B(~dd); });
    case RasterOp::MergeCopy: return op_bytes(d, s, p, n, [](B pp, B ss, B) { return B(pp & ss); });
    case RasterOp::MergePaint: return op_bytes(d, s, p, n, [](B, B ss, B dd) { return B(~ss | dd); });
    case RasterOp::NotSrcCopy: return op_bytes(d, s, p, n, [](B, B ss, B) { return B(~ss); });
    case RasterOp::NotSrcErase: return op_bytes(d, s, p, n, [](B, B ss, B dd) { return B(~(ss | dd)); });
    case RasterOp::PatCopy: return op_bytes(d, s, p, n, [](B pp, B, B) { return pp; });
    case RasterOp::PatInvert: return op_bytes(d, s, p, n, [](B pp, B, B dd) { return B(pp ^ dd); });
    case RasterOp::SrcAnd: return op_bytes(d, s, p, n, [](B, B ss, B dd) { return B(ss & dd); });
    case RasterOp::SrcCopy: std::memmove(d, s, n); return;
    case RasterOp::SrcErase: return op_bytes(d, s, p, n, [](B, B ss, B dd) { return B(ss & ~dd); });
    case RasterOp::SrcInvert: return op_bytes(d, s, p, n, [](B, B ss, B dd) { return B(ss ^ dd); });
    }
    for (size_t i = 0; i < n; ++i)
        d[i] = raster_op_byte(op, p[i], s[i], d[i]);
}

} // namespace

std::optional<RasterOp> raster_op_from_name(std::string_view name)
{
    for (const NamedOp& entry : named_ops)
        if (entry.name == name)
            return entry.op;
    return std::nullopt;
}

bool raster_op_uses_source(RasterOp op)
{
    // The operation ignores S when swapping the S halves of its truth table changes nothing.
    uint8_t table = uint8_t(op);
    return ((table & 0xCC) >> 2) != (table & 0x33);
}

uint8_t raster_op_byte(RasterOp op, uint8_t pattern, uint8_t source, uint8_t destination)
{
    uint8_t table = uint8_t(op);
    uint8_t out = 0;
    for (int bit = 0; bit < 8; ++bit) {
        int index = ((pattern >> bit) & 1) << 2 | ((source >> bit) & 1) << 1 | ((destination >> bit) & 1);
        out |= uint8_t(((table >> index) & 1) << bit);
    }
    return out;
}

void raster_copy(const PixelView& dst, int32_t dx, int32_t dy, const PixelView& src, int32_t sx, int32_t sy, int32_t w,
                 int32_t h, RasterOp op, uint32_t pattern_colour)
{
    bool uses_source = raster_op_uses_source(op);
    if (!usable(dst) || (uses_source && !usable(src)))
        return;
    Clipped c = clip_copy(dst, dx, dy, uses_source ? &src : nullptr, sx, sy, w, h);
    if (c.empty())
        return;

    PixelBuffer snapshot;
    PixelView from = src;
    if (uses_source && views_overlap(dst, src)) {
        snapshot = PixelBuffer::copy_of(src);
        from = snapshot.view();
    }

    const KeyBytes colour = colour_bytes(pattern_colour);
    const int32_t bpp = dst.bytes_per_pixel;
    const bool same_layout = !uses_source || from.bytes_per_pixel == bpp;
    if (same_layout) {
        // Whole rows at once: the pattern repeats blue, green, red (and 0).
        const size_t row_bytes = size_t(c.w) * size_t(bpp);
        std::vector<uint8_t> pattern(row_bytes);
        for (size_t i = 0; i < row_bytes; ++i)
            pattern[i] = size_t(i % bpp) < 3 ? colour[i % bpp] : 0;
        for (int32_t y = 0; y < c.h; ++y) {
            uint8_t* d = dst.pixel(c.dx, c.dy + y);
            const uint8_t* s = uses_source ? from.pixel(c.sx, c.sy + y) : pattern.data();
            op_bytes(op, d, s, pattern.data(), row_bytes);
        }
        return;
    }
    for (int32_t y = 0; y < c.h; ++y) {
        uint8_t* d = dst.pixel(c.dx, c.dy + y);
        const uint8_t* s = from.pixel(c.sx, c.sy + y);
        for (int32_t x = 0; x < c.w; ++x, d += bpp, s += from.bytes_per_pixel)
            for (int k = 0; k < 3; ++k)
                d[k] = raster_op_byte(op, colour[k], s[k], d[k]);
    }
}

namespace {

// The hot byte loops are built twice on x86-64, for 32-byte vectors where the
// processor has them and for the baseline; the loader picks one at start.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define RUK_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RUK_VECTOR_CLONES
#endif

// The opacity blend of `n` bytes with one percentage from 1 to 100: the hot
// loop of a translucent copy. It is div100 written in 16-bit lanes (the
// product fits: |(s - d) * p| <= 25500), so the compiler turns it into
// 16-bit vector multiplies, eight bytes per instruction; the high half of
// m * 5243 shifted by 3 more is (m * 5243) >> 19.
RUK_VECTOR_CLONES void blend_bytes(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n, int32_t percent)
{
    const int16_t p = int16_t(percent);
    for (size_t i = 0; i < n; ++i) {
        const int16_t dv = d[i];
        const int16_t m = int16_t((int16_t(s[i]) - dv) * p);
        int16_t q = int16_t((int32_t(m) * 5243) >> 16);
        q = int16_t((q >> 3) - (m >> 15));
        d[i] = uint8_t(dv + q);
    }
}

// The blend at exactly 50 percent: d + (s - d) / 2 truncated toward zero is
// the average of s and d rounded toward d. Written as the rounded-up byte
// average less one where s >= d and the sum is odd, it stays in 8-bit lanes
// (sixteen bytes per vector instruction). Equal to blend_bytes at 50 for
// every pair of bytes.
RUK_VECTOR_CLONES void half_bytes(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const uint8_t dv = d[i], sv = s[i];
        const uint8_t up = uint8_t((unsigned(dv) + sv + 1) >> 1);
        d[i] = uint8_t(up - ((dv ^ sv) & (sv >= dv)));
    }
}

bool matches_key(const uint8_t* s, const KeyBytes& key) { return s[0] == key[0] && s[1] == key[1] && s[2] == key[2]; }

// The keyed copy of 3-byte pixels: a pixel whose bytes are not the key's
// replaces its destination. A mask chooses instead of a branch (keyed
// pictures mix key and picture pixels unpredictably), which also lets the
// compiler vectorise the loop over the interleaved bytes.
RUK_VECTOR_CLONES void keyed_bytes(uint8_t* __restrict d, const uint8_t* __restrict s, size_t count, uint8_t k0,
                                   uint8_t k1, uint8_t k2)
{
    for (size_t x = 0; x < count; ++x) {
        const uint8_t s0 = s[3 * x], s1 = s[3 * x + 1], s2 = s[3 * x + 2];
        const uint8_t hole = uint8_t(0u - uint8_t((s0 == k0) & (s1 == k1) & (s2 == k2)));
        d[3 * x] = uint8_t((d[3 * x] & hole) | (s0 & ~hole));
        d[3 * x + 1] = uint8_t((d[3 * x + 1] & hole) | (s1 & ~hole));
        d[3 * x + 2] = uint8_t((d[3 * x + 2] & hole) | (s2 & ~hole));
    }
}

void keyed_copy_row(uint8_t* dst, int32_t dst_bpp, const uint8_t* src, int32_t src_bpp, int32_t count,
                    const KeyBytes& key)
{
    if (dst_bpp == 3 && src_bpp == 3) {
        keyed_bytes(dst, src, size_t(count), key[0], key[1], key[2]);
        return;
    }
    for (int32_t x = 0; x < count; ++x, dst += dst_bpp, src += src_bpp)
        if (!matches_key(src, key)) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
}

} // namespace

void blend_row(uint8_t* dst, int32_t dst_bpp, const uint8_t* src, int32_t src_bpp, int32_t count,
               const ChannelPercents& percent, const std::optional<KeyBytes>& key)
{
    if (count <= 0)
        return;
    const bool uniform = percent[0] == percent[1] && percent[1] == percent[2];
    if (!key && uniform && dst_bpp == 3 && src_bpp == 3) {
        if (percent[0] <= 0)
            return;
        if (percent[0] == 100)
            std::memcpy(dst, src, size_t(count) * 3);
        else if (percent[0] == 50)
            half_bytes(dst, src, size_t(count) * 3);
        else if (percent[0] < 100)
            blend_bytes(dst, src, size_t(count) * 3, percent[0]);
        else
            for (size_t i = 0; i < size_t(count) * 3; ++i)
                dst[i] = blend_channel(dst[i], src[i], percent[0]);
        return;
    }
    if (key && uniform && percent[0] == 100) {
        keyed_copy_row(dst, dst_bpp, src, src_bpp, count, *key);
        return;
    }
    for (int32_t x = 0; x < count; ++x, dst += dst_bpp, src += src_bpp) {
        if (key && matches_key(src, *key))
            continue;
        for (int k = 0; k < 3; ++k)
            dst[k] = blend_channel(dst[k], src[k], percent[k]);
    }
}

void translucent_copy(const PixelView& dst, int32_t dx, int32_t dy, const PixelView& src, int32_t sx, int32_t sy,
                      int32_t w, int32_t h, const ChannelPercents& percent, const std::optional<KeyBytes>& key)
{
    if (!usable(dst) || !usable(src))
        return;
    Clipped c = clip_copy(dst, dx, dy, &src, sx, sy, w, h);
    if (c.empty())
        return;
    PixelBuffer snapshot;
    PixelView from = src;
    if (views_overlap(dst, src)) {
        snapshot = PixelBuffer::copy_of(src);
        from = snapshot.view();
    }
    for (int32_t y = 0; y < c.h; ++y)
        blend_row(dst.pixel(c.dx, c.dy + y), dst.bytes_per_pixel, from.pixel(c.sx, c.sy + y), from.bytes_per_pixel,
                  c.w, percent, key);
}

} // namespace ruk
