// Other programs' windows and engine messages under a private Xvfb, with and without a window manager.
#include "core/Engine.h"
#include "host/HostState.h"
#include "system/Extern.h"
#include "system/X11Desktop.h"
#include "tests/desktop/XvfbServer.h"

// GoogleTest before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xproto.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <optional>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ruk;
using ruk::test::XvfbServer;

namespace {

using Clock = std::chrono::steady_clock;

// Waits, at most `timeout_ms`, until `done` holds.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 5000)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The next event of this type on the connection; nothing after `timeout_ms`.
std::optional<XEvent> next_event(Display* d, int type, int timeout_ms = 3000)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == type)
                return event;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
    }
}

// The event as xcb hands it to the engine's native event filter.
xcb_client_message_event_t as_xcb(const XClientMessageEvent& e)
{
    xcb_client_message_event_t raw{};
    raw.response_type = XCB_CLIENT_MESSAGE | (e.send_event ? 0x80 : 0);
    raw.format = static_cast<uint8_t>(e.format);
    raw.window = static_cast<uint32_t>(e.window);
    raw.type = static_cast<uint32_t>(e.message_type);
    for (int i = 0; i < 5; ++i)
        raw.data.data32[i] = static_cast<uint32_t>(e.data.l[i]);
    return raw;
}

struct Message {
    uint32_t message, wparam, lparam;
    bool operator==(const Message&) const = default;
};

// Reads `count` engine messages that arrived at the test connection.
std::vector<Message> receive(Display* d, X11Desktop& desktop, size_t count)
{
    std::vector<Message> got;
    while (got.size() < count) {
        auto event = next_event(d, ClientMessage);
        if (!event)
            break;
        xcb_client_message_event_t raw = as_xcb(event->xclient);
        Message m{};
        if (desktop.decode_engine_message(&raw, m.message, m.wparam, m.lparam))
            got.push_back(m);
    }
    return got;
}

// The test's own connection, on which it creates the windows it looks at.
class Client {
public:
    explicit Client(const std::string& display) : m_display(XOpenDisplay(display.c_str())) {}
    ~Client()
    {
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    Display* get() const { return m_display; }
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    // A plain window with a UTF-8 title (and the same bytes as WM_NAME).
    Window window(const std::string& title, int x, int y, unsigned w, unsigned h, bool map = true,
                  Window parent = None)
    {
        Window win = XCreateSimpleWindow(m_display, parent == None ? DefaultRootWindow(m_display) : parent, x, y, w,
                                         h, 0, 0, 0);
        if (!title.empty()) {
            set_bytes(win, "_NET_WM_NAME", "UTF8_STRING", title);
            XStoreName(m_display, win, title.c_str());
        }
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = x;
        hints.y = y;
        hints.width = static_cast<int>(w);
        hints.height = static_cast<int>(h);
        XSetWMNormalHints(m_display, win, &hints);
        if (map)
            XMapWindow(m_display, win);
        XSync(m_display, False);
        return win;
    }
    void set_bytes(Window w, const char* property, const char* type, const std::string& value)
    {
        XChangeProperty(m_display, w, atom(property), atom(type), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(value.data()), static_cast<int>(value.size()));
        XSync(m_display, False);
    }
    void set_longs(Window w, const char* property, Atom type, std::initializer_list<long> values)
    {
        std::vector<long> v(values);
        XChangeProperty(m_display, w, atom(property), type, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(v.data()), static_cast<int>(v.size()));
        XSync(m_display, False);
    }

private:
    Display* m_display;
};

// Runs one "extern" command through a real engine.
class ExternScript {
public:
    ExternScript(X11Desktop& desktop)
    {
        register_extern_family(m_engine, m_state, desktop);
        m_engine.set_fallback([this](Engine& e) -> Result {
            m_fallback_calls.push_back(e.word(1) + "." + e.word(2));
            return std::nullopt;
        });
        m_engine.set_error_observer([this](const std::string& text) { m_errors.push_back(text); });
    }
    Result run(const std::string& op, const std::string& item = "", std::vector<std::string> params = {})
    {
        Command& c = m_engine.cmd();
        for (int i = 0; i < Command::WordCount; ++i)
            c.set_word(i, "");
        for (int n = 1; n <= Command::ParamCount; ++n)
            c.set_param(n, "");
        c.set_word(0, "extern");
        c.set_word(1, op);
        c.set_word(2, item);
        for (size_t n = 0; n < params.size(); ++n)
            c.set_param(static_cast<int>(n + 1), params[n]);
        return m_engine.dispatch_command();
    }
    std::string text(const std::string& op, const std::string& item = "", std::vector<std::string> params = {})
    {
        return run(op, item, std::move(params)).value_or("<nothing>");
    }
    InterEngineState& state() { return m_state; }
    std::vector<std::string> m_fallback_calls;
    std::vector<std::string> m_errors;

private:
    Engine m_engine;
    InterEngineState m_state;
};

std::string id(unsigned long window)
{
    return std::to_string(window);
}

// Runs a command line and returns its standard output.
std::string output_of(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[256];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    return out;
}

// One Xvfb for the tests without a window manager; it lives until the
// process ends (its destructor then stops it by process id).
class X11DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_server = new XvfbServer(); }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override
    {
        if (!s_server->running())
            GTEST_SKIP() << s_server->error();
        m_client.emplace(s_server->display());
        ASSERT_NE(m_client->get(), nullptr);
        m_desktop.emplace(s_server->display());
        ASSERT_TRUE(m_desktop->available());
    }
    Client& client() { return *m_client; }
    X11Desktop& desktop() { return *m_desktop; }

    static XvfbServer* s_server;
    std::optional<Client> m_client;
    std::optional<X11Desktop> m_desktop;
};
XvfbServer* X11DesktopTest::s_server = nullptr;

} // namespace

