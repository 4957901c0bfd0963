// The input families' toolkit side: cursors, the engine's windows and the key table, on Qt.
#pragma once

#include "graphics/InputHost.h"
#include "graphics/X11Input.h"

#include <QCursor>

#include <optional>

namespace ruk {

class WindowHost;

// Cursor rules. The application cursor, when it is not "normal", is shown
// over every engine window in place of the windows' own cursors; "normal"
// lets each window show its own again. The show/hide counter starts at 0;
// "visible" moves it by one, and while it is below 0 no cursor is shown
// over the engine's windows whatever the shapes say.
class QtInputHost : public InputHost {
public:
    // `headless`: the screen, pointer and keyboard answer neutrally.
    QtInputHost(WindowHost& windows, bool headless);
    ~QtInputHost() override;

    void set_application_cursor(CursorShape shape) override;
    bool set_window_cursor(int index, CursorShape shape) override;
    void show_cursor(bool show) override;
    bool load_user_cursor(const std::string& path) override;
    bool pointer_over_engine() override;
    bool window_input(int index, WindowInput& out) override;
    std::vector<unsigned long> keysyms_of(int virtual_key) override;
    X11Input& desktop_input() override { return m_input; }

    // The Qt cursor a shape stands for ("userdefined" before any load: the arrow).
    QCursor cursor_of(CursorShape shape) const;

private:
    // Puts the override cursor in line with the application shape and the counter.
    void apply_override();

    WindowHost& m_windows;
    X11Input m_input;
    CursorShape m_application_shape = CursorShape::Normal;
    int m_show_count = 0;
    bool m_override_set = false;
    std::optional<QCursor> m_user_cursor;
};

// The hot spot of a .cur file (the first image's), or nothing when the
// bytes are no cursor file.
std::optional<std::pair<int, int>> cursor_file_hotspot(const QByteArray& bytes);

} // namespace ruk
