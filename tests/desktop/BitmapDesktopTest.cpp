// Bitmaps on a real X server, read back from the screen: painted parts, screen captures, outlines from off-screen bitmaps.
#include "graphics/BmpFile.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef None // Xlib's macro would hide PictureError::None

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

using namespace ruk;
using namespace ruk::test;

namespace {

constexpr uint32_t Black = 0, Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, Yellow = 0x00FFFF;

struct BitmapDesktop : ::testing::Test {
    XvfbServer x;
    TempRoot root;
    Display* display = nullptr;

    void SetUp() override
    {
        if (!XvfbServer::installed("Xvfb"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(x.running()) << x.error();
        display = XOpenDisplay(x.display().c_str());
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    // The colour on the screen at (x, y), red in the low byte.
    uint32_t screen_pixel(int px, int py) { return XvfbServer::root_pixel(display, px, py); }

    // Waits (bounded) until the check holds; false when it never did.
    static bool settles(const std::function<bool()>& check)
    {
        for (int i = 0; i < 200; ++i) {
            if (check())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Writes the script with ROOT replaced by the test's folder.
    std::string script(std::string text)
    {
        for (size_t at; (at = text.find("ROOT")) != std::string::npos;)
            text.replace(at, 4, root.path());
        return root.write("bitmaps.rks", text);
    }
};

// The engine window shows four 10 x 10 squares at its top-left corner; its
// timer paints those 20 x 20 pixels again, stretched to 80 x 40, at
// (100, 100). Painting a part again and again changes nothing, so whatever
// moment the window first shows, the screen settles on one picture.
const char* paint_script = R"(
event.initialize()
    window.main.pos(0, 0, 200, 200)
    draw.main.rect(0, 0, 10, 10, 255)
    draw.main.rect(10, 0, 10, 10, 65280)
    draw.main.rect(0, 10, 10, 10, 16711680)
    draw.main.rect(10, 10, 10, 10, 65535)
    window.main.timer.delay(100)
    window.main.timer.enabled(1)
event.end()

event.window:timer()
    draw.main.paint(0, 0, 20, 20, 100, 100, 80, 40)
event.end()
)";

TEST_F(BitmapDesktop, PaintWithARectangleShowsExactlyTheStretchedPart)
{
    EngineProcess engine({"--print-boxes", "--timeout", "60", script(paint_script)}, root.path(), x.display());
    // Each source pixel becomes 4 x 2 screen pixels: the squares' borders
    // fall exactly on columns 139/140 and rows 119/120.
    struct Expected {
        int x, y;
        uint32_t colour;
    };
    const Expected stretched[] = {
        {100, 100, Red},    {139, 119, Red},    {140, 100, Green}, {179, 119, Green},
        {100, 120, Blue},   {139, 139, Blue},   {140, 120, Yellow}, {179, 139, Yellow},
        {180, 100, Black},  {140, 140, Black},  {99, 100, Black},  {5, 5, Red},
        {15, 15, Yellow},   {25, 5, Black},
    };
    const bool settled = settles([&] {
        for (const Expected& e : stretched)
            if (screen_pixel(e.x, e.y) != e.colour)
                return false;
        return true;
    });
    EXPECT_TRUE(settled) << engine.err();
    for (const Expected& e : stretched)
        EXPECT_EQ(screen_pixel(e.x, e.y), e.colour) << "at " << e.x << ", " << e.y;
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0) << engine.err();
}

// Window 1 shows a picture red on the left, blue on the right; the timer
// captures where it stands into bitmap -1 and says what it found. Window 2
// takes its outline from a green ellipse on black in bitmap -2.
const char* capture_script = R"(
event.initialize()
    window.main.pos(0, 0, 10, 10)
    window.create(1, "", 0)
    window.1.image.load("ROOT/halves.bmp")
    window.1.pos(300, 200)
    draw.-2.size(60, 40)
    draw.-2.ellipse(0, 0, 60, 40, 65280)
    window.create(1, "", 0)
    window.2.pos(500, 200, 60, 40)
    draw.2.rect(0, 0, 60, 40, 65535)
    window.2.shape.from.-2()
    screen.copyto.-5(2147483000, 2147483000, 2147483000, 2147483000, -2147483000, 5)
    system.message("far " draw.-5.width() " " draw.-5.height())
    window.main.timer.delay(100)
    window.main.timer.enabled(1)
event.end()

event.window:timer()
    screen.copyto.-1(300, 200, 40, 20, 2, 1)
    system.message("copy " draw.-1.width() " " draw.-1.height() " " draw.-1.getpixel(2, 1, 21, 19, 22, 1, 39, 19, 0, 0))
event.end()
)";

TEST_F(BitmapDesktop, CapturesAndOutlinesReachOffScreenBitmaps)
{
    Bitmap halves(40, 20);
    halves.fill(Red);
    for (int py = 0; py < 20; ++py)
        for (int px = 20; px < 40; ++px)
            halves.set_pixel(px, py, Blue);
    ASSERT_EQ(BmpFile::save(root.path() + "/halves.bmp", halves, 24), PictureError::None);
    EngineProcess engine({"--print-boxes", "--timeout", "60", script(capture_script)}, root.path(), x.display());

    // A rectangle far off the screen, too large for any bitmap, copies nothing.
    EXPECT_TRUE(engine.wait_for_line("far 1 1", 30)) << engine.out() << engine.err();
    // The bitmap grew to 40 x 20 and holds the window's pixels from (2, 1)
    // on; what lands beyond its edge is dropped, and (0, 0) stays black.
    const std::string red = std::to_string(Red), blue = std::to_string(Blue);
    EXPECT_TRUE(engine.wait_for_line("copy 40 20 " + red + "^^" + red + "^^" + blue + "^^" + blue + "^^0", 30))
        << engine.out() << engine.err();

    // The outline is the ellipse: its middle shows the window, its corners
    // what lies behind.
    EXPECT_TRUE(settles([&] { return screen_pixel(530, 220) == Yellow; })) << std::hex << screen_pixel(530, 220);
    EXPECT_NE(screen_pixel(501, 201), Yellow);
    EXPECT_NE(screen_pixel(558, 238), Yellow);
    EXPECT_EQ(screen_pixel(502, 220), Yellow);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(20), 0) << engine.err();
}

} // namespace
