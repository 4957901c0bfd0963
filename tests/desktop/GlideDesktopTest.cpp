// Dragging, clicking and throwing script windows with synthetic pointer input on a real X server.
#include "graphics/BmpFile.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

// Xlib last: its macros clash with the engine's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#undef None // Xlib's macro would hide PictureError::None

using namespace ruk;
using namespace ruk::test;

namespace {

// Window 1 is a 100 x 100 square at (100, 100) titled "glider"; its events
// print what happened. A box ends a drag, so the press is only noted, and
// printed with the release.
const char* glide_script = R"(
event.load()
    window.main.pos(0, 0, 10, 10)
    &pressed = "none"
    SETUP
    window.create(1, "", 1)
    window.1.image.load("ROOT/blue.bmp")
    window.1.pos(100, 100)
    window.1.title("glider")
    anim.1.sensibility(SENSIBILITY)
    anim.1.friction(20)
    system.message("ready")
event.end()

event.mouse:down()
    &pressed = window.eventauthor()
event.end()

event.mouse:up()
    system.message("down " &pressed)
    system.message("up " window.eventauthor() " at " window.1.left() " " window.1.top())
event.end()

event.mouse:click()
    system.message("click " window.eventauthor())
event.end()

event.anim:start()
    system.message("start " window.eventauthor())
event.end()

event.anim:end()
    system.message("end " window.eventauthor() " at " window.1.left() " " window.1.top())
event.end()
)";

XvfbServer& shared_server()
{
    static XvfbServer* server = new XvfbServer(1280, 1024);
    return *server;
}

struct Point {
    int x = 0;
    int y = 0;
};

struct GlideDesktop : ::testing::Test {
    TempRoot root;
    Display* display = nullptr;

    void SetUp() override
    {
        if (!XvfbServer::installed("Xvfb"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(shared_server().running()) << shared_server().error();
        display = XOpenDisplay(shared_server().display().c_str());
        ASSERT_NE(display, nullptr);
        int event_base, error_base, major, minor;
        if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor))
            GTEST_SKIP() << "the X server has no XTest extension";
        Bitmap picture(100, 100);
        picture.fill(0xFF0000);
        ASSERT_EQ(BmpFile::save(root.path() + "/blue.bmp", picture, 24), PictureError::None);
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    std::string script(const std::string& sensibility, const std::string& setup = "")
    {
        std::string text = glide_script;
        text.replace(text.find("ROOT"), 4, root.path());
        text.replace(text.find("SENSIBILITY"), 11, sensibility);
        text.replace(text.find("SETUP"), 5, setup);
        return root.write("glide.rks", text);
    }

    static void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    // Each pointer step is its own motion event: the toolkit would merge
    // steps that arrive together.
    void pointer_to(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
        pause(30);
    }
    void button(bool down)
    {
        XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
        XSync(display, False);
        pause(30);
    }

    // Where the X server has the top-level window with this title, or
    // (-1, -1) when there is none.
    Point window_position(const char* title)
    {
        Window root_window = DefaultRootWindow(display), parent, *children = nullptr;
        unsigned int count = 0;
        Point found{-1, -1};
        if (!XQueryTree(display, root_window, &root_window, &parent, &children, &count))
            return found;
        for (unsigned int i = 0; i < count; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                if (std::string(name) == title) {
                    Window child;
                    XTranslateCoordinates(display, children[i], root_window, 0, 0, &found.x, &found.y, &child);
                }
                XFree(name);
            }
        }
        if (children)
            XFree(children);
        return found;
    }
};

TEST_F(GlideDesktop, AClickWithoutMovementIsDownUpAndClick)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script("100")}, root.path(), shared_server().display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    pointer_to(150, 150);
    button(true);
    pause(250);
    button(false);
    EXPECT_TRUE(engine.wait_for_line("down 1", 10)) << engine.out();
    EXPECT_TRUE(engine.wait_for_line("up 1 at 100 100", 10)) << engine.out();
    EXPECT_TRUE(engine.wait_for_line("click 1", 10)) << engine.out();
    EXPECT_EQ(engine.out().find("start 1"), std::string::npos);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

