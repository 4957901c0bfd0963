// The engine window under a real X server: mouse and keyboard events, the
// right-click end, and texts and numbers sent between engines.
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace ruk::test;

namespace {

const char* window_script = R"(
event.initialize()
    window.main.pos.now(40, 40, 200, 150)
    window.main.autoclose(0, 1)
event.end()

event.load()
    system.message("ready " window.main.handle())
event.end()

event.mouse:down()
    system.message("mouse:down")
event.end()
event.mouse:up()
    system.message("mouse:up")
event.end()
event.mouse:click()
    system.message("mouse:click")
event.end()
event.mouse:wheel:down()
    system.message("mouse:wheel:down")
event.end()
event.keyboard:down()
    system.message("keyboard:down")
event.end()
event.keyboard:press()
    system.message("keyboard:press")
event.end()
event.keyboard:up()
    system.message("keyboard:up")
event.end()
event.unload()
    system.message("unload")
event.end()
event.terminate()
    system.message("terminate")
event.end()
)";

const char* receiver_script = R"(
event.load()
    system.message("ready " window.main.handle())
event.end()

event.extern:received()
    system.message("received [" extern.received() "] from " extern.remotehandle())
event.end()

event.extern:received:num()
    system.message("numbers " extern.receivednum(0) " " extern.receivednum(1) " " extern.receivednum(2) " " extern.receivednum(3))
event.end()
)";

// Sends "H", lets the test interrupt, then "i" and four numbers.
const char* sender_script = R"(
event.load()
    &to = app.getparam(1)
    extern.sendstart(&to)
    extern.send(&to, 72)
    system.message("half sent by " window.main.handle())
    doevent.rest(1500)
event.end()

event.rest()
    extern.send(&to, 105)
    extern.sendfinish(&to)
    extern.sendnum(&to, 1, 2, 3, 70000)
    system.message("sent")
    app.close()
event.end()
)";

struct EngineWindow : ::testing::Test {
    XvfbServer x;
    TempRoot root;

