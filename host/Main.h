// The engine window class: every script window is one, the engine window is index 0.
#pragma once

#include "graphics/ScriptWindow.h"
#include "host/WindowDrag.h"

#include <QImage>
#include <QSystemTrayIcon>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <memory>

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
    // The window's record in the window table (close switches, picture,
    // outline, look, drag settings).
    WindowRecord& record();

    bool mouse_inside = false;
    int last_key = 0;
    int last_character = 0;
    int activation_countdown = 0;

    QTimer& window_timer() { return m_window_timer; }

    // Borderless; on top and without a task-bar button unless the start-up
    // switches say otherwise (the engine window), or a borderless tool
    // window (script windows).
    void apply_style();

    // Closes the window as a user would: the engine window runs the
    // terminate sequence; a script window raises "window:close" and is
    // closed unless a script cancels.
    void close_window();
    // Closes without asking scripts (the terminate sequence's own close).
    void close_for_shutdown();
    // Lets the engine window's timers raise their events; the start-up
    // events have returned. Script windows tick from their creation.
    void start_timers();

    // One tick of the window's animation timer: the motion moves the
    // target, the window goes there, and the motion's events are raised.
    // The window is in place before "anim:move" and "anim:end" run.
    void AnimEngineTimer();
    // How far the window may go inside its parent (or the screen).
    MotionLimits motion_limits() const;

    // ScriptWindow
    uint64_t handle() const override;
    WindowRect geometry() const override;
    WindowRect client_rect() const override;
    void set_geometry(const WindowRect& rect) override;
    void set_client_size(int32_t width, int32_t height) override;
    bool is_visible() const override { return isVisible(); }
    void set_visible(bool visible) override;
    void set_title(std::string_view title) override;
    void repaint_now() override;
    void show_picture(const Bitmap& picture, int32_t x, int32_t y) override;
    bool timer_enabled() const override { return m_window_timer.isActive(); }
    void set_timer_enabled(bool enabled) override;
    int timer_interval() const override { return m_window_timer.interval(); }
    void set_timer_interval(int milliseconds) override { m_window_timer.setInterval(milliseconds); }
    void stop_timers() override;
    bool set_icon(const std::string& path) override;
    void set_tooltip(std::string_view text) override;
    MonitorInfo monitor() const override;
    void set_frame_style(int style) override;
    void set_caption_buttons(bool system_menu, bool minimize, bool maximize, bool help) override;
    int state() const override;
    void set_state(int state) override;
    bool is_enabled() const override { return isEnabled(); }
    void set_enabled(bool enabled) override { setEnabled(enabled); }
    void set_focus() override;
    void set_foreground() override;
    void set_stay_on_top(bool on_top) override;
    void bring_to_front() override;
    void send_to_back() override;
    bool place_behind(uint64_t handle) override;
    void set_parent_window(ScriptWindow* parent) override;
    void apply_outline() override;
    bool apply_look() override;
    void show_status_icon(std::string_view tip, const std::string& icon_path) override;
    void hide_status_icon() override;
    void set_desktop_bar(bool enable) override;
    void set_desktop_bar_area(int edge, const WindowRect& area) override;
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
    // Changes window flags; Qt hides a window whose flags change, so it is
    // shown again where it was.
    void change_flags(Qt::WindowFlags on, Qt::WindowFlags off);
    // The outline, cut by the colour key's holes, becomes the window's mask.
    void update_mask();
    // The backing bitmap grows to the window's size.
    void grow_backing();
    // Moves the real window to its target position on the chosen axes;
    // the window system is not waited for.
    void place_at_target(bool horizontal, bool vertical);
    DragSettings drag_settings();
    QPoint cursor_inside(const QPoint& global) const;
    // True while this object is still the window of its slot and not closing.
    bool still_in_table() const;
    void status_icon_activated(int reason);

    EngineApp& m_app;
    int m_index;
    bool m_key_held = false;
    bool m_first_load_pending = false;
    bool m_closing_for_shutdown = false;
    bool m_timers_held = false;  // the engine window during the start-up events
    bool m_minimized = false;
    WindowDrag m_drag; // grab point, press time and cursor history of the left button
    QTimer m_ruk_timer;
    QTimer m_window_timer;
    std::unique_ptr<QSystemTrayIcon> m_status_icon;
    // A picture "show_picture" put on top, drawn by the paint it asked for.
    QImage m_shown_picture;
    QPoint m_shown_at;
};

} // namespace ruk