TEST_F(GlideDesktop, ADragFollowsThePointerOnlyAfterTheDelay)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script("-1")}, root.path(), shared_server().display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();

    // Moved and released at once: the window stays, and that is a click.
    pointer_to(150, 150);
    button(true);
    pointer_to(170, 160);
    button(false);
    EXPECT_TRUE(engine.wait_for_line("up 1 at 100 100", 10)) << engine.out();
    EXPECT_TRUE(engine.wait_for_line("click 1", 10)) << engine.out();

    // After the delay the window goes with the pointer, on screen too.
    pointer_to(150, 150);
    button(true);
    pause(250);
    pointer_to(170, 160);
    pointer_to(200, 190);
    button(false);
    EXPECT_TRUE(engine.wait_for_line("up 1 at 150 140", 10)) << engine.out();
    const Point on_screen = window_position("glider");
    EXPECT_EQ(on_screen.x, 150);
    EXPECT_EQ(on_screen.y, 140);
    pause(200);
    // Without a sensibility nothing is thrown, and a drag is no click.
    EXPECT_EQ(engine.out().find("start 1"), std::string::npos) << engine.out();
    EXPECT_EQ(engine.out().find("click 1", engine.out().find("up 1 at 150 140")), std::string::npos);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

TEST_F(GlideDesktop, AFingerDrivenDragFollowsAtOnce)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script("-1", "mouse.fingerdriven(1)")}, root.path(),
                         shared_server().display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    pointer_to(150, 150);
    button(true);
    pointer_to(170, 160);
    button(false);
    EXPECT_TRUE(engine.wait_for_line("up 1 at 120 110", 10)) << engine.out();
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
    EXPECT_EQ(engine.out().find("click 1"), std::string::npos);
}

TEST_F(GlideDesktop, AHorizontalLastMovementThrowsNothing)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script("100")}, root.path(), shared_server().display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    pointer_to(150, 150);
    button(true);
    pause(250);
    pointer_to(170, 170);
    pointer_to(190, 170);
    pointer_to(210, 170);
    button(false);
    EXPECT_TRUE(engine.wait_for_line("up 1 at 160 120", 10)) << engine.out();
    pause(300);
    EXPECT_EQ(engine.out().find("start 1"), std::string::npos) << engine.out();
    EXPECT_EQ(engine.out().find("click 1"), std::string::npos) << engine.out();
    EXPECT_EQ(window_position("glider").x, 160);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

// The last step of the pointer, 10 pixels down and right, throws the
// window that way at 46 pixels a tick, 2 less on each tick: it glides
// about 360 pixels in 23 ticks and stops.
TEST_F(GlideDesktop, ADiagonalReleaseThrowsTheWindowAcrossTheScreen)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script("200")}, root.path(), shared_server().display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    pointer_to(150, 150);
    button(true);
    pause(250);
    pointer_to(160, 160);
    pointer_to(170, 170);
    pointer_to(180, 180);
    button(false);
    EXPECT_TRUE(engine.wait_for_line("up 1 at 130 130", 10)) << engine.out();
    EXPECT_TRUE(engine.wait_for_line("start 1", 10)) << engine.out();

    // The window moves on the screen while it glides, not only at the end.
    bool seen_gliding = false;
    for (int i = 0; i < 100 && !seen_gliding; ++i) {
        const Point p = window_position("glider");
        seen_gliding = p.x > 140 && p.x < 470 && p.x == p.y;
        pause(5);
    }
    EXPECT_TRUE(seen_gliding);

    int left = 0, top = 0;
    const auto ended = [&] {
        const size_t at = engine.out().find("end 1 at ");
        return at != std::string::npos && std::sscanf(engine.out().c_str() + at, "end 1 at %d %d", &left, &top) == 2;
    };
    for (int i = 0; i < 100 && !ended(); ++i)
        engine.wait_for_line("never printed", 0.05);
    ASSERT_TRUE(ended()) << engine.out();
    EXPECT_GT(left, 450);
    EXPECT_EQ(left, top);
    pause(100);
    const Point on_screen = window_position("glider");
    EXPECT_EQ(on_screen.x, left);
    EXPECT_EQ(on_screen.y, top);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace

namespace {

const char* headless_script = R"(
event.load()
    window.create(1, "", 0)
    window.1.pos(100, 100, 50, 50)
    &moves = 0
    anim.1.direction(0)
    anim.1.sensibility(1)
    anim.1.friction(10)
    anim.1.speed(5)
event.end()

event.anim:move()
    &moves = &moves + 1
event.end()

event.anim:end()
    system.message("ended after " &moves " at " window.1.left() " " window.1.top())
    app.close()
event.end()
)";

// No display: the offscreen platform runs the same timer, and the window's
// geometry follows its target.
TEST(GlideHeadless, AWindowGlidesAndStopsWithoutADisplay)
{
    TempRoot root;
    EngineProcess engine({"--headless", "--timeout", "30", root.write("headless.rks", headless_script)}, root.path());
    EXPECT_TRUE(engine.wait_for_line("ended after 5 at 110 100", 20)) << engine.out() << engine.err();
    EXPECT_EQ(engine.wait(20), 0);
}

} // namespace
