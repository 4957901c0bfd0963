// The input families on a real X server: pointer, synthetic keys and clicks, key states,
// display modes and screen pixels; touch and gesture cancelling in-process.
#include "graphics/X11Input.h"
#include "host/HostState.h"
#include "host/KeyCodes.h"
#include "host/TouchFilter.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <QApplication>
#include <QPointingDevice>
#include <QTouchEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

// Xlib last: its macros (None, Bool) clash with the test and Qt headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

using namespace ruk;
using namespace ruk::test;

namespace {

XvfbServer& shared_server()
{
    static XvfbServer* server = new XvfbServer(1024, 768);
    return *server;
}

struct InputDesktop : ::testing::Test {
    void SetUp() override
    {
        if (!XvfbServer::installed("Xvfb"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(shared_server().running()) << shared_server().error();
    }
};

} // namespace

TEST_F(InputDesktop, ScreenPointerAndKeysThroughXTest)
{
    X11Input input(shared_server().display());
    ASSERT_TRUE(input.available());
    std::vector<WindowRect> monitors = input.monitors();
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors[0].width, 1024);
    EXPECT_EQ(monitors[0].height, 768);
    // No window manager publishes a work area: the whole primary screen.
    EXPECT_EQ(input.work_area().width, 1024);
    EXPECT_EQ(input.work_area().height, 768);

    input.warp_pointer(321, 123);
    EXPECT_EQ(input.pointer(), std::make_pair(321, 123));

    const std::vector<unsigned long> shift = x11_keysyms_from_virtual(16);
    ASSERT_EQ(shift.size(), 2u);
    EXPECT_FALSE(input.key_down(shift));
    ASSERT_TRUE(input.fake_key(XK_Shift_R, true));
    EXPECT_TRUE(input.key_down(shift));
    EXPECT_FALSE(input.key_down(x11_keysyms_from_virtual('A')));
    input.fake_key(XK_Shift_R, false);
    EXPECT_FALSE(input.key_down(shift));

    // Caps Lock's light follows a press and release.
    const bool before = input.indicator_on("Caps Lock");
    input.fake_key(XK_Caps_Lock, true);
    input.fake_key(XK_Caps_Lock, false);
    XSync(input.display(), False);
    EXPECT_NE(input.indicator_on("Caps Lock"), before);
    input.fake_key(XK_Caps_Lock, true);
    input.fake_key(XK_Caps_Lock, false);

    input.fake_button(1, true);
    EXPECT_TRUE(input.button_down(1));
    input.fake_button(1, false);
    EXPECT_FALSE(input.button_down(1));

