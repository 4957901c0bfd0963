// Qt images over bitmaps, and regions from outlines and colour keys.
#include "host/WindowPainting.h"

#include <QBitmap>
#include <QPixmap>

#include <vector>

namespace ruk {

QImage backing_image(Bitmap& bitmap)
{
    if (bitmap.empty())
        return QImage();
    // Bytes blue, green, red in memory; 32-bit pixels are 0xXXRRGGBB words.
    const QImage::Format format = bitmap.bytes_per_pixel() == 4 ? QImage::Format_RGB32 : QImage::Format_BGR888;
    return QImage(bitmap.row(0), bitmap.width(), bitmap.height(), static_cast<qsizetype>(bitmap.stride()), format);
}

QImage image_copy(const Bitmap& bitmap)
{
    return backing_image(const_cast<Bitmap&>(bitmap)).copy();
}

QRegion outline_region(const Outline& outline)
{
    std::vector<QRect> rects;
    for (const OutlineRect& r : outline.spans())
        rects.emplace_back(r.left, r.top, r.right - r.left, r.bottom - r.top);
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

QRegion key_region(Bitmap& bitmap, int width, int height, uint32_t key)
{
    if (width <= 0 || height <= 0)
        return QRegion();
    bitmap.grow(width, height);
    const QImage picture = backing_image(bitmap).copy(0, 0, width, height);
    const QColor colour(colour_red(key), colour_green(key), colour_blue(key));
    // Mask-in-colour leaves exactly the key-coloured pixels out.
    return QRegion(QPixmap::fromImage(picture).createMaskFromColor(colour, Qt::MaskInColor));
}

} // namespace ruk
