// Cursors, window values and the key table for the input families.
#include "host/QtInputHost.h"

#include "host/KeyCodes.h"
#include "host/Main.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

namespace ruk {

QtInputHost::QtInputHost(WindowHost& windows, bool headless) : m_windows(windows), m_input(!headless) {}

QtInputHost::~QtInputHost()
{
    if (m_override_set && QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

QCursor QtInputHost::cursor_of(CursorShape shape) const
{
    switch (shape) {
    case CursorShape::Normal: return QCursor(Qt::ArrowCursor);
    case CursorShape::Hotspot: return QCursor(Qt::PointingHandCursor);
    case CursorShape::Hourglass: return QCursor(Qt::WaitCursor);
    case CursorShape::Help: return QCursor(Qt::WhatsThisCursor);
    case CursorShape::None: return QCursor(Qt::BlankCursor);
    case CursorShape::NoDrop: return QCursor(Qt::ForbiddenCursor);
    case CursorShape::SizeWE: return QCursor(Qt::SizeHorCursor);
    case CursorShape::SizeNS: return QCursor(Qt::SizeVerCursor);
    case CursorShape::SizeNWSE: return QCursor(Qt::SizeFDiagCursor);
    case CursorShape::SizeNESW: return QCursor(Qt::SizeBDiagCursor);
    case CursorShape::Edit: return QCursor(Qt::IBeamCursor);
    case CursorShape::UserDefined: return m_user_cursor ? *m_user_cursor : QCursor(Qt::ArrowCursor);
    }
    return QCursor(Qt::ArrowCursor);
}

void QtInputHost::apply_override()
{
    std::optional<QCursor> wanted;
    if (m_show_count < 0)
        wanted = QCursor(Qt::BlankCursor);
    else if (m_application_shape != CursorShape::Normal)
        wanted = cursor_of(m_application_shape);
    // The terminate sequence may have taken the override away already.
    if (m_override_set && !QGuiApplication::overrideCursor())
        m_override_set = false;
    if (wanted && m_override_set)
        QGuiApplication::changeOverrideCursor(*wanted);
    else if (wanted)
        QGuiApplication::setOverrideCursor(*wanted);
    else if (m_override_set)
        QGuiApplication::restoreOverrideCursor();
    m_override_set = wanted.has_value();
}

void QtInputHost::set_application_cursor(CursorShape shape)
{
    m_application_shape = shape;
    apply_override();
}

bool QtInputHost::set_window_cursor(int index, CursorShape shape)
{
    auto* widget = dynamic_cast<QWidget*>(m_windows.window(index));
    if (!widget)
        return false;
    widget->setCursor(cursor_of(shape));
    return true;
}

void QtInputHost::show_cursor(bool show)
{
    m_show_count += show ? 1 : -1;
    apply_override();
}

std::optional<std::pair<int, int>> cursor_file_hotspot(const QByteArray& bytes)
{
    // Header: reserved 0, type 2 (cursor), image count; then 16-byte entries
    // whose fifth to eighth bytes hold the hot spot.
    if (bytes.size() < 22)
        return std::nullopt;
    auto u16 = [&bytes](int at) {
        return static_cast<int>(static_cast<unsigned char>(bytes[at]))
             | (static_cast<int>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    };
    if (u16(0) != 0 || u16(2) != 2 || u16(4) == 0)
        return std::nullopt;
    return std::make_pair(u16(10), u16(12));
}

bool QtInputHost::load_user_cursor(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    QImage image = QImage::fromData(bytes);
    if (image.isNull())
        image = QImage::fromData(bytes, "ico"); // a .cur is read by the icon reader
    if (image.isNull())
        return false;
    // A cursor file says where its hot spot is; any other picture points
    // from its centre.
    std::pair<int, int> spot{image.width() / 2, image.height() / 2};
    if (auto hotspot = cursor_file_hotspot(bytes))
        spot = *hotspot;
    m_user_cursor = QCursor(QPixmap::fromImage(image), spot.first, spot.second);
    return true;
}

bool QtInputHost::pointer_over_engine()
{
    return m_input.available() && QApplication::topLevelAt(QCursor::pos()) != nullptr;
}

bool QtInputHost::window_input(int index, WindowInput& out)
{
    auto* window = dynamic_cast<TrukEngineWin*>(m_windows.window(index));
    if (!window)
        return false;
    out.last_key = window->last_key;
    out.last_character = window->last_character;
    out.mouse_over = window->mouse_inside;
    return true;
}

std::vector<unsigned long> QtInputHost::keysyms_of(int virtual_key)
{
    return x11_keysyms_from_virtual(virtual_key);
}

} // namespace ruk
