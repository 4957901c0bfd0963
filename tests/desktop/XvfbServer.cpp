// A private X server for desktop tests: Xvfb on a free display, stopped by its process id.
#include "tests/desktop/XvfbServer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ruk::test {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for a child to end, at most `timeout_ms`; true when it was reaped.
bool reap_within(pid_t pid, int timeout_ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void terminate(pid_t pid, int grace_ms)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    if (!reap_within(pid, grace_ms)) {
        kill(pid, SIGKILL);
        reap_within(pid, 5000);
    }
}

// Spawns argv (looked up in PATH) with the given environment, its standard
// files on /dev/null; descriptors without close-on-exec stay open in it.
pid_t spawn(const std::vector<std::string>& argv, char** envp)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

} // namespace

int XvfbServer::xdotool(const std::string& args) const
{
    const std::string command = "DISPLAY=" + m_display + " xdotool " + args + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

uint32_t XvfbServer::root_pixel(Display* display, int x, int y)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

bool XvfbServer::installed(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

XvfbServer::XvfbServer(int width, int height, int timeout_ms)
{
    if (!installed("Xvfb")) {
        m_error = "Xvfb is not installed (Debian package xvfb); desktop tests need an X server";
        return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        m_error = "cannot create a pipe for Xvfb";
        return;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_t pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp",
                       "-noreset"},
                      environ);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        m_error = "cannot start Xvfb";
        return;
    }
    // Xvfb writes the display number and a line break once it is ready.
    std::string number;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (number.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[32];
        ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, static_cast<size_t>(got));
    }
    close(fds[0]);
    number.erase(std::remove_if(number.begin(), number.end(), [](char c) { return c < '0' || c > '9'; }),
                 number.end());
    if (number.empty()) {
        terminate(pid, 3000);
        m_error = "Xvfb did not report a display within the time-out";
        return;
    }
    m_pid = pid;
    m_display = ":" + number;
}

XvfbServer::~XvfbServer()
{
    for (Display* display : m_probe_connections)
        XCloseDisplay(display);
    for (auto it = m_programs.rbegin(); it != m_programs.rend(); ++it)
        terminate(*it, 3000);
    terminate(m_pid, 5000);
}

pid_t XvfbServer::start_program(const std::vector<std::string>& argv)
{
    if (!running() || argv.empty())
        return -1;
    std::vector<std::string> env_texts;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0)
            env_texts.emplace_back(*e);
    env_texts.push_back("DISPLAY=" + m_display);
    std::vector<char*> envp;
    for (std::string& e : env_texts)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = spawn(argv, envp.data());
    if (pid > 0)
        m_programs.push_back(pid);
    return pid;
}

void XvfbServer::stop_program(pid_t pid, int grace_ms)
{
    auto it = std::find(m_programs.begin(), m_programs.end(), pid);
    if (it == m_programs.end())
        return;
    m_programs.erase(it);
    terminate(pid, grace_ms);
}

bool XvfbServer::start_window_manager(const std::string& program, int timeout_ms)
{
    if (!running())
        return false;
    if (!installed(program)) {
        m_error = program + " is not installed";
        return false;
    }
    pid_t pid = start_program({program});
    if (pid < 0) {
        m_error = "cannot start " + program;
        return false;
    }
    Display* display = XOpenDisplay(m_display.c_str());
    if (display == nullptr) {
        m_error = "cannot connect to " + m_display;
        return false;
    }
    // The manager announces itself before it takes windows in: wait until it
    // manages a probe window (sets WM_STATE on it), mapping it again now and
    // then in case it was mapped too early to be noticed.
    Atom wm_state = XInternAtom(display, "WM_STATE", False);
    Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    bool up = false;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    auto next_map = Clock::now();
    while (!up && Clock::now() < deadline) {
        if (Clock::now() >= next_map) {
            XUnmapWindow(display, probe);
            XMapWindow(display, probe);
            XSync(display, False);
            next_map = Clock::now() + std::chrono::milliseconds(500);
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, probe, wm_state, 0, 2, False, wm_state, &type, &format, &count, &after,
                               &data)
                == Success
            && count >= 1 && type == wm_state)
            up = true;
        if (data != nullptr)
            XFree(data);
        if (!up)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The connection stays open until the server stops: a new client could
    // otherwise be given the probe's window id before the manager has
    // forgotten it.
    XDestroyWindow(display, probe);
    XSync(display, False);
    m_probe_connections.push_back(display);
    if (!up)
        m_error = program + " did not manage a window within the time-out";
    return up;
}

} // namespace ruk::test
