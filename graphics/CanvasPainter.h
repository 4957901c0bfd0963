// The painter behind Canvas: shapes, text and icons on plain pixel rows, implemented by the canvas module.
#pragma once

#include "graphics/CanvasState.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ruk {

// A bitmap's pixel memory as it stands: `height` rows of `stride` bytes,
// 3 bytes a pixel (blue, green, red) or 4 (blue, green, red, x).
struct PaintSurface {
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t stride = 0;
    int32_t bytes_per_pixel = 3;
};

struct PaintPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct TextExtent {
    int32_t width = 0;
    int32_t height = 0;
};

enum class PaintShape { Rectangle, Ellipse };

// A picture with an alpha channel: rows of premultiplied 0xAARRGGBB words,
// `width` words a row, no padding.
struct IconPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// The toolkit painter lives in a module of its own (librukcanvas.so), so
// that a run which never paints a shape or a text does not load the
// toolkit. The module hands out one painter; the engine reaches it through
// `PainterModule`. Every call paints straight into the surface's rows,
// aliased, and clips at its edges; the box and line rules are the ones
// `Canvas` documents. Surfaces passed in are never empty.
class CanvasPainter {
public:
    virtual ~CanvasPainter() = default;

    // From the state's pen position to (x, y) with the state's pen.
    virtual void line(const PaintSurface& surface, const CanvasState& state, int32_t x, int32_t y) = 0;
    // A box of at least 1 x 1, stroked with the pen and filled with the
    // brush unless it is clear; a rectangle's corners are rounded by
    // ellipses of corner_w x corner_h when both are above 0.
    virtual void shape(const PaintSurface& surface, const CanvasState& state, PaintShape shape, int32_t left,
                       int32_t top, int32_t right, int32_t bottom, int32_t corner_w, int32_t corner_h) = 0;
    // The box (not empty) in the colour, nothing else.
    virtual void fill(const PaintSurface& surface, uint32_t colour, int32_t left, int32_t top, int32_t right,
                      int32_t bottom) = 0;
    // At least one point: filled and outlined (closed) or an open line.
    virtual void polygon(const PaintSurface& surface, const CanvasState& state, const std::vector<PaintPoint>& points,
                         bool closed) = 0;

    // Text is script bytes (UTF-8 when valid, else Windows-1252), drawn in
    // the font's colour with (x, y) the top-left corner of its cell. Both
    // give nothing when fonts are not available.
    virtual TextExtent measure(const FontChoice& font, std::string_view text) = 0;
    virtual void text(const PaintSurface& surface, const FontChoice& font, int32_t x, int32_t y,
                      std::string_view text) = 0;
    // Whether text can be measured and drawn in this process.
    virtual bool fonts_available() = 0;

    // The picture of an icon file closest to width x height (that size,
    // else the largest), scaled to exactly that size; nothing when the file
    // holds no readable picture. The size is positive and within a
    // bitmap's limits.
    virtual std::optional<IconPicture> read_icon(const char* path, int32_t width, int32_t height) = 0;
    // The picture blended by its alpha over the surface at (x, y).
    virtual void picture(const PaintSurface& surface, const IconPicture& picture, int32_t x, int32_t y) = 0;
};

// The module's file, found like every module (host/ModuleFolder.h), and the
// one function it exports: it returns the module's painter, which lives as
// long as the process.
inline constexpr const char* CanvasModuleFile = "librukcanvas.so";
inline constexpr const char* CanvasPainterSymbol = "ruk_canvas_painter";
using CanvasPainterFunction = CanvasPainter* (*)();

} // namespace ruk
