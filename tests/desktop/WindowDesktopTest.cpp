// Script windows on a real X server, read back from the screen: outlines, colour keys, stacking, children, click-through.
#include "graphics/BmpFile.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef None // Xlib's macro would hide PictureError::None

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace ruk;
using namespace ruk::test;

namespace {

constexpr uint32_t Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, Yellow = 0x00FFFF;

const char* desktop_script = R"(
event.initialize()
    window.main.pos(0, 0, 10, 10)
    window.create(1, "", 0)
    window.1.image.load("ROOT/red.bmp")
    window.1.pos(100, 100)
    window.1.shape.elliptic()
    window.create(1, "", 0)
    window.2.image.load("ROOT/halves.bmp")
    window.2.pos(400, 100)
    window.2.transparency(255)
    window.create(1, "", 0)
    window.3.image.load("ROOT/blue.bmp")
    window.3.pos(100, 300)
    window.create(1, "", 0)
    window.4.image.load("ROOT/green.bmp")
    window.4.pos(150, 300)
    window.3.bringtofront()
    window.create(1, "", 0)
    window.5.image.load("ROOT/yellow.bmp")
    window.5.pos(400, 300)
    window.5.create(1, "", 0)
    window.6.image.load("ROOT/blue.bmp")
    window.6.pos(50, 50)
    window.create(1, "", 0, 1, 0, 0)
    window.7.image.load("ROOT/green.bmp")
    window.7.pos(100, 500, 200, 100)
    window.create(1, "", 0, 1, 0, 0)
    window.8.image.load("ROOT/red.bmp")
    window.8.pos(100, 500, 100, 100)
    window.8.transparency("", 255, 1)
    window.create(1, "", 1, 1, 0, 0)
    window.9.image.load("ROOT/blue.bmp")
    window.9.pos(600, 500)
event.end()

event.mouse:up()
    system.message("up " window.eventauthor() " at " window.9.left() " " window.9.top())
event.end()

event.unload()
    system.message("unload " window.eventauthor() " leaves " window.count())
event.end()

event.load()
    system.message("ready")
event.end()

event.mouse:click()
    system.message("click " window.eventauthor())
event.end()
)";

struct WindowDesktop : ::testing::Test {
    XvfbServer x;
    TempRoot root;
    Display* display = nullptr;