TEST(X11DesktopNoDisplay, EveryAnswerIsNeutral)
{
    X11Desktop desktop("/nonexistent/display:99");
    EXPECT_FALSE(desktop.available());
    EXPECT_EQ(desktop.find_window("x"), 0u);
    EXPECT_EQ(desktop.window_at(1, 1), 0u);
    EXPECT_EQ(desktop.desktop_window(), 0u);
    EXPECT_EQ(desktop.foreground_window(), 0u);
    EXPECT_EQ(desktop.title_of(5), "");
    EXPECT_FALSE(desktop.window_rect(5));
    EXPECT_FALSE(desktop.is_window(5));
    EXPECT_FALSE(desktop.post_message(5, MsgNumbers, 1, 2));
    EXPECT_FALSE(desktop.send_message(5, MsgNumbers, 1, 2));
    EXPECT_EQ(desktop.engine_message_atom(), 0u);
    xcb_client_message_event_t raw{};
    raw.response_type = XCB_CLIENT_MESSAGE;
    raw.format = 32;
    uint32_t m = 7, w = 7, l = 7;
    EXPECT_FALSE(desktop.decode_engine_message(&raw, m, w, l)); // no atom to match
    EXPECT_EQ(m, 7u);

    ExternScript script(desktop);
    EXPECT_EQ(script.text("get", "handle", {"x"}), "0");
    EXPECT_EQ(script.text("get", "pos", {"5"}), "0^^0^^0^^0");
    EXPECT_EQ(script.text("activate", "", {"x"}), "0");
    EXPECT_EQ(script.text("sendstart", "", {"5"}), "");
}

