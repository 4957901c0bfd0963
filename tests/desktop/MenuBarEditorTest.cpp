// Menu bars and editor controls in a running engine, clicked and typed into through XTest.
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <csignal>

using namespace ruk::test;

namespace {

// Window 1 at (100, 100) shows a bar whose first item is checked and an
// editor in slot 7 below the bar's strip.
const char* bar_and_editor_script = R"(
event.initialize()
    window.main.pos(0, 0, 10, 10)
    window.create(1, "", 0, 1, 0, 0)
    window.1.pos(100, 100, 400, 300)
    menu.create(20)
    menu.add.item(20, 41, FirstBarItem, 1)
    menu.add.item(20, 42, Second)
    menu.set(1, 20)
    system.message("editor " sci.7.create(1, 0, 60, 400, 240))
    sci.7.sendmessage.xs(2181, 0, "hello")
    system.message("text " sci.7.sendmessage(2183) " " sci.7.getstring(2182, 6, 5))
event.end()

event.load()
    system.message("ready")
event.end()

event.menu:click()
    system.message("click " menu.getitem() " " menu.item.checked(20, 41, "") menu.item.checked(20, 41, ""))
event.end()

event.sci:notify()
    if (sci.messagereceived() = 2001)
        system.message("char " sci.eventauthor() " " sci.charreceived() " " sci.7.getstring(2182, 99, 98))
    if.end()
event.end()
)";

struct MenuBarAndEditor : ::testing::Test {
    XvfbServer x;
    TempRoot root;

    void SetUp() override
    {
        if (!XvfbServer::installed("Xvfb") || !XvfbServer::installed("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        ASSERT_TRUE(x.running()) << x.error();
    }

    int xdotool(const std::string& args) { return x.xdotool(args); }
};

} // namespace

TEST_F(MenuBarAndEditor, ABarClickAndTypingReachTheScript)
{
    const std::string script = root.write("bar.rks", bar_and_editor_script);
    EngineProcess engine({"--print-boxes", "--timeout", "60", script}, root.path(), x.display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.out() << engine.err();
    // Created in its slot, the editor answers with the control's own results.
    EXPECT_NE(engine.out().find("editor 1\ntext 5 hello\n"), std::string::npos) << engine.out();

    // The bar's first item lies at the window's top left corner.
    xdotool("mousemove 112 110 click 1");
    ASSERT_TRUE(engine.wait_for_line("click 41 10", 20)) << engine.out() << engine.err();

    // A click puts the editor's caret at the end of its one line; a typed
    // character is added there and reported with its code.
    xdotool("mousemove 390 180 click 1");
    xdotool("type q");
    ASSERT_TRUE(engine.wait_for_line("char 7 113 helloq", 20)) << engine.out() << engine.err();
    // Tab stays in the editor (it inserts a tab instead of moving the focus).
    xdotool("key Tab");
    xdotool("type r");
    ASSERT_TRUE(engine.wait_for_line("char 7 114 helloq\tr", 20)) << engine.out() << engine.err();
    // Characters typed faster than the engine reads them are each reported,
    // in order, a repeated one too.
    xdotool("type --delay 0 sss");
    xdotool("type t");
    ASSERT_TRUE(engine.wait_for_line("char 7 116 helloq\trssst", 20)) << engine.out() << engine.err();
    const std::string out = engine.out();
    size_t repeated = 0;
    for (size_t at = out.find("char 7 115 "); at != std::string::npos; at = out.find("char 7 115 ", at + 1))
        ++repeated;
    EXPECT_EQ(repeated, 3u) << out;

    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
}

// Without a desktop editors still exist, answer their messages and notify;
// bars are set and taken away again.
TEST(HeadlessEditors, AnswerMessagesAndNotify)
{
    TempRoot root;
    const std::string script = root.write("headless.rks", R"(
event.initialize()
    window.create(1, "", 0)
    window.1.pos(10, 10, 300, 200)
    system.message(sci.4.create(1) sci.4.create(9) sci.5000.create(1))
    sci.4.sendmessage.xs(2181, 0, "abc")
    sci.4.sendmessage(2282, 50, "de")
    system.message(sci.4.getstring(2182, 99, 98) " " sci.4.sendmessage(2183) " " sci.4.sendmessage(2150, 0, 77))
    system.message("[" sci.4.sendmessage(2420, -1, "xyz") sci.4.sendmessage.ss(2001, "abc", "xyz") sci.4.getstring(2182, -40, 2) "]")
    menu.create(3)
    menu.add.item(3, 5, Five)
    system.message("[" menu.set(1, 3) menu.redraw(3) menu.set(main, 99) "]")
event.end()
event.sci:notify()
    system.message("notify " window.eventauthor() " " sci.eventauthor() " " sci.messagereceived())
    app.close()
event.end()
)");
    EngineProcess engine({"--headless", "--timeout", "30", script}, root.path());
    EXPECT_EQ(engine.wait(40), 0) << engine.err();
    // Window 9 does not exist and slot 5000 is beyond the table; the
    // appended length stops at its text; a structure message is refused;
    // negative counts and counts marked as texts reach the control as 0;
    // setting the text reports a modification (2008) from window 1.
    EXPECT_EQ(engine.out(), "100\nabcde 5 0\n[00]\n[]\nnotify 1 4 2008\n") << engine.err();
}
