// A script's status icon in a real notification area (trayer on Xvfb), read back from the screen.
#include "graphics/BmpFile.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef None // Xlib's macro would hide PictureError::None

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

using namespace ruk;
using namespace ruk::test;

namespace {

constexpr uint32_t Red = 0x0000FF;
// The tray: 100 x 32 pixels in the bottom-right corner of the 1280 x 1024 screen.
constexpr int TrayLeft = 1180, TrayTop = 992, TrayWidth = 100, TrayHeight = 32;

const char* icon_script = R"(
event.initialize()
    window.main.pos(0, 0, 10, 10)
    window.main.statusicon.show("ruk tip", "ROOT/icon.bmp")
    system.message("shown")
event.end()

event.statusicon:mouse:up()
    system.message("icon clicked " window.eventauthor())
event.end()
)";

// The first pixel of the colour inside the tray's rectangle, scanning rows.
std::optional<std::pair<int, int>> find_in_tray(Display* display, uint32_t colour)
{
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), TrayLeft, TrayTop, TrayWidth, TrayHeight, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    std::optional<std::pair<int, int>> found;
    for (int y = 0; y < TrayHeight && !found; ++y)
        for (int x = 0; x < TrayWidth && !found; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            if ((((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16)) == colour)
                found = std::make_pair(TrayLeft + x, TrayTop + y);
        }
    XDestroyImage(image);
    return found;
}

// True once some program owns the notification area's selection (bounded wait).
bool tray_running(Display* display)
{
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    for (int i = 0; i < 200; ++i) {
        if (XGetSelectionOwner(display, selection) != 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

TEST(StatusIcon, AppearsInTheTrayAndReportsClicks)
{
    XvfbServer x;
    if (!XvfbServer::installed("Xvfb") || !XvfbServer::installed("trayer") || !XvfbServer::installed("xdotool"))
        GTEST_SKIP() << "Xvfb, trayer or xdotool is not installed (Debian packages xvfb, trayer, xdotool)";
    ASSERT_TRUE(x.running()) << x.error();
    std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(x.display().c_str()), XCloseDisplay);
    ASSERT_NE(connection, nullptr);
    Display* display = connection.get();
    const pid_t tray = x.start_program({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                                        "--width", std::to_string(TrayWidth), "--height", std::to_string(TrayHeight),
                                        "--SetDockType", "false", "--SetPartialStrut", "false"});
    ASSERT_GT(tray, 0);
    ASSERT_TRUE(tray_running(display)) << "trayer did not take the notification area";
    EXPECT_FALSE(find_in_tray(display, Red));

    TempRoot root;
    Bitmap icon(16, 16);
    icon.fill(Red);
    ASSERT_EQ(BmpFile::save(root.path() + "/icon.bmp", icon, 24), PictureError::None);
    std::string text = icon_script;
    text.replace(text.find("ROOT"), 4, root.path());
    EngineProcess engine({"--print-boxes", "--timeout", "60", root.write("icon.rks", text)}, root.path(),
                         x.display());
    ASSERT_TRUE(engine.wait_for_line("shown", 30)) << engine.err();

    // The tray embeds the icon and shows its picture.
    std::optional<std::pair<int, int>> at;
    for (int i = 0; i < 200 && !at; ++i) {
        at = find_in_tray(display, Red);
        if (!at)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(at) << "no icon in the tray; engine said: " << engine.out() << engine.err();

    // A click on it reaches the engine window's events.
    const std::string click = "DISPLAY=" + x.display() + " xdotool mousemove " + std::to_string(at->first + 2) + " " +
                              std::to_string(at->second + 2) + " click 1 >/dev/null 2>&1";
    ASSERT_EQ(std::system(click.c_str()), 0);
    EXPECT_TRUE(engine.wait_for_line("icon clicked 0", 20)) << engine.out() << engine.err();

    // When the engine ends, its icon leaves the tray.
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0) << engine.err();
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        gone = !find_in_tray(display, Red);
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(gone);
}
