// The canvas module's painter: Qt's painter on images that wrap the bitmaps' own rows.
#include "graphics/QtCanvasPainter.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPolygon>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace ruk {

namespace {

QImage wrap(const PaintSurface& surface)
{
    const QImage::Format format = surface.bytes_per_pixel == 4 ? QImage::Format_RGB32 : QImage::Format_BGR888;
    return QImage(surface.pixels, surface.width, surface.height, qsizetype(surface.stride), format);
}

QColor qt_colour(uint32_t colour) { return QColor(colour_red(colour), colour_green(colour), colour_blue(colour)); }

// A pen of the state's colour. Widths up to 1 are the one-pixel pen; a line
// then leaves out its end point, as the classic line drawing does. Wider
// pens have round ends and joins.
QPen make_pen(const CanvasState& state, bool for_line)
{
    QPen pen(qt_colour(state.pen_colour));
    if (state.pen_width <= 1) {
        pen.setWidth(0);
        pen.setCapStyle(for_line ? Qt::FlatCap : Qt::SquareCap);
    } else {
        pen.setWidth(state.pen_width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    return pen;
}

void prepare(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

// Script bytes as text: UTF-8 when they are valid UTF-8, else Windows-1252.
QString script_text(std::string_view text)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    if (!utf8.hasError())
        return decoded;
    static const char16_t High[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
    };
    QString out;
    out.reserve(qsizetype(text.size()));
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        out += QChar(c >= 0x80 && c < 0xA0 ? High[c - 0x80] : char16_t(c));
    }
    return out;
}

QFont make_font(const FontChoice& choice)
{
    QFont font;
    if (!choice.face.empty())
        font.setFamily(QString::fromUtf8(choice.face.data(), qsizetype(choice.face.size())));
    else
        font.setStyleHint(QFont::SansSerif);
    const int32_t pixels = std::clamp(choice.pixel_size, 1, 2000);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Weight(std::clamp(choice.weight, 1, 1000)));
    font.setItalic(choice.italic);
    font.setUnderline(choice.underline);
    font.setStrikeOut(choice.strike_out);
    // A character width is an average width; a face's average is about half
    // its em, which the stretch factor (100 = the face's own) scales.
    if (choice.char_width > 0)
        font.setStretch(std::clamp(int(int64_t(choice.char_width) * 200 / pixels), 1, 4000));
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

bool QtCanvasPainter::fonts_available()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return true;
    if (QCoreApplication::instance())
        return false;
    // Lives as long as the process: fonts handed out keep referring to it.
    static int argc = 3;
    static char name[] = "rukengine";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    new QGuiApplication(argc, argv);
    return true;
}

void QtCanvasPainter::line(const PaintSurface& surface, const CanvasState& state, int32_t x, int32_t y)
{
    QImage image = wrap(surface);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(make_pen(state, true));
    painter.drawLine(state.pen_x, state.pen_y, x, y);
}

void QtCanvasPainter::shape(const PaintSurface& surface, const CanvasState& state, PaintShape shape, int32_t left,
                            int32_t top, int32_t right, int32_t bottom, int32_t corner_w, int32_t corner_h)
{
    QImage image = wrap(surface);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(make_pen(state, false));
    if (state.brush_clear)
        painter.setBrush(Qt::NoBrush);
    else
        painter.setBrush(qt_colour(state.brush_colour));
    // One pixel less than the box: the pen covers the box's last column and row.
    const QRect box(left, top, right - left - 1, bottom - top - 1);
    if (shape == PaintShape::Ellipse)
        painter.drawEllipse(box);
    else if (corner_w > 0 && corner_h > 0)
        painter.drawRoundedRect(box, corner_w / 2.0, corner_h / 2.0, Qt::AbsoluteSize);
    else
        painter.drawRect(box);
}

void QtCanvasPainter::fill(const PaintSurface& surface, uint32_t colour, int32_t left, int32_t top, int32_t right,
                           int32_t bottom)
{
    QImage image = wrap(surface);
    QPainter painter(&image);
    painter.fillRect(QRect(left, top, right - left, bottom - top), qt_colour(colour));
}

void QtCanvasPainter::polygon(const PaintSurface& surface, const CanvasState& state,
                              const std::vector<PaintPoint>& points, bool closed)
{
    QImage image = wrap(surface);
    QPolygon polygon;
    polygon.reserve(qsizetype(points.size()));
    for (const PaintPoint& p : points)
        polygon << QPoint(p.x, p.y);
    QPainter painter(&image);
    prepare(painter);
    painter.setPen(make_pen(state, !closed));
    if (closed) {
        painter.setBrush(state.brush_clear ? QBrush(Qt::NoBrush) : QBrush(qt_colour(state.brush_colour)));
        painter.drawPolygon(polygon, Qt::OddEvenFill);
    } else {
        painter.drawPolyline(polygon);
    }
}

TextExtent QtCanvasPainter::measure(const FontChoice& font, std::string_view text)
{
    if (!fonts_available())
        return {};
    QFontMetrics metrics(make_font(font));
    return {metrics.horizontalAdvance(script_text(text)), metrics.height()};
}

void QtCanvasPainter::text(const PaintSurface& surface, const FontChoice& choice, int32_t x, int32_t y,
                           std::string_view text)
{
    if (!fonts_available())
        return;
    QImage image = wrap(surface);
    const QFont font = make_font(choice);
    QPainter painter(&image);
    prepare(painter);
    painter.setFont(font);
    painter.setPen(qt_colour(choice.colour));
    painter.translate(x, y);
    if (choice.angle_tenths != 0)
        painter.rotate(-choice.angle_tenths / 10.0);
    painter.drawText(0, QFontMetrics(font).ascent(), script_text(text));
}

std::optional<IconPicture> QtCanvasPainter::read_icon(const char* path, int32_t width, int32_t height)
{
    QImageReader reader(QString::fromUtf8(path));
    reader.setAutoTransform(false);
    QImage best;
    for (int i = 0; i < 64; ++i) {
        QImage image = reader.read();
        if (image.isNull())
            break;
        if (image.width() == width && image.height() == height) {
            best = image;
            break;
        }
        if (best.isNull() || int64_t(image.width()) * image.height() > int64_t(best.width()) * best.height())
            best = image;
        if (!reader.jumpToNextImage())
            break;
    }
    if (best.isNull())
        return std::nullopt;
    if (best.width() != width || best.height() != height)
        best = best.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    best = best.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (best.isNull() || best.width() != width || best.height() != height)
        return std::nullopt;
    IconPicture icon;
    icon.width = width;
    icon.height = height;
    icon.pixels.resize(size_t(width) * size_t(height));
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(icon.pixels.data() + size_t(row) * size_t(width), best.constScanLine(row),
                    size_t(width) * sizeof(uint32_t));
    return icon;
}

void QtCanvasPainter::picture(const PaintSurface& surface, const IconPicture& picture, int32_t x, int32_t y)
{
    QImage image = wrap(surface);
    const QImage source(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width, picture.height,
                        qsizetype(picture.width) * 4, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(x, y, source);
}

} // namespace ruk

extern "C" __attribute__((visibility("default"))) ruk::CanvasPainter* ruk_canvas_painter()
{
    static ruk::QtCanvasPainter painter;
    return &painter;
}