    EXPECT_FALSE(input.pixel(-1, 5).has_value());
    EXPECT_FALSE(input.pixel(1024, 5).has_value());
}

TEST_F(InputDesktop, CaptureReadsWhatAWindowShows)
{
    X11Input input(shared_server().display());
    Display* d = input.display();
    ASSERT_NE(d, nullptr);
    // A window whose background is pure red (0xFF0000 in the server's order).
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0xFF0000;
    attributes.override_redirect = True;
    Window w = XCreateWindow(d, DefaultRootWindow(d), 50, 60, 30, 20, 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWBackPixel | CWOverrideRedirect, &attributes);
    XMapRaised(d, w);
    XSync(d, False);
    EXPECT_EQ(input.pixel(55, 65), 0x0000FFu); // red in the low byte
    ScreenImage image = input.capture(WindowRect{40, 60, 20, 5});
    ASSERT_EQ(image.width, 20);
    ASSERT_EQ(image.height, 5);
    EXPECT_NE(image.pixels[0], 0x0000FFu); // left of the window
    EXPECT_EQ(image.pixels[10], 0x0000FFu);
    EXPECT_EQ(image.pixels[4 * 20 + 19], 0x0000FFu);
    // A rectangle reaching off the screen is cut to the screen.
    EXPECT_EQ(input.capture(WindowRect{1000, 760, 100, 100}).width, 24);
    XDestroyWindow(d, w);
    XSync(d, False);
}

TEST_F(InputDesktop, DisplayModeChangesAndComesBack)
{
    X11Input input(shared_server().display());
    Display* d = input.display();
    ASSERT_NE(d, nullptr);
    // Give the screen a second mode, 800 x 600.
    Window root = DefaultRootWindow(d);
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
    ASSERT_NE(res, nullptr);
    ASSERT_GE(res->noutput, 1);
    char name[] = "800x600";
    XRRModeInfo mode{};
    mode.width = 800;
    mode.height = 600;
    mode.dotClock = 800 * 600 * 60;
    mode.hTotal = 800;
    mode.vTotal = 600;
    mode.name = name;
    mode.nameLength = 7;
    RRMode id = XRRCreateMode(d, root, &mode);
    XRRAddOutputMode(d, res->outputs[0], id);
    XRRFreeScreenResources(res);
    XSync(d, False);

    auto sizes = input.mode_sizes();
    ASSERT_NE(std::find(sizes.begin(), sizes.end(), std::make_pair(800, 600)), sizes.end());
    EXPECT_TRUE(input.depth_supported(24));
    EXPECT_FALSE(input.depth_supported(8));
    EXPECT_FALSE(input.switch_mode(640, 480)); // no such mode
    ASSERT_TRUE(input.switch_mode(800, 600));
    EXPECT_EQ(input.primary_screen().width, 800);
    EXPECT_EQ(input.capture(WindowRect{0, 0, 2000, 2000}).width, 800);
    input.restore_mode();
    EXPECT_EQ(input.primary_screen().width, 1024);
    EXPECT_EQ(input.capture(WindowRect{0, 0, 2000, 2000}).height, 768);

    // The end of the engine brings the mode back too.
    {
        X11Input other(shared_server().display());
        ASSERT_TRUE(other.switch_mode(800, 600));
    }
    XSync(d, False);
    EXPECT_EQ(input.primary_screen().height, 768);
}

TEST_F(InputDesktop, ScriptsDriveThePointerAndKeysOfTheEngineWindow)
{
    TempRoot root;
    std::string script = root.write("input.rks", R"(
event.initialize()
    window.main.pos.now(40, 40, 200, 150)
    window.main.autoclose(0, 0)
event.end()

event.load()
    mouse.pos(100, 90)
    system.message("pos " mouse.x() " " mouse.y() " " mouse.main.x() " " mouse.main.y())
    mouse.main.cursor("hotspot")
    mouse.cursor("none")
    mouse.cursor("normal")
    system.message("screen " screen.width() "x" screen.height() " monitors " screen.monitor.count())
    mouse.button.left.click()
event.end()

event.mouse:click()
    system.message("click over " mouse.isoverruk() " " mouse.main.isoverwindow())
    keyboard.sendkey(65)
event.end()

event.keyboard:down()
    system.message("down " keyboard.main.code() " global " keyboard.global.code())
event.end()

event.keyboard:up()
    system.message("up [" keyboard.main.char() "]")
    system.message("bad " keyboard.7.char() "|" mouse.9.x() "|")
    app.close()
event.end()
)");
    EngineProcess engine({"--print-boxes", "--timeout", "60", script}, root.path(), shared_server().display());
    EXPECT_EQ(engine.wait(60), 0) << engine.err();
    const std::string& out = engine.out();
    EXPECT_NE(out.find("pos 100 90 60 50\n"), std::string::npos) << out;
    EXPECT_NE(out.find("screen 1024x768 monitors 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("click over 1 "), std::string::npos) << out;
    EXPECT_NE(out.find("down 65 global 65\n"), std::string::npos) << out;
    EXPECT_NE(out.find("up []\n"), std::string::npos) << out;
    EXPECT_NE(out.find("bad ||\n"), std::string::npos) << out;
}

// Touch events sent to a widget in-process, as the engine window gets them.
TEST(TouchCancel, CancelledMessagesAreMarkedHandledAndTheFlagCleared)
{
    static int argc = 1;
    static char arg0[] = "ruk_desktop_tests";
    static char* argv[] = {arg0, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = qApp ? nullptr : new QApplication(argc, argv);
    (void)app;

    struct Counter : QWidget {
        int touches = 0;
        bool event(QEvent* e) override
        {
            if (e->type() == QEvent::TouchBegin)
                ++touches;
            return QWidget::event(e);
        }
    } widget;
    widget.setAttribute(Qt::WA_AcceptTouchEvents);

    HostState state;
    std::vector<std::string> raised;
    bool cancel_in_event = false;
    TouchFilter filter(state, [&](const char* name) {
        raised.emplace_back(name);
        if (cancel_in_event)
            state.gesture_cancel = 1;
    });
    widget.installEventFilter(&filter);

    auto send = [&](QEvent::Type type) {
        QEventPoint point(1, type == QEvent::TouchEnd ? QEventPoint::Released : QEventPoint::Pressed,
                          QPointF(5, 5), QPointF(5, 5));
        QTouchEvent touch(type, QPointingDevice::primaryPointingDevice(), Qt::NoModifier, {point});
        QCoreApplication::sendEvent(&widget, &touch);
    };

    send(QEvent::TouchBegin);
    EXPECT_EQ(widget.touches, 1);
    EXPECT_EQ(state.gesture_value, 1u);

    // Cancelled inside "touch:start": the window never sees the message.
    cancel_in_event = true;
    send(QEvent::TouchBegin);
    EXPECT_EQ(widget.touches, 1);
    EXPECT_EQ(state.gesture_cancel, 0);
    EXPECT_EQ(state.gesture_value, 2u);

    // Set before any message: the next one is handled, then no more.
    cancel_in_event = false;
    state.gesture_cancel = 1;
    send(QEvent::TouchBegin);
    send(QEvent::TouchBegin);
    EXPECT_EQ(widget.touches, 2);
    EXPECT_EQ(raised, (std::vector<std::string>{"touch:start", "touch:start", "touch:start", "touch:start"}));
}