TEST_F(X11DesktopTest, FindsWindowsByTitleAndReadsPositions)
{
    Display* d = client().get();
    Window alpha = client().window("Alpha \xC3\x9C", 10, 20, 300, 200);
    Window hidden = client().window("Hidden one", 50, 60, 70, 80, false);
    // A WM_NAME in Latin-1 only: scripts see it as UTF-8.
    Window latin = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    XStoreName(d, latin, "Caf\xE9");
    XSync(d, False);
    // A client inside an untitled parent, as a reparenting manager leaves it.
    Window frame = client().window("", 400, 300, 120, 90);
    Window inner = client().window("Framed", 5, 7, 100, 60, true, frame);

    X11Desktop& x = desktop();
    EXPECT_EQ(x.find_window("Alpha \xC3\x9C"), alpha);
    EXPECT_EQ(x.find_window("Hidden one"), hidden);
    EXPECT_EQ(x.find_window("Caf\xC3\xA9"), latin);
    EXPECT_EQ(x.find_window("Caf\xE9"), 0u);
    EXPECT_EQ(x.find_window("Framed"), inner);
    EXPECT_EQ(x.find_window("Alpha"), 0u); // exact titles only
    EXPECT_EQ(x.title_of(latin), "Caf\xC3\xA9");
    EXPECT_EQ(x.title_of(frame), "");

    ExternScript script(x);
    EXPECT_EQ(script.text("get", "handle", {"Alpha \xC3\x9C"}), id(alpha));
    EXPECT_EQ(script.text("get", "handle", {"No such title"}), "0");
    EXPECT_EQ(script.text("get", "titlefromhandle", {id(alpha)}), "Alpha \xC3\x9C");
    EXPECT_EQ(script.text("get", "pos", {id(alpha)}), "10^^20^^300^^200");
    EXPECT_EQ(script.text("get", "pos", {id(inner)}), "405^^307^^100^^60");
    EXPECT_EQ(script.text("get", "pos", {id(hidden)}), "50^^60^^70^^80");
    EXPECT_EQ(script.text("get", "pos", {"0"}), "0^^0^^0^^0");
    EXPECT_EQ(script.text("get", "desktopwindow"), id(DefaultRootWindow(d)));
    EXPECT_EQ(script.text("isvisible", "", {id(alpha)}), "1");
    EXPECT_EQ(script.text("isvisible", "", {id(hidden)}), "0");
    EXPECT_EQ(script.text("isenabled", "", {id(hidden)}), "1");

    // The title limit cuts whole UTF-8 characters only.
    std::string long_title = "a";
    for (int i = 0; i < 300; ++i)
        long_title += "\xC3\xA9";
    Window long_one = client().window(long_title, 0, 0, 5, 5, false);
    std::string cut = script.text("get", "titlefromhandle", {id(long_one)});
    EXPECT_EQ(cut, long_title.substr(0, 511));
    EXPECT_EQ(x.find_window(long_title), long_one);
    long_title.pop_back();
    cut = long_title.substr(0, 512);
    client().set_bytes(long_one, "_NET_WM_NAME", "UTF8_STRING", "b" + long_title);
    EXPECT_EQ(script.text("get", "titlefromhandle", {id(long_one)}).size(), 510u);
}

TEST_F(X11DesktopTest, ManagedClientWinsAndClassesAreCompared)
{
    // The managed one lies below the plain one in the stacking order.
    Window managed = client().window("Twin", 30, 0, 20, 20, false);
    client().set_longs(managed, "WM_STATE", client().atom("WM_STATE"), {NormalState, 0});
    Window plain = client().window("Twin", 0, 0, 20, 20);
    EXPECT_EQ(desktop().find_window("Twin"), managed);
    Window upper = client().window("Upper twin", 0, 0, 20, 20, false);
    client().window("Upper twin", 0, 0, 20, 20, false);
    XRaiseWindow(client().get(), upper);
    XSync(client().get(), False);
    EXPECT_EQ(desktop().find_window("Upper twin"), upper);
    (void)plain;

    Window first = client().window("Classy", 0, 0, 20, 20, false);
    Window second = client().window("Classy", 0, 0, 20, 20, false);
    XClassHint hint{const_cast<char*>("rukapp"), const_cast<char*>("RukApp")};
    XSetClassHint(client().get(), second, &hint);
    XSync(client().get(), False);
    (void)first;
    ExternScript script(desktop());
    EXPECT_EQ(script.text("exists", "", {"Classy"}), "1");
    EXPECT_EQ(script.text("exists", "", {"Classy", "RukApp"}), "1");
    EXPECT_EQ(script.text("exists", "", {"Classy", "rukapp"}), "1");
    EXPECT_EQ(script.text("exists", "", {"Classy", "rukap"}), "0");
    EXPECT_EQ(script.text("exists", "", {"Classless", ""}), "0");
}

TEST_F(X11DesktopTest, VanishedWindowsGiveNegativeAnswersWithoutAborting)
{
    Display* d = client().get();
    Window gone = client().window("Gone soon", 0, 0, 30, 30);
    ASSERT_TRUE(desktop().is_window(gone));
    XDestroyWindow(d, gone);
    XSync(d, False);

    ExternScript script(desktop());
    EXPECT_EQ(script.text("ishandle", "", {id(gone)}), "0");
    EXPECT_EQ(script.text("isvisible", "", {id(gone)}), "0");
    EXPECT_EQ(script.text("isenabled", "", {id(gone)}), "0");
    EXPECT_EQ(script.text("isiconic", "", {id(gone)}), "0");
    EXPECT_EQ(script.text("openicon", "", {id(gone)}), "1");
    EXPECT_EQ(script.text("get", "titlefromhandle", {id(gone)}), "");
    EXPECT_EQ(script.text("get", "windowmodulefilename", {id(gone)}), "");
    EXPECT_EQ(script.text("get", "pos", {id(gone)}), "0^^0^^0^^0");
    EXPECT_EQ(script.text("get", "handle", {"Gone soon"}), "0");
    EXPECT_EQ(script.text("activate", "", {"Gone soon"}), "0");
    EXPECT_EQ(script.text("close", "", {"Gone soon"}), "0");
    EXPECT_EQ(script.text("postmessage", "", {id(gone), "32769", "1", "2"}), "");
    EXPECT_EQ(script.text("endtask", "", {id(gone)}), "");
    EXPECT_FALSE(desktop().send_message(static_cast<uint32_t>(gone), MsgNumbers, 1, 2));
    EXPECT_FALSE(desktop().is_window(0x7FFFFFFF));

    // The connection still answers after the errors.
    Window alive = client().window("Still here", 0, 0, 30, 30);
    EXPECT_EQ(script.text("get", "handle", {"Still here"}), id(alive));
    EXPECT_TRUE(desktop().send_message(static_cast<uint32_t>(alive), MsgNumbers, 1, 2));
    EXPECT_EQ(script.text("ishandle", "", {id(alive)}), "1");
}

TEST_F(X11DesktopTest, ModuleFileNameFollowsThePid)
{
    char self[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    Window mine = client().window("Mine", 0, 0, 10, 10, false);
    client().set_longs(mine, "_NET_WM_PID", XA_CARDINAL, {static_cast<long>(getpid())});
    Window remote = client().window("Remote", 0, 0, 10, 10, false);
    client().set_longs(remote, "_NET_WM_PID", XA_CARDINAL, {static_cast<long>(getpid())});
    client().set_bytes(remote, "WM_CLIENT_MACHINE", "STRING", "elsewhere.invalid");
    Window no_pid = client().window("No pid", 0, 0, 10, 10, false);

    ExternScript script(desktop());
    EXPECT_EQ(script.text("get", "windowmodulefilename", {id(mine)}), std::string(self, static_cast<size_t>(length)));
    EXPECT_EQ(script.text("get", "windowmodulefilename", {id(remote)}), "");
    EXPECT_EQ(script.text("get", "windowmodulefilename", {id(no_pid)}), "");
}

TEST_F(X11DesktopTest, PointFocusIconsAndCloseWithoutWindowManager)
{
    Display* d = client().get();
    Window root = DefaultRootWindow(d);
    Window target = client().window("Pointy", 600, 500, 100, 80);
    Window untitled_child = client().window("", 10, 10, 30, 30, true, target);
    Window above = client().window("Above", 650, 500, 100, 80);

    ExternScript script(desktop());
    EXPECT_EQ(script.text("get", "handlefrompoint", {"610", "510"}), id(target));
    EXPECT_EQ(script.text("get", "handlefrompoint", {"615", "515"}), id(target)); // over the untitled child
    EXPECT_EQ(script.text("get", "titlefrompoint", {"660", "510"}), "Above");
    EXPECT_EQ(script.text("get", "handlefrompoint", {"1270", "1010"}), id(root));
    EXPECT_EQ(script.text("get", "titlefrompoint", {"1270", "1010"}), "");
    (void)untitled_child;

    EXPECT_EQ(script.text("activate", "", {"Pointy"}), "1");
    EXPECT_EQ(script.text("get", "foregroundwindow"), id(target));
    EXPECT_EQ(script.text("get", "titlefrompoint", {"660", "510"}), "Pointy"); // raised
    (void)above;

    // Minimised by hand, as no manager does it here.
    Window icon = client().window("Iconified", 0, 0, 40, 40, false);
    client().set_longs(icon, "WM_STATE", client().atom("WM_STATE"), {IconicState, 0});
    EXPECT_EQ(script.text("isiconic", "", {id(icon)}), "1");
    EXPECT_EQ(script.text("isvisible", "", {id(icon)}), "1");
    EXPECT_EQ(script.text("openicon", "", {id(icon)}), "1");
    EXPECT_EQ(script.text("isiconic", "", {id(icon)}), "0");
    XWindowAttributes attributes{};
    XGetWindowAttributes(d, icon, &attributes);
    EXPECT_EQ(attributes.map_state, IsViewable);
    Window hidden_state = client().window("Hidden state", 0, 0, 40, 40, false);
    client().set_longs(hidden_state, "_NET_WM_STATE", XA_ATOM, {static_cast<long>(client().atom("_NET_WM_STATE_HIDDEN"))});
    EXPECT_EQ(script.text("isiconic", "", {id(hidden_state)}), "1");

    // Close asks a window that takes the protocol; others are left alone.
    Window closable = client().window("Closable", 0, 0, 40, 40, false);
    Atom delete_window = client().atom("WM_DELETE_WINDOW");
    XSetWMProtocols(d, closable, &delete_window, 1);
    client().window("Stubborn", 0, 0, 40, 40, false);
    XSync(d, False);
    EXPECT_EQ(script.text("close", "", {"Closable"}), "1");
    auto request = next_event(d, ClientMessage);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->xclient.window, closable);
    EXPECT_EQ(request->xclient.message_type, client().atom("WM_PROTOCOLS"));
    EXPECT_EQ(static_cast<Atom>(request->xclient.data.l[0]), delete_window);
    EXPECT_EQ(script.text("close", "", {"Stubborn"}), "1");
    EXPECT_TRUE(desktop().is_window(desktop().find_window("Stubborn")));
}