    void SetUp() override
    {
        if (!XvfbServer::installed("Xvfb") || !XvfbServer::installed("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        ASSERT_TRUE(x.running()) << x.error();
    }

    int xdotool(const std::string& args) { return x.xdotool(args); }

    int xsend(const std::string& args)
    {
        std::string command = "DISPLAY=" + x.display() + " " + built_program("ruk_xsend") + " " + args;
        return std::system(command.c_str());
    }

    // The number after "PREFIX " on the last line read.
    static std::string value_after(const std::string& out, const std::string& prefix)
    {
        size_t at = out.rfind(prefix);
        if (at == std::string::npos)
            return {};
        std::istringstream in(out.substr(at + prefix.size()));
        std::string value;
        in >> value;
        return value;
    }
};

} // namespace

TEST_F(EngineWindow, MouseAndKeyboardEventsAndRightClickEnds)
{
    std::string script = root.write("win.rks", window_script);
    EngineProcess engine({"--print-boxes", "--timeout", "60", script}, root.path(), x.display());
    // Wait until the window exists and was loaded.
    for (int i = 0; i < 300 && engine.out().find("ready ") == std::string::npos; ++i)
        engine.wait_for_line("never", 0.05);
    ASSERT_NE(engine.out().find("ready "), std::string::npos) << engine.err();

    xdotool("mousemove 100 100 click 1");
    ASSERT_TRUE(engine.wait_for_line("mouse:click", 20)) << engine.out();
    EXPECT_NE(engine.out().find("mouse:down\nmouse:up\nmouse:click\n"), std::string::npos) << engine.out();

    xdotool("click 5");
    EXPECT_TRUE(engine.wait_for_line("mouse:wheel:down", 20)) << engine.out();

    // Held down past the repeat delay: one key-down, characters, one key-up.
    xdotool("keydown a sleep 1 keyup a");
    ASSERT_TRUE(engine.wait_for_line("keyboard:up", 20)) << engine.out();
    const std::string& out = engine.out();
    size_t downs = 0, presses = 0;
    for (size_t at = 0; (at = out.find("keyboard:down\n", at)) != std::string::npos; ++at)
        ++downs;
    for (size_t at = 0; (at = out.find("keyboard:press\n", at)) != std::string::npos; ++at)
        ++presses;
    EXPECT_EQ(downs, 1u) << out;
    EXPECT_GE(presses, 1u);

    // Escape does not close (autoclose 0), a right click ends the engine.
    xdotool("key Escape");
    xdotool("click 3");
    EXPECT_EQ(engine.wait(30), 0);
    EXPECT_NE(engine.out().find("unload\nterminate\n"), std::string::npos) << engine.out();
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineWindow, SigtermEndsAnEngineWhoseDialogIsOpen)
{
    std::string script = root.write("dialog/dialog.rks", R"(
event.load()
    &answer = system.dialog("Question", "Yes, no or cancel?", 4)
event.end()
)");
    EngineProcess engine({"--timeout", "60", script}, root.path(), x.display());
    // The box is up once a window titled "Question" exists.
    for (int i = 0; i < 200 && xdotool("search --name Question") != 0; ++i)
        engine.wait_for_line("never", 0.05);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(10), 0);
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineWindow, TextTransferSurvivesAnInterruptingSender)
{
    std::string receiver_path = root.write("receiver/receiver.rks", receiver_script);
    std::string sender_path = root.write("sender/sender.rks", sender_script);
    EngineProcess receiver({"--print-boxes", "--timeout", "60", receiver_path}, root.path(), x.display());
    for (int i = 0; i < 300 && receiver.out().find("ready ") == std::string::npos; ++i)
        receiver.wait_for_line("never", 0.05);
    std::string handle = value_after(receiver.out(), "ready ");
    ASSERT_FALSE(handle.empty()) << receiver.err();

    // Characters before any start are ignored.
    xsend(handle + " 0x8001 999 88");
    EngineProcess sender({"--print-boxes", "--timeout", "60", sender_path, handle}, root.path(), x.display());
    for (int i = 0; i < 300 && sender.out().find("half sent by ") == std::string::npos; ++i)
        sender.wait_for_line("never", 0.05);
    std::string sender_handle = value_after(sender.out(), "half sent by ");
    ASSERT_FALSE(sender_handle.empty()) << sender.err();

    // A second sender starts, sends and finishes in the middle: all ignored.
    xsend(handle + " 0x8001 222 65000 0x8001 222 88 0x8001 222 89 0x8001 222 66000");

    EXPECT_EQ(sender.wait(30), 0) << sender.err();
    ASSERT_TRUE(receiver.wait_for_line("numbers 1 2 3 4464", 20)) << receiver.out();
    EXPECT_NE(receiver.out().find("received [Hi] from " + sender_handle + "\n"), std::string::npos) << receiver.out();

    // The end request closes the receiver.
    xsend(handle + " 0x8004 0 0");
    EXPECT_EQ(receiver.wait(30), 0);
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineWindow, ABoxInInitializeLetsItFinishBeforeLoad)
{
    // The order is kept in a file: a printed message would be a box too.
    std::string script = root.write("startbox/startbox.rks", R"(
event.initialize()
    &order = "initialize"
    system.dialog("Startup", "Go on?", 0)
    &order = &order " box-closed"
event.end()
event.load()
    &order = &order " load"
    disk.file.save(app.getparam(1), &order)
    app.close()
event.end()
)");
    const std::string order_file = root.path() + "/order.txt";
    EngineProcess engine({"--timeout", "60", script, order_file}, root.path(), x.display());
    bool shown = false;
    for (int i = 0; i < 300 && !shown; ++i) {
        shown = xdotool("search --name Startup") == 0;
        if (!shown)
            engine.wait_for_line("never", 0.05);
    }
    ASSERT_TRUE(shown) << engine.err();
    // Long enough for the engine window's first tick, had it been running.
    engine.wait_for_line("never", 0.3);
    xdotool("search --name Startup windowfocus --sync");
    xdotool("key Return");
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
    std::ifstream in(order_file);
    std::string order;
    std::getline(in, order);
    EXPECT_EQ(order, "initialize box-closed load");
}
