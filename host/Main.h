// The engine window class: every script window is one, the engine window is index 0.
#pragma once

#include "graphics/ScriptWindow.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

namespace ruk {

class EngineApp;

// A borderless top-level window that turns input, timers and window changes
// into script events for its window index. The engine window (index 0) also
// raises "load" on its first timer tick and runs the terminate sequence when
// it is closed by Escape, a right click or the window system.
//
// The engine window exists while the start-up events run (they size and
// place it), but its timers stay quiet until start_timers(): a box, a wait or
// "system.doevents" inside "initialize" lets the message loop run, and
// "load" (an immediate event) must not cut "initialize" short there.
//
// Keys: a key held down raises one "keyboard:down" however long it repeats;
// the characters it types each raise "keyboard:press"; releasing it raises
// "keyboard:up".
class TrukEngineWin : public QWidget, public ScriptWindow {
public:
    TrukEngineWin(EngineApp& app, int index);
    ~TrukEngineWin() override;

    int index() const { return m_index; }

    // Per-window settings the families read and set.
    bool close_on_escape = true;
    bool close_on_right_click = true;
    bool movable = true;
    bool mouse_inside = false;
    int last_key = 0;
    int last_character = 0;
    int activation_countdown = 0;

    QTimer& window_timer() { return m_window_timer; }
    QImage& back_buffer() { return m_back_buffer; }

    // Borderless; on top and without a task-bar button unless the start-up
    // switches say otherwise.
    void apply_style();

    // Closes the window as a user would: the engine window runs the
    // terminate sequence, a script window raises "window:close".
    void close_window();
    // Closes without asking scripts (the terminate sequence's own close).
    void close_for_shutdown();
    // Lets the engine window's timers raise their events; the start-up
    // events have returned. Script windows tick from their creation.
    void start_timers();

    // ScriptWindow
    uint64_t handle() const override;
    WindowRect geometry() const override { return WindowRect{x(), y(), width(), height()}; }
    void set_geometry(const WindowRect& rect) override;
    bool is_visible() const override { return isVisible(); }
    void set_visible(bool visible) override { setVisible(visible); }
    void set_title(std::string_view title) override;
    void repaint_now() override { repaint(); }
    bool timer_enabled() const override { return m_window_timer.isActive(); }
    void set_timer_enabled(bool enabled) override;
    int timer_interval() const override { return m_window_timer.interval(); }
    void set_timer_interval(int milliseconds) override { m_window_timer.setInterval(milliseconds); }
    void set_close_switches(bool on_escape, bool on_right_click) override;
    void close_as_user() override { close_window(); }

protected:
    void mousePressEvent(QMouseEvent* event) override { FormMouseDown(event); }
    void mouseMoveEvent(QMouseEvent* event) override { FormMouseMove(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { FormMouseUp(event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { FormDblClick(event); }
    void keyPressEvent(QKeyEvent* event) override { FormKeyDown(event); }
    void keyReleaseEvent(QKeyEvent* event) override { FormKeyUp(event); }
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override { FormPaint(event); }
    void resizeEvent(QResizeEvent* event) override { FormResize(event); }
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override { FormClose(event); }
    void changeEvent(QEvent* event) override;

private:
    void FormMouseDown(QMouseEvent* event);
    void FormMouseMove(QMouseEvent* event);
    void FormMouseUp(QMouseEvent* event);
    void FormDblClick(QMouseEvent* event);
    void FormKeyDown(QKeyEvent* event);
    void FormKeyPress(const QString& text);
    void FormKeyUp(QKeyEvent* event);
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    void FormPaint(QPaintEvent* event);
    void FormResize(QResizeEvent* event);
    void FormClose(QCloseEvent* event);
    void FormActivate();
    void FormDeactivate();
    void RukTimerTimer();
    void WindowTimerTimer();
    void raise(const char* name, bool immediate = false);

    EngineApp& m_app;
    int m_index;
    bool m_key_held = false;
    bool m_first_load_pending = false;
    bool m_closing_for_shutdown = false;
    bool m_timers_held = false;  // the engine window during the start-up events
    bool m_minimized = false;
    QPoint m_seen[2];  // the cursor at the last two move notifications
    QTimer m_ruk_timer;
    QTimer m_window_timer;
    QImage m_back_buffer;
};

} // namespace ruk