TEST_F(X11DesktopTest, EngineMessagesRoundTrip)
{
    Display* d = client().get();
    Window receiver = client().window("Receiver", 0, 0, 10, 10, false);
    Window own = client().window("Own engine", 0, 0, 10, 10, false);
    std::vector<Message> handled;
    desktop().set_own_window(static_cast<uint32_t>(own), [&](uint32_t m, uint32_t w, uint32_t l) {
        handled.push_back({m, w, l});
    });

    ExternScript script(desktop());
    std::string to = id(receiver);
    script.run("sendstart", "", {to});
    script.run("send", "", {to, "72"});
    script.run("send", "", {to, "-23"});
    script.run("sendfinish", "", {to});
    script.run("sendnum", "", {to, "1", "2", "3", "70000"});
    script.run("postmessage", "", {to, "12", "4294967295", "-1"});
    script.run("sendmessage", "", {to, "0x10"}); // not a number: 0
    script.run("endtask", "", {to});
    uint32_t w = static_cast<uint32_t>(own);
    std::vector<Message> expected = {{MsgTextTransfer, w, 65000},   {MsgTextTransfer, w, 72},
                                     {MsgTextTransfer, w, 0xFFFFFFE9}, {MsgTextTransfer, w, 66000},
                                     {MsgNumbers, 0x00020001, 0x11700003}, {12, 0xFFFFFFFF, 0xFFFFFFFF},
                                     {0, 0, 0},                     {MsgEndRequest, 0, 0}};
    EXPECT_EQ(receive(d, desktop(), expected.size()), expected);
    EXPECT_TRUE(handled.empty());

    // A message sent to the engine's own window is handled before the call returns.
    script.run("sendmessage", "", {id(own), "32773", "65537", "3"});
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0], (Message{MsgNumbers, 65537, 3}));
    // A posted one travels through the server like any other.
    script.run("postmessage", "", {id(own), "32769"});
    EXPECT_EQ(handled.size(), 1u);
    EXPECT_EQ(receive(d, desktop(), 1), (std::vector<Message>{{MsgTextTransfer, 0, 0}}));

    // The own window carries the engine mark.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, own, client().atom(EngineWindowAtomName), 0, 1, False, XA_CARDINAL, &type, &format,
                       &count, &after, &data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*reinterpret_cast<unsigned long*>(data), 1u);
    XFree(data);
}