    void SetUp() override
    {
        if (!XvfbServer::installed("Xvfb") || !XvfbServer::installed("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        ASSERT_TRUE(x.running()) << x.error();
        display = XOpenDisplay(x.display().c_str());
        ASSERT_NE(display, nullptr);
        solid("red.bmp", 200, 100, Red);
        solid("blue.bmp", 100, 100, Blue);
        solid("green.bmp", 100, 100, Green);
        solid("yellow.bmp", 100, 100, Yellow);
        Bitmap halves(200, 100);
        halves.fill(Red);
        for (int y = 0; y < 100; ++y)
            for (int x0 = 100; x0 < 200; ++x0)
                halves.set_pixel(x0, y, Green);
        ASSERT_EQ(BmpFile::save(root.path() + "/halves.bmp", halves, 24), PictureError::None);
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    void solid(const char* name, int width, int height, uint32_t colour)
    {
        Bitmap picture(width, height);
        picture.fill(colour);
        ASSERT_EQ(BmpFile::save(root.path() + "/" + name, picture, 24), PictureError::None);
    }

    // The colour on the screen at (x, y), red in the low byte.
    uint32_t screen_pixel(int px, int py) { return XvfbServer::root_pixel(display, px, py); }

    // Waits (bounded) until every check holds; false when one never did.
    bool settles(const std::function<bool()>& check)
    {
        for (int i = 0; i < 200; ++i) {
            if (check())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string script()
    {
        std::string text = desktop_script;
        for (size_t at; (at = text.find("ROOT")) != std::string::npos;)
            text.replace(at, 4, root.path());
        return root.write("desktop.rks", text);
    }
};

TEST_F(WindowDesktop, OutlinesKeysStackingChildrenAndClickThrough)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script()}, root.path(), x.display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();

    // An ellipse leaves its rectangle's corners to what lies behind.
    EXPECT_TRUE(settles([&] { return screen_pixel(200, 150) == Red; })) << std::hex << screen_pixel(200, 150);
    EXPECT_NE(screen_pixel(101, 101), Red);
    EXPECT_NE(screen_pixel(298, 198), Red);
    // The key colour's pixels are holes, the others show.
    EXPECT_TRUE(settles([&] { return screen_pixel(550, 150) == Green; }));
    EXPECT_NE(screen_pixel(450, 150), Red);
    // Window 3 was brought in front of window 4.
    EXPECT_TRUE(settles([&] { return screen_pixel(175, 350) == Blue; })) << std::hex << screen_pixel(175, 350);
    EXPECT_EQ(screen_pixel(225, 350), Green);
    // The child shows inside its parent and is cut at the parent's edge.
    EXPECT_TRUE(settles([&] { return screen_pixel(470, 370) == Blue; }));
    EXPECT_EQ(screen_pixel(420, 320), Yellow);
    EXPECT_NE(screen_pixel(520, 370), Blue);

    // A click on the click-through window reaches the window below it.
    std::string click = "DISPLAY=" + x.display() + " xdotool mousemove 150 550 click 1 >/dev/null 2>&1";
    ASSERT_EQ(std::system(click.c_str()), 0);
    EXPECT_TRUE(engine.wait_for_line("click 7", 20)) << engine.out();
    EXPECT_EQ(engine.out().find("click 8"), std::string::npos);

    // A drag moves a movable window with the cursor and raises no click;
    // the window follows once the button has been held a moment.
    std::string drag = "DISPLAY=" + x.display() +
                       " xdotool mousemove 650 550 mousedown 1 sleep 0.25 mousemove 670 560 mousemove 700 580"
                       " mouseup 1"
                       " >/dev/null 2>&1";
    ASSERT_EQ(std::system(drag.c_str()), 0);
    EXPECT_TRUE(engine.wait_for_line("up 9 at 650 530", 20)) << engine.out();
    EXPECT_EQ(engine.out().find("click 9"), std::string::npos);

    // A right click closes a window that closes on right clicks.
    std::string right = "DISPLAY=" + x.display() + " xdotool mousemove 120 350 click 3 >/dev/null 2>&1";
    ASSERT_EQ(std::system(right.c_str()), 0);
    EXPECT_TRUE(engine.wait_for_line("unload 3 leaves 10", 20)) << engine.out();
    EXPECT_TRUE(settles([&] { return screen_pixel(120, 350) != Blue; }));
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace

namespace {

const char* bar_script = R"(
event.load()
    window.create(1, "", 0)
    window.1.image.load("ROOT/green.bmp")
    window.1.pos(0, 0, 300, 40)
    window.1.appbar.enable(1)
    window.1.appbar.refreshpos(1)
    system.message("docked " window.1.width() " " window.1.height())
event.end()
)";

// The work area the window manager publishes: left, top, width, height.
std::vector<long> work_area(Display* display)
{
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> out;
    if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_WORKAREA", False), 0, 4,
                           False, AnyPropertyType, &type, &format, &count, &after, &data) == Success && data) {
        for (unsigned long i = 0; i < count && i < 4; ++i)
            out.push_back(reinterpret_cast<long*>(data)[i]);
        XFree(data);
    }
    return out;
}

TEST_F(WindowDesktop, DesktopBarShrinksTheWorkAreaUnderAWindowManager)
{
    if (!x.start_window_manager("openbox"))
        GTEST_SKIP() << "no window manager: " << x.error();
    std::string text = bar_script;
    text.replace(text.find("ROOT"), 4, root.path());
    EngineProcess engine({"--print-boxes", "--timeout", "60", root.write("bar.rks", text)}, root.path(), x.display());
    ASSERT_TRUE(engine.wait_for_line("docked 1280 40", 30)) << engine.out() << engine.err();
    EXPECT_TRUE(settles([&] {
        std::vector<long> area = work_area(display);
        return area.size() == 4 && area[1] == 40 && area[3] == 1024 - 40;
    })) << "work area top " << (work_area(display).size() == 4 ? work_area(display)[1] : -1);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace

namespace {

const char* alpha_script = R"(
event.load()
    window.create(1, "", 0)
    window.1.image.load("ROOT/blue.bmp")
    window.1.pos(100, 100)
    window.create(1, "", 0)
    window.2.image.load("ROOT/red.bmp")
    window.2.pos(150, 100, 100, 100)
    system.message("translucent " window.2.transparency("", 128))
event.end()
)";

TEST_F(WindowDesktop, AlphaMixesWithWhatLiesBelowUnderACompositor)
{
    if (!XvfbServer::installed("xcompmgr"))
        GTEST_SKIP() << "xcompmgr is not installed: without a compositor X11 shows no translucency";
    ASSERT_GT(x.start_program({"xcompmgr", "-n"}), 0); // no shadows
    std::string text = alpha_script;
    for (size_t at; (at = text.find("ROOT")) != std::string::npos;)
        text.replace(at, 4, root.path());
    EngineProcess engine({"--print-boxes", "--timeout", "60", root.write("alpha.rks", text)}, root.path(), x.display());
    ASSERT_TRUE(engine.wait_for_line("translucent 1", 30)) << engine.out() << engine.err();
    // Half red over blue: both channels near the middle.
    auto mixed = [&] {
        const uint32_t p = screen_pixel(175, 150);
        const int red = p & 0xFF, green = (p >> 8) & 0xFF, blue = (p >> 16) & 0xFF;
        return red > 100 && red < 156 && green < 30 && blue > 100 && blue < 156 && screen_pixel(125, 150) == Blue;
    };
    EXPECT_TRUE(settles(mixed)) << std::hex << screen_pixel(175, 150) << " beside " << screen_pixel(125, 150);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace

namespace {

const char* band_script = R"(
event.load()
    window.create(1, "", 0, 1)
    window.1.image.load("ROOT/green.bmp")
    window.1.pos(100, 100)
    window.create(1, "", 0, 0)
    window.2.image.load("ROOT/blue.bmp")
    window.2.pos(150, 100)
    window.2.bringtofront()
    window.create(1, "", 0, 0)
    window.3.image.load("ROOT/yellow.bmp")
    window.3.pos(400, 100)
    window.create(1, "", 0, 0)
    window.4.image.load("ROOT/blue.bmp")
    window.4.pos(450, 100)
    window.4.zorder("bottom")
    system.message("stacked")
event.end()
)";

TEST_F(WindowDesktop, StayOnTopBandAndZOrderUnderAWindowManager)
{
    if (!x.start_window_manager("openbox"))
        GTEST_SKIP() << "no window manager: " << x.error();
    std::string text = band_script;
    for (size_t at; (at = text.find("ROOT")) != std::string::npos;)
        text.replace(at, 4, root.path());
    EngineProcess engine({"--print-boxes", "--timeout", "60", root.write("band.rks", text)}, root.path(), x.display());
    ASSERT_TRUE(engine.wait_for_line("stacked", 30)) << engine.out() << engine.err();
    // An ordinary window brought to the front stays below one that stays on top.
    EXPECT_TRUE(settles([&] { return screen_pixel(175, 150) == Green; })) << std::hex << screen_pixel(175, 150);
    // "bottom" sends a window behind the ordinary windows.
    EXPECT_TRUE(settles([&] { return screen_pixel(475, 150) == Yellow; })) << std::hex << screen_pixel(475, 150);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace

namespace {

const char* through_script = R"(
event.load()
    window.create(1, "", 0, 1, 0, 0)
    window.1.image.load("ROOT/green.bmp")
    window.1.pos(300, 300)
    window.create(1, "", 0, 1, 0, 0)
    window.2.image.load("ROOT/red.bmp")
    window.2.pos(300, 300, 50, 100)
    window.2.transparency("", 255, 1)
    system.message("placed")
event.end()

event.mouse:click()
    system.message("click " window.eventauthor())
event.end()
)";

TEST_F(WindowDesktop, ClickThroughPassesTheWindowManagersFrameToo)
{
    if (!x.start_window_manager("openbox"))
        GTEST_SKIP() << "no window manager: " << x.error();
    std::string text = through_script;
    for (size_t at; (at = text.find("ROOT")) != std::string::npos;)
        text.replace(at, 4, root.path());
    EngineProcess engine({"--print-boxes", "--timeout", "60", root.write("through.rks", text)}, root.path(),
                         x.display());
    ASSERT_TRUE(engine.wait_for_line("placed", 30)) << engine.out() << engine.err();
    ASSERT_TRUE(settles([&] { return screen_pixel(325, 350) == Red && screen_pixel(375, 350) == Green; }))
        << std::hex << screen_pixel(325, 350) << " " << screen_pixel(375, 350);
    std::string click = "DISPLAY=" + x.display() + " xdotool mousemove 325 350 click 1 >/dev/null 2>&1";
    ASSERT_EQ(std::system(click.c_str()), 0);
    EXPECT_TRUE(engine.wait_for_line("click 1", 20)) << engine.out();
    EXPECT_EQ(engine.out().find("click 2"), std::string::npos);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace
