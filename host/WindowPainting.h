// The bridge between the engine's plain pictures and outlines and Qt's images and regions.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Outline.h"

#include <QImage>
#include <QRegion>

namespace ruk {

// A QImage over the bitmap's own rows (no copy): valid while the bitmap is
// neither resized nor destroyed. Null for an empty bitmap.
QImage backing_image(Bitmap& bitmap);
// A copy of a bitmap as a QImage (for saving and the screen's own format).
QImage image_copy(const Bitmap& bitmap);

// The area an outline covers, as a region of rectangles.
QRegion outline_region(const Outline& outline);

// The pixels of the window's rectangle that do not have the key colour
// (a colour value, red in the low byte); pixels outside the bitmap count
// as black.
QRegion key_region(Bitmap& bitmap, int width, int height, uint32_t key);

} // namespace ruk
