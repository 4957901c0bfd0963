// The canvas module's painter: Qt's painter on images that wrap the bitmaps' own rows.
#pragma once

#include "graphics/CanvasPainter.h"

namespace ruk {

// Built only into librukcanvas.so, the one place of the draw family that
// links QtGui. Each call wraps the surface in a QImage without copying
// (24-bit rows as Format_BGR888, 32-bit rows as Format_RGB32, whose
// painting sets the fourth byte to 255) and paints aliased.
class QtCanvasPainter final : public CanvasPainter {
public:
    void line(const PaintSurface& surface, const CanvasState& state, int32_t x, int32_t y) override;
    void shape(const PaintSurface& surface, const CanvasState& state, PaintShape shape, int32_t left, int32_t top,
               int32_t right, int32_t bottom, int32_t corner_w, int32_t corner_h) override;
    void fill(const PaintSurface& surface, uint32_t colour, int32_t left, int32_t top, int32_t right,
              int32_t bottom) override;
    void polygon(const PaintSurface& surface, const CanvasState& state, const std::vector<PaintPoint>& points,
                 bool closed) override;
    TextExtent measure(const FontChoice& font, std::string_view text) override;
    void text(const PaintSurface& surface, const FontChoice& font, int32_t x, int32_t y,
              std::string_view text) override;
    // Where no GUI application runs (rukc run, unit tests) the first call
    // starts one on the offscreen platform; false when a non-GUI
    // application runs already.
    bool fonts_available() override;
    std::optional<IconPicture> read_icon(const char* path, int32_t width, int32_t height) override;
    void picture(const PaintSurface& surface, const IconPicture& picture, int32_t x, int32_t y) override;
};

} // namespace ruk
