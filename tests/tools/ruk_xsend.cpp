// Test helper: finds an engine's window by process id and posts engine messages to windows.
//
//   ruk_xsend --find-pid PID
//       prints the id of the top-level window whose _NET_WM_PID is PID,
//       preferring the one marked as an engine window; waits up to 10 s.
//   ruk_xsend WINDOW MSG WPARAM LPARAM [MSG WPARAM LPARAM ...]
//       posts the messages to WINDOW in order and flushes.
// Numbers are decimal or 0x hexadecimal. The display is $DISPLAY.
#include "system/X11Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::optional<uint32_t> parse_number(const char* text)
{
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    bool negative = text[0] == '-';
    long long value = std::strtoll(text, &end, 0);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFLL || (negative && value < INT32_MIN))
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<unsigned long> cardinal(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
            == Success
        && type == XA_CARDINAL && format == 32 && count == 1 && data != nullptr)
        value = *reinterpret_cast<unsigned long*>(data);
    if (data != nullptr)
        XFree(data);
    return value;
}

// The window of the process: the marked engine window, else any window with
// that pid, searched a few levels below the root. 0 when none.
Window find_by_pid(Display* display, unsigned long pid)
{
    Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
    Atom engine_atom = XInternAtom(display, ruk::EngineWindowAtomName, False);
    Window any = None;
    std::deque<std::pair<Window, int>> queue{{DefaultRootWindow(display), 0}};
    size_t walked = 0;
    while (!queue.empty() && walked++ < 50000) {
        auto [window, depth] = queue.front();
        queue.pop_front();
        if (depth > 0 && cardinal(display, window, pid_atom) == pid) {
            if (cardinal(display, window, engine_atom) == 1UL)
                return window;
            if (any == None)
                any = window;
        }
        if (depth >= 4)
            continue;
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
            for (unsigned int i = 0; i < count; ++i)
                queue.emplace_back(children[i], depth + 1);
            if (children != nullptr)
                XFree(children);
        }
    }
    return any;
}

int usage()
{
    std::fprintf(stderr, "usage: ruk_xsend --find-pid PID\n"
                         "       ruk_xsend WINDOW MSG WPARAM LPARAM [MSG WPARAM LPARAM ...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--find-pid") == 0) {
        auto pid = parse_number(argv[2]);
        if (!pid)
            return usage();
        ruk::X11Desktop desktop;
        Display* display = desktop.display();
        if (display == nullptr) {
            std::fprintf(stderr, "ruk_xsend: cannot open the display\n");
            return 1;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            Window window = find_by_pid(display, *pid);
            if (window != None) {
                std::printf("%lu\n", window);
                return 0;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::fprintf(stderr, "ruk_xsend: no window of process %s\n", argv[2]);
        return 1;
    }
    if (argc < 5 || (argc - 2) % 3 != 0)
        return usage();
    auto window = parse_number(argv[1]);
    if (!window)
        return usage();
    std::vector<uint32_t> numbers;
    for (int i = 2; i < argc; ++i) {
        auto n = parse_number(argv[i]);
        if (!n) {
            std::fprintf(stderr, "ruk_xsend: not a number: %s\n", argv[i]);
            return 2;
        }
        numbers.push_back(*n);
    }
    ruk::X11Desktop desktop;
    if (!desktop.available()) {
        std::fprintf(stderr, "ruk_xsend: cannot open the display\n");
        return 1;
    }
    if (!desktop.is_window(*window)) {
        std::fprintf(stderr, "ruk_xsend: no window %s\n", argv[1]);
        return 1;
    }
    for (size_t i = 0; i + 2 < numbers.size(); i += 3)
        desktop.post_message(*window, numbers[i], numbers[i + 1], numbers[i + 2]);
    // Wait for the server, so that every message is delivered before we go.
    XSync(desktop.display(), False);
    return 0;
}