TEST_F(X11DesktopTest, DecodeTakesOnlyEngineMessages)
{
    uint32_t atom = desktop().engine_message_atom();
    ASSERT_NE(atom, 0u);
    EXPECT_EQ(atom, client().atom(EngineMessageAtomName));
    xcb_client_message_event_t raw{};
    raw.response_type = XCB_CLIENT_MESSAGE | 0x80;
    raw.format = 32;
    raw.type = atom;
    raw.data.data32[0] = MsgTextTransfer;
    raw.data.data32[1] = 0x80000001u;
    raw.data.data32[2] = 66000;
    uint32_t m = 0, w = 0, l = 0;
    EXPECT_TRUE(desktop().decode_engine_message(&raw, m, w, l));
    EXPECT_EQ(Message({m, w, l}), (Message{MsgTextTransfer, 0x80000001u, 66000}));

    auto refused = [&](xcb_client_message_event_t e) {
        uint32_t a = 1, b = 1, c = 1;
        return !desktop().decode_engine_message(&e, a, b, c) && a == 1 && b == 1 && c == 1;
    };
    xcb_client_message_event_t other = raw;
    other.type = client().atom("WM_PROTOCOLS");
    EXPECT_TRUE(refused(other));
    other = raw;
    other.format = 8;
    EXPECT_TRUE(refused(other));
    other = raw;
    other.response_type = XCB_PROPERTY_NOTIFY;
    EXPECT_TRUE(refused(other));
    EXPECT_FALSE(desktop().decode_engine_message(nullptr, m, w, l));
}

TEST_F(X11DesktopTest, ReceivedValuesErrorsAndFallback)
{
    ExternScript script(desktop());
    script.state().received_text = "Hi";
    script.state().remote_handle = 0x1200007;
    script.state().received_numbers = {1, 2, 3, 4464};
    EXPECT_EQ(script.text("received"), "Hi");
    EXPECT_EQ(script.text("remotehandle"), "18874375");
    EXPECT_EQ(script.text("receivednum", "", {"3"}), "4464");
    EXPECT_EQ(script.text("receivednum", "", {"1+1"}), "3");
    for (const char* bad : {"4", "-1", "", "x"}) {
        script.m_errors.clear();
        EXPECT_FALSE(script.run("receivednum", "", {bad})) << bad;
        ASSERT_EQ(script.m_errors.size(), 1u) << bad;
        EXPECT_NE(script.m_errors[0].find("Invalid param ID (must be 0, 1, 2 or 3)"), std::string::npos);
    }
    EXPECT_FALSE(script.run("nosuchop"));
    EXPECT_FALSE(script.run("get", "nosuchitem"));
    EXPECT_FALSE(script.run("Received")); // words are compared exactly
    EXPECT_EQ(script.m_fallback_calls, (std::vector<std::string>{"nosuchop.", "get.nosuchitem", "Received."}));
}

TEST_F(X11DesktopTest, XsendToolFindsEnginesAndPostsInOrder)
{
    std::string tool = std::string(RUK_BIN_DIR) + "/ruk_xsend";
    if (access(tool.c_str(), X_OK) != 0)
        GTEST_SKIP() << "ruk_xsend is not built";
    Display* d = client().get();
    long pid = static_cast<long>(getpid());
    Window other = client().window("Same process", 0, 0, 10, 10, false);
    client().set_longs(other, "_NET_WM_PID", XA_CARDINAL, {pid});
    Window engine = client().window("Engine window", 0, 0, 10, 10, false);
    client().set_longs(engine, "_NET_WM_PID", XA_CARDINAL, {pid});
    client().set_longs(engine, EngineWindowAtomName, XA_CARDINAL, {1});

    std::string env = "DISPLAY=" + s_server->display() + " ";
    EXPECT_EQ(output_of(env + tool + " --find-pid " + std::to_string(pid)), id(engine) + "\n");
    // A start, text from an interrupting sender, and the first sender's text.
    std::string cmd = env + tool + " " + id(engine) + " 0x8001 7 65000 0x8001 9 65000 0x8001 9 88 0x8001 7 72";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::vector<Message> expected = {{MsgTextTransfer, 7, 65000}, {MsgTextTransfer, 9, 65000},
                                     {MsgTextTransfer, 9, 88}, {MsgTextTransfer, 7, 72}};
    EXPECT_EQ(receive(d, desktop(), expected.size()), expected);
    EXPECT_NE(std::system((env + tool + " " + id(engine) + " 1 2 >/dev/null 2>&1").c_str()), 0);
    EXPECT_NE(std::system((env + tool + " 4294967296 1 2 3 >/dev/null 2>&1").c_str()), 0);
}

