// A private X server for desktop tests: Xvfb on a free display, stopped by its process id.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

typedef struct _XDisplay Display;

namespace ruk::test {

// Starts Xvfb with -displayfd, so the server itself picks a free display and
// says which once it accepts connections (no race over display numbers).
// The server runs with -noreset, so atoms and windows survive the moments
// when no client is connected. The destructor stops every program started
// here by its process id, the server last; every wait is bounded.
//
// Typical use in a test group:
//     static XvfbServer* server = new XvfbServer();      // once per group
//     if (!server->running()) GTEST_SKIP() << server->error();
//     X11Desktop desktop(server->display());
// Programs that should run on the display get it through start_program().
class XvfbServer {
public:
    // Starts the server, waiting at most `timeout_ms` for it to come up.
    explicit XvfbServer(int width = 1280, int height = 1024, int timeout_ms = 10000);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return m_pid > 0; }
    // ":N", to pass as DISPLAY or to XOpenDisplay.
    const std::string& display() const { return m_display; }
    // Why the server is not running (say it in the skip message).
    const std::string& error() const { return m_error; }
    pid_t pid() const { return m_pid; }

    // Starts a program (looked up in PATH) with DISPLAY set to this server;
    // its output goes to /dev/null. Returns its process id, or -1. It is
    // stopped with the server unless stop_program() stopped it before.
    pid_t start_program(const std::vector<std::string>& argv);
    // Ends a program started here: SIGTERM, then SIGKILL after `grace_ms`.
    void stop_program(pid_t pid, int grace_ms = 3000);
    // Starts a window manager and waits (at most `timeout_ms`) until it
    // manages windows (it has taken a probe window in). False when it is not installed or
    // did not come up; the reason is in error().
    bool start_window_manager(const std::string& program = "openbox", int timeout_ms = 10000);

    // Runs `xdotool ARGS` on this server (output discarded); its exit status.
    int xdotool(const std::string& args) const;
    // The colour the screen shows at (x, y) on `display` (a connection to
    // this server), red in the low byte; 0xFFFFFFFF when it cannot be read.
    static uint32_t root_pixel(Display* display, int x, int y);

    // True when an executable of this name is in PATH.
    static bool installed(const std::string& program);

private:
    pid_t m_pid = -1;
    std::string m_display;
    std::string m_error;
    std::vector<pid_t> m_programs;
    std::vector<Display*> m_probe_connections;
};

} // namespace ruk::test
