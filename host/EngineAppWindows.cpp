// The running engine as the window table's host: making and freeing windows, screen questions, snapshots.
#include "host/EngineApp.h"

#include "browser/BrowserLibrary.h"
#include "graphics/Compositor.h"
#include "graphics/WindowLife.h"
#include "host/Main.h"
#include "host/WindowPainting.h"
#include "system/X11Desktop.h"

#include <QApplication>
#include <QScreen>

namespace ruk {

ScriptWindow* EngineApp::make_window(int index)
{
    auto* w = new TrukEngineWin(*this, index);
    w->apply_style();
    return w;
}

// The window may be running one of its own handlers: Qt deletes it once
// control is back in the loop.
void EngineApp::free_window(ScriptWindow* window)
{
    if (auto* w = dynamic_cast<TrukEngineWin*>(window)) {
        w->hide();
        w->deleteLater();
    }
}

int EngineApp::window_at(int32_t x, int32_t y)
{
    QWidget* found = QApplication::widgetAt(QPoint(x, y));
    for (; found; found = found->parentWidget())
        if (auto* w = dynamic_cast<TrukEngineWin*>(found))
            return m_table.window(w->index()) == w ? w->index() : -1;
    return -1;
}

WindowRect EngineApp::screen()
{
    QScreen* s = QGuiApplication::primaryScreen();
    const QRect g = s ? s->geometry() : QRect();
    return WindowRect{g.x(), g.y(), g.width(), g.height()};
}

uint64_t EngineApp::find_window(std::string_view caption)
{
    if (!m_state.headless)
        return m_desktop->find_window(caption);
    // Headless windows are found among the engine's own.
    const QString wanted = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    for (int i = 0; i < WindowTable::Slots; ++i)
        if (auto* w = dynamic_cast<TrukEngineWin*>(m_table.window(i)); w && w->windowTitle() == wanted)
            return w->handle();
    return 0;
}

void EngineApp::repaint_area(const WindowRect& area)
{
    const QRect covered(area.left, area.top, area.width, area.height);
    for (int i = 0; i < WindowTable::Slots; ++i) {
        auto* w = dynamic_cast<TrukEngineWin*>(m_table.window(i));
        if (w && w->isVisible() && !w->parentWidget() && w->frameGeometry().intersects(covered))
            w->repaint();
    }
}

bool EngineApp::write_snapshot()
{
    if (m_options.snapshot.empty())
        return false;
    // Web pages live in child widgets of their windows, outside the bitmaps.
    const std::vector<WindowInset> pages = m_browsers ? m_browsers->shown_pages() : std::vector<WindowInset>{};
    const Bitmap picture = compose_desktop(m_table, screen(), pages);
    return image_copy(picture).save(QString::fromStdString(m_options.snapshot), "PNG");
}

void EngineApp::animation_started(int)
{
    m_anim.schedule();
}

void EngineApp::clear_drag_state()
{
    for (int i = 0; i < WindowTable::Slots; ++i)
        m_table.record(i).motion.set_drag_state(0);
}

void EngineApp::close_script_windows()
{
    for (int i = 1; i < WindowTable::Slots; ++i)
        close_script_window(m_engine, *this, i);
}

} // namespace ruk
