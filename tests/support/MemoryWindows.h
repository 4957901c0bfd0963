// Windows that exist only in memory, for testing the window family without a display.
#pragma once

#include "graphics/ScriptWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace ruk::test {

// Keeps what the family sets and answers it back; the screen is 800 x 600.
class MemoryWindow : public ScriptWindow {
public:
    uint64_t handle() const override { return m_handle; }
    WindowRect geometry() const override { return m_rect; }
    WindowRect client_rect() const override;
    void set_geometry(const WindowRect& rect) override { m_rect = rect; }
    void set_client_size(int32_t width, int32_t height) override { m_rect.width = width, m_rect.height = height; }
    bool is_visible() const override { return m_visible; }
    void set_visible(bool visible) override { m_visible = visible; }
    void set_title(std::string_view title) override { m_title = title; }
    void repaint_now() override { ++repaints; }
    void show_picture(const Bitmap& picture, int32_t x, int32_t y) override
    {
        shown = picture;
        shown_x = x;
        shown_y = y;
    }
    bool timer_enabled() const override { return m_timer; }
    void set_timer_enabled(bool enabled) override { m_timer = enabled; }
    int timer_interval() const override { return m_interval; }
    void set_timer_interval(int milliseconds) override { m_interval = milliseconds; }
    void stop_timers() override { m_timer = false; }
    bool set_icon(const std::string&) override { return true; }
    void set_tooltip(std::string_view text) override { tooltip = text; }
    MonitorInfo monitor() const override { return MonitorInfo{WindowRect{0, 0, 800, 600}, 0}; }
    void set_frame_style(int style) override { frame_style = style; }
    void set_caption_buttons(bool, bool, bool, bool) override {}
    int state() const override { return m_state; }
    void set_state(int state) override { m_state = state; }
    bool is_enabled() const override { return m_enabled; }
    void set_enabled(bool enabled) override { m_enabled = enabled; }
    void set_focus() override {}
    void set_foreground() override {}
    void set_stay_on_top(bool on_top) override { on_top_flag = on_top; }
    void bring_to_front() override {}
    void send_to_back() override {}
    bool place_behind(uint64_t handle) override { return handle != 0; }
    void set_parent_window(ScriptWindow* parent) override { m_parent = static_cast<MemoryWindow*>(parent); }
    void apply_outline() override {}
    bool apply_look() override { return true; }
    void show_status_icon(std::string_view tip, const std::string&) override { status_tip = tip; }
    void hide_status_icon() override { status_tip.clear(); }
    void set_desktop_bar(bool enable) override { desktop_bar = enable; }
    void set_desktop_bar_area(int edge, const WindowRect& area) override { bar_edge = edge, bar_area = area; }
    void close_as_user() override {}

    uint64_t m_handle = 0;
    std::string m_title;
    std::string tooltip;
    std::string status_tip;
    int repaints = 0;
    Bitmap shown; // the last picture put on top, at (shown_x, shown_y)
    int32_t shown_x = 0;
    int32_t shown_y = 0;
    int frame_style = 1;
    bool on_top_flag = false;
    bool desktop_bar = false;
    int bar_edge = -1;
    WindowRect bar_area;

private:
    WindowRect m_rect;
    bool m_visible = false;
    bool m_timer = false;
    int m_interval = 1000;
    int m_state = 0;
    bool m_enabled = true;
    MemoryWindow* m_parent = nullptr;
};

// A window host whose windows are MemoryWindows; slot 0 holds one from the
// start, as the engine window does.
class MemoryWindows : public WindowHost {
public:
    MemoryWindows();
    ScriptWindow* make_window(int index) override;
    void free_window(ScriptWindow* window) override;
    int window_at(int32_t x, int32_t y) override;
    WindowRect screen() override { return WindowRect{0, 0, 800, 600}; }
    uint64_t find_window(std::string_view caption) override;

    MemoryWindow& memory(int index) { return *static_cast<MemoryWindow*>(window(index)); }
    int made = 0;
    int freed = 0;

private:
    std::vector<std::unique_ptr<MemoryWindow>> m_windows;
};

} // namespace ruk::test
