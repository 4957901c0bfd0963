// Embedded browsers in a running engine, headless and on Xvfb: page-to-script calls, events, the document and lazy loading.
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <QImage>

#include <httplib.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

using namespace ruk::test;

namespace {

// Runs the package folder `name` under `root` headless until it closes
// itself, and answers what it printed.
std::string run_folder(TempRoot& root, const std::string& name)
{
    EngineProcess engine({"--headless", "--timeout", "60", root.path() + "/" + name}, root.path());
    EXPECT_EQ(engine.wait(60), 0) << engine.err();
    return engine.out();
}

// The page the package carries: a red page whose links and fields the
// script works through.
const char* local_page = R"HTML(<html><head><title>Local</title></head>
<body style="margin:0;background:#ff0000">
<a id="stop" href="stop.html">stop</a>
<a id="play" href="ruk:play=track%201">play</a>
<a id="nosuch" href="ruk:nosuch=1">nosuch</a>
<a class="x" href="one.html">one</a><a class="x" href="two.html">two</a><a href="three.html">three</a>
<form><input type="text" name="who" value="Ann"><textarea name="note">hi</textarea>
<input type="checkbox" name="ok" checked></form>
</body></html>)HTML";

// Each stage starts the next one from an event, as a user's clicks would.
const char* browser_script = R"RKS(
event.initialize()
    &port = app.getparam(1)
    window.main.pos(0, 0, 320, 240)
    system.message("create " browser.create(main))
    system.message("invalid [" browser.create(77) "]")
    browser.0.pos(0, 0, 320, 240)
    browser.0.navigate("page.html")
event.end()

event.browser:titlechange()
    if (&titled = "")
        &titled = 1
        &log = &log "titlechange "
    if.end()
event.end()

event.browser:_documentcomplete()
    &log = &log "_documentcomplete "
event.end()

event.browser:documentcomplete()
    &log = &log "documentcomplete "
    if (&stage = "")
        &stage = local
        system.message("field " browser.0.field.get.text("who") " " browser.0.field.get.text("nobody"))
        system.message("set " browser.0.field.set.textarea("note", "new") " " browser.0.field.get.textarea("note"))
        system.message("checkbox " browser.0.field.get.checkbox("ok"))
        browser.0.html.get.element.list("a", "class", "x", "href", "links")
        system.message("links " var.array.count(links) " " str.right(&links[1], str.len(&links[1]) - 8))
        system.message("content " browser.0.html.get.element.content("a", "id", "stop", "", "", 1))
        system.message("tag " browser.0.html.frompoint.tagname(5, 5))
        browser.0.execscript("document.getElementById('stop').click()")
    if.else()
        system.message("events " &log)
        system.message("title " browser.0.html.get.title())
        browser.0.copyto.-1
        system.message("copy " draw.-1.width() "x" draw.-1.height() " " draw.-1.getpixel(20, 20))
        app.close()
    if.end()
event.end()

event.browser:beforenavigate()
    &url = browser.0.get.url()
    if (str.right(&url, str.len(&url) - 9) = "stop.html")
        browser.0.cancel(1)
        system.message("cancelled")
        browser.0.execscript("document.getElementById('play').click()")
    if.end()
event.end()

function.play(&p)
    system.message("play " &p)
    browser.0.execscript("document.getElementById('nosuch').click()")
function.end()

event.browser:command:error()
    system.message("command error " browser.0.get.status())
    &log = ""
    &titled = ""
    browser.0.execscript("location.href='http://127.0.0.1:" &port "/red.html'")
event.end()
)RKS";

const char* expected_run =
    "create 0\n"
    "invalid [1]\n"
    "field Ann not found\n"
    "set done new\n"
    "checkbox 1\n"
    "links 2 two.html\n"
    "content stop\n"
    "tag A\n"
    "cancelled\n"
    "play track 1\n"
    "command error nosuch=1\n"
    "events titlechange documentcomplete \n"
    "title Red\n"
    "copy 320x240 255\n";