// Behaviour that a window manager changes: reparenting frames, activation
// and closing through EWMH, minimising.
class X11DesktopManagedTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_server = new XvfbServer();
        if (s_server->running())
            s_manager_up = s_server->start_window_manager("openbox");
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override
    {
        if (!s_server->running())
            GTEST_SKIP() << s_server->error();
        if (!s_manager_up)
            GTEST_SKIP() << "no window manager: " << s_server->error();
        m_client.emplace(s_server->display());
        m_desktop.emplace(s_server->display());
    }
    // Waits until the manager has taken the window in (it sets WM_STATE).
    bool managed(Window w)
    {
        return wait_until([&] {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(m_client->get(), w, m_client->atom("WM_STATE"), 0, 2, False,
                               m_client->atom("WM_STATE"), &type, &format, &count, &after, &data);
            bool normal = data != nullptr && count >= 1 && *reinterpret_cast<long*>(data) == NormalState;
            if (data != nullptr)
                XFree(data);
            return normal;
        });
    }

    static XvfbServer* s_server;
    static bool s_manager_up;
    std::optional<Client> m_client;
    std::optional<X11Desktop> m_desktop;
};
XvfbServer* X11DesktopManagedTest::s_server = nullptr;
bool X11DesktopManagedTest::s_manager_up = false;

TEST_F(X11DesktopManagedTest, FramedClientsActivateMinimiseAndClose)
{
    Display* d = m_client->get();
    Window first = m_client->window("Managed one", 100, 100, 200, 150);
    Window second = m_client->window("Managed two", 400, 100, 200, 150);
    Atom delete_window = m_client->atom("WM_DELETE_WINDOW");
    XSetWMProtocols(d, second, &delete_window, 1);
    XSync(d, False);
    ASSERT_TRUE(managed(first));
    ASSERT_TRUE(managed(second));
    auto parent = [&](Window w) {
        Window root = None, up = None, *children = nullptr;
        unsigned count = 0;
        XQueryTree(d, w, &root, &up, &children, &count);
        if (children != nullptr)
            XFree(children);
        return up;
    };
    ASSERT_NE(parent(first), DefaultRootWindow(d)) << "openbox did not reparent";

    ExternScript script(*m_desktop);
    EXPECT_EQ(script.text("get", "handle", {"Managed one"}), id(first));
    auto rect = m_desktop->window_rect(static_cast<uint32_t>(first));
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->width, 200);
    EXPECT_EQ(rect->height, 150);
    // A point on the client, and one on the frame's title bar, name the client.
    std::string cx = std::to_string(rect->left + 50), cy = std::to_string(rect->top + 50);
    EXPECT_EQ(script.text("get", "handlefrompoint", {cx, cy}), id(first));
    EXPECT_EQ(script.text("get", "titlefrompoint", {cx, std::to_string(rect->top - 5)}), "Managed one");

    EXPECT_EQ(script.text("activate", "", {"Managed one"}), "1");
    EXPECT_TRUE(wait_until([&] { return script.text("get", "foregroundwindow") == id(first); }));
    EXPECT_EQ(script.text("activate", "", {"Managed two"}), "1");
    EXPECT_TRUE(wait_until([&] { return script.text("get", "foregroundwindow") == id(second); }));

    XIconifyWindow(d, first, DefaultScreen(d));
    XSync(d, False);
    EXPECT_TRUE(wait_until([&] { return script.text("isiconic", "", {id(first)}) == "1"; }));
    EXPECT_EQ(script.text("isvisible", "", {id(first)}), "1");
    EXPECT_EQ(script.text("openicon", "", {id(first)}), "1");
    EXPECT_TRUE(wait_until([&] { return script.text("isiconic", "", {id(first)}) == "0"; }));
    EXPECT_TRUE(wait_until([&] {
        XWindowAttributes a{};
        return XGetWindowAttributes(d, first, &a) != 0 && a.map_state == IsViewable;
    }));

    // The manager passes the close request on as WM_DELETE_WINDOW.
    EXPECT_EQ(script.text("close", "", {"Managed two"}), "1");
    std::optional<XEvent> request;
    while ((request = next_event(d, ClientMessage)) && request->xclient.window != second) {
    }
    ASSERT_TRUE(request) << "no close request arrived";
    EXPECT_EQ(static_cast<Atom>(request->xclient.data.l[0]), delete_window);
}
