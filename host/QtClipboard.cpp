// The desktop's clipboard for scripts, on QClipboard.
#include "host/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace ruk {

namespace {

QClipboard* board()
{
    return qGuiApp ? QGuiApplication::clipboard() : nullptr;
}

} // namespace

void QtClipboard::clear()
{
    if (QClipboard* c = board())
        c->clear();
}

bool QtClipboard::has_image()
{
    QClipboard* c = board();
    const QMimeData* data = c ? c->mimeData() : nullptr;
    return data && data->hasImage();
}

bool QtClipboard::has_text()
{
    QClipboard* c = board();
    const QMimeData* data = c ? c->mimeData() : nullptr;
    return data && data->hasText();
}

std::string QtClipboard::text()
{
    QClipboard* c = board();
    return c ? c->text().toStdString() : std::string();
}

void QtClipboard::set_text(std::string_view text)
{
    if (QClipboard* c = board())
        c->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::optional<Bitmap> QtClipboard::image()
{
    QClipboard* c = board();
    if (!c)
        return std::nullopt;
    QImage picture = c->image().convertToFormat(QImage::Format_RGB32);
    if (picture.isNull() || picture.width() > Bitmap::MaxSide || picture.height() > Bitmap::MaxSide)
        return std::nullopt;
    Bitmap bitmap(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            QRgb p = line[x];
            bitmap.set_pixel(x, y, uint32_t(qRed(p)) | uint32_t(qGreen(p)) << 8 | uint32_t(qBlue(p)) << 16);
        }
    }
    return bitmap;
}

void QtClipboard::set_image(const Bitmap& picture)
{
    QClipboard* c = board();
    if (!c || picture.empty())
        return;
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            uint32_t colour = picture.pixel(x, y);
            line[x] = qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
        }
    }
    c->setImage(image);
}

} // namespace ruk