// A page server on 127.0.0.1 for the length of one test.
class PageServer {
public:
    PageServer()
    {
        m_server.Get("/red.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><title>Red</title></head><body style=\"background:red\">"
                            "<div style=\"position:absolute;right:0;bottom:0;width:9px;height:9px;background:blue\">"
                            "</div></body></html>",
                            "text/html");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~PageServer()
    {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

struct Browsers : ::testing::Test {
    TempRoot root;
    PageServer server;
    std::string folder;
    void SetUp() override
    {
        folder = root.path() + "/web";
        root.write("web/main.rks", browser_script);
        root.write("web/page.html", local_page);
    }
    std::string run(const std::string& display)
    {
        EngineProcess engine({"--print-boxes", "--timeout", "60", folder, std::to_string(server.port())}, root.path(),
                             display);
        EXPECT_EQ(engine.wait(90), 0) << engine.err();
        return engine.out();
    }
};

TEST_F(Browsers, PagesCallScriptsAndRaiseTheirEventsHeadless)
{
    EXPECT_EQ(run(""), expected_run);
}

TEST_F(Browsers, PagesCallScriptsAndRaiseTheirEventsOnXvfb)
{
    static XvfbServer* x = new XvfbServer(1024, 768);
    if (!x->running())
        GTEST_SKIP() << x->error();
    EXPECT_EQ(run(x->display()), expected_run);
}

// Typing into a text area: Tab gives four blanks there instead of leaving
// the field, and the page's own shortcuts stay away.
const char* typing_script = R"RKS(
event.initialize()
    window.main.pos.now(0, 0, 300, 200)
    browser.create(main)
    browser.0.pos(0, 0, 300, 200)
    browser.0.navigate("typing.html")
    window.main.timer.delay(100)
    window.main.timer.enabled(1)
    system.message("ready")
event.end()

event.window:timer()
    &note = browser.0.field.get.textarea("note")
    if (str.len(&note) > 4)
        system.message("note [" &note "]")
        app.close()
    if.end()
event.end()
)RKS";

TEST(BrowserInput, TabInATextAreaTypesFourBlanks)
{
    static XvfbServer* x = new XvfbServer(1024, 768);
    if (!x->running() || !XvfbServer::installed("xdotool"))
        GTEST_SKIP() << "needs Xvfb and xdotool: " << x->error();
    TempRoot root;
    root.write("typing/typing.html", "<html><body style=\"margin:0\"><textarea name=\"note\" "
                                     "style=\"width:300px;height:200px\"></textarea></body></html>");
    const std::string script = root.write("typing/main.rks", typing_script);
    EngineProcess engine({"--print-boxes", "--timeout", "60", root.path() + "/typing"}, root.path(), x->display());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    const std::string xdotool = "DISPLAY=" + x->display() + " xdotool ";
    // The first click gives the window the focus, the second the text area.
    for (const char* step : {"mousemove 50 50 click 1", "sleep 0.3 click 1", "sleep 0.3 key Tab", "key x"})
        ASSERT_EQ(std::system((xdotool + step + " >/dev/null 2>&1").c_str()), 0) << step;
    EXPECT_EQ(engine.wait(30), 0);
    EXPECT_NE(engine.out().find("note [    x]"), std::string::npos) << engine.out();
}

// A window painted red holding a green page with a blue corner that runs
// past the window's right and bottom edges, and a hidden browser.
const char* snapshot_script = R"RKS(
event.initialize()
    window.main.pos.now(100, 100, 200, 150)
    draw.main.rect(0, 0, 200, 150, 255)
    draw.main.paint()
    browser.create(main)
    browser.0.pos(20, 30, 400, 400)
    browser.0.navigate("green.html")
    browser.create(main)
    browser.1.pos(0, 0, 15, 15)
    browser.1.navigate("green.html")
    browser.1.visible(0)
event.end()

event.load()
    app.close()
event.end()
)RKS";

TEST(BrowserSnapshot, PagesShowInTheHeadlessSnapshotClippedToTheirWindow)
{
    TempRoot root;
    root.write("shot/green.html", "<html><body style=\"margin:0;background:#00ff00\">"
                                  "<div style=\"position:absolute;left:0;top:0;width:10px;height:10px;"
                                  "background:#0000ff\"></div></body></html>");
    root.write("shot/main.rks", snapshot_script);
    const std::string shot = root.path() + "/shot.png";
    EngineProcess engine({"--headless", "--timeout", "60", "--snapshot", shot, root.path() + "/shot"}, root.path());
    ASSERT_EQ(engine.wait(60), 0) << engine.err();
    QImage picture(QString::fromStdString(shot));
    ASSERT_FALSE(picture.isNull()) << "no snapshot written";
    auto rgb = [&](int x, int y) { return picture.pixel(x, y) & 0xFFFFFFu; };
    EXPECT_EQ(rgb(105, 105), 0xFF0000u) << "the hidden browser shows nothing, its window's bitmap shows";
    EXPECT_EQ(rgb(119, 129), 0xFF0000u);
    // The view's 2-pixel edge lies outside the form: the page's blue
    // 10-pixel corner shows 8 pixels wide.
    EXPECT_EQ(rgb(120, 130), 0x0000FFu) << "the page starts at its place in the window";
    EXPECT_EQ(rgb(127, 137), 0x0000FFu);
    EXPECT_EQ(rgb(128, 138), 0x00FF00u);
    EXPECT_EQ(rgb(299, 249), 0x00FF00u);
    EXPECT_EQ(rgb(300, 249), 0x304F70u) << "the page ends with its window";
    EXPECT_EQ(rgb(299, 250), 0x304F70u);
}

TEST(BrowserMail, MailLinksReachTheScriptAndNeverLoad)
{
    TempRoot root;
    root.write("mail/mail.html", "<html><body><a id=\"m\" href=\"mailto:ann@example.org\">mail</a></body></html>");
    root.write("mail/main.rks", "event.initialize()\n    browser.create(main)\n    browser.0.manualmailto(1)\n"
                                "    browser.0.navigate(\"mail.html\")\nevent.end()\n"
                                "event.browser:documentcomplete()\n"
                                "    browser.0.execscript(\"document.getElementById('m').click()\")\nevent.end()\n"
                                "event.browser:mailtorequest()\n"
                                "    &url = browser.0.get.url()\n"
                                "    system.message(browser.0.get.mailto() \" \" str.right(&url, str.len(&url) - 9))\n"
                                "    app.close()\nevent.end()\n");
    EXPECT_EQ(run_folder(root, "mail"), "ann@example.org mail.html\n");
}

TEST(BrowserErrors, AFrameCallingTheScriptDoesNotHideTheNextFailedLoad)
{
    TempRoot root;
    root.write("frame/page.html", "<html><body><iframe src=\"ruk:framecall=1\"></iframe></body></html>");
    root.write("frame/main.rks", "event.initialize()\n    browser.create(main)\n    browser.0.navigate(\"page.html\")\n"
                                 "    browser.0.navigate(\"missing.html\")\nevent.end()\n"
                                 "function.framecall(&p)\n    system.message(\"frame \" &p)\nfunction.end()\n"
                                 "event.browser:navigate:error()\n"
                                 "    system.message(\"error \" browser.status())\n    app.close()\nevent.end()\n");
    EXPECT_EQ(run_folder(root, "frame"), "frame 1\nerror -6\n");
}

TEST(BrowserErrors, TheEnginesErrorPageIsNoNavigationOfThePage)
{
    TempRoot root;
    root.write("error/main.rks", "event.initialize()\n    browser.create(main)\n    browser.0.navigate(\"missing.html\")\n"
                                 "event.end()\n"
                                 "event.browser:beforenavigate()\n    &u = browser.0.get.url()\n"
                                 "    system.message(\"before \" str.left(&u, 5))\nevent.end()\n"
                                 "event.browser:documentcomplete()\n    &u = browser.0.get.url()\n"
                                 "    system.message(\"complete \" &u)\n    app.close()\nevent.end()\n");
    const std::string out = run_folder(root, "error");
    EXPECT_NE(out.find("/missing.html\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("data:"), std::string::npos) << out;
}

TEST(BrowserCalls, AScriptNavigatingToARukAddressCallsTheFunctionBeforeGoingOn)
{
    TempRoot root;
    root.write("call/main.rks", "event.initialize()\n    browser.create(main)\n"
                                "    browser.0.navigate(\"ruk:play=track%201\")\n    system.message(\"after\")\n"
                                "    app.close()\nevent.end()\n"
                                "function.play(&p)\n    system.message(\"play \" &p)\nfunction.end()\n");
    EXPECT_EQ(run_folder(root, "call"), "play track 1\nafter\n");
}

// Waits for "ready" and reads the engine's memory map.
std::string maps_when_ready(EngineProcess& engine)
{
    if (!engine.wait_for_line("ready", 60)) {
        ADD_FAILURE() << "the engine never got ready: " << engine.err();
        return std::string();
    }
    std::ifstream file("/proc/" + std::to_string(engine.pid()) + "/maps");
    std::string maps((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    engine.signal(SIGTERM);
    engine.wait(30);
    return maps;
}

TEST(BrowserLoading, OnlyPackagesThatUseBrowsersMapWebEngine)
{
    TempRoot root;
    const std::string plain = root.write("plain/plain.rks", "event.initialize()\n    system.message(\"ready\")\n"
                                                            "    doevent.never(600000)\nevent.end()\n");
    EngineProcess without({"--headless", "--timeout", "60", plain}, root.path());
    const std::string plain_maps = maps_when_ready(without);
    EXPECT_NE(plain_maps.find("libc.so"), std::string::npos) << "the map cannot be read";
    EXPECT_EQ(plain_maps.find("libQt6WebEngine"), std::string::npos);

    const std::string using_browsers =
        root.write("web/web.rks", "event.initialize()\n    system.message(\"available \" browser.isavailable())\n"
                                  "    system.message(\"ready\")\n    doevent.never(600000)\nevent.end()\n");
    EngineProcess with({"--headless", "--timeout", "60", using_browsers}, root.path());
    const std::string web_maps = maps_when_ready(with);
    EXPECT_NE(web_maps.find("libQt6WebEngineCore"), std::string::npos);
    EXPECT_NE(with.out().find("available 1"), std::string::npos);
}

TEST(BrowserLoading, WithoutTheModuleBrowsersAreUnavailableAndNothingBreaks)
{
    TempRoot root;
    const std::string script =
        root.write("web/web.rks", "event.initialize()\n    system.message(\"available \" browser.isavailable())\n"
                                  "    system.message(\"create [\" browser.create(main) \"]\")\n"
                                  "    system.message(\"title [\" browser.0.html.get.title() \"]\")\n    app.close()\nevent.end()\n");
    ::setenv("RUK_BROWSER_MODULE", (root.path() + "/missing/librukbrowser.so").c_str(), 1);
    EngineProcess engine({"--headless", "--timeout", "60", script}, root.path());
    ::unsetenv("RUK_BROWSER_MODULE");
    EXPECT_EQ(engine.wait(60), 0);
    EXPECT_EQ(engine.out(), "available 0\ncreate []\ntitle []\n");
}

} // namespace
