// The "browser" family against browsers held in memory: the table, the page-to-script rule and the events.
#include "browser/BrowserModule.h"
#include "browser/Web.h"
#include "browser/Weblib.h"
#include "graphics/BitmapReferences.h"
#include "tests/support/MemoryWindows.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ruk;
using ruk::test::ScriptHarness;

namespace {

// A browser that keeps what the family asked of it; the test plays the
// page by calling the events it was given.
struct FakeView : BrowserView {
    bool exists = true; // false once its window closed
    BrowserBounds form;
    int32_t extra = 0;
    std::vector<std::string> navigations;
    std::vector<std::string> scripts;
    std::optional<std::string> answer;
    BrowserPicture picture;
    std::function<void()> while_waiting; // the page's notes that arrive while the family waits
    bool alive() const override { return exists; }
    uint64_t handle() const override { return 77; }
    void set_visible(bool) override {}
    void repaint() override {}
    BrowserBounds bounds() const override { return form; }
    void set_bounds(const BrowserBounds& b, int32_t extra_width) override { form = b, extra = extra_width; }
    bool contains_screen_point(int32_t x, int32_t y) const override
    {
        return x >= form.left && y >= form.top && x < form.left + form.width && y < form.top + form.height;
    }
    void navigate(const std::string& url, const std::string& headers, bool no_history, bool no_cache) override
    {
        navigations.push_back(url + "|" + headers + "|" + (no_history ? "h" : "") + (no_cache ? "c" : ""));
    }
    std::string url() const override { return std::string(); }
    void go(BrowserGo) override {}
    std::optional<std::string> evaluate(const std::string& code) override
    {
        scripts.push_back(code);
        if (while_waiting)
            while_waiting();
        return answer;
    }
    void run_script(const std::string& code) override { scripts.push_back(code); }
    void set_zoom(int) override {}
    void set_silent(bool) override {}
    void set_offline(bool) override {}
    void set_background(uint32_t) override {}
    void print(bool) override {}
    void save_as() override {}
    void show_properties() override {}
    BrowserPicture grab() override
    {
        if (while_waiting)
            while_waiting();
        return picture;
    }
};

struct FakeBrowsers : BrowserHost {
    std::vector<FakeView*> views;
    std::vector<int> parents;
    BrowserEvents* events = nullptr;
    std::vector<std::string> opened;
    bool available() override { return true; }
    std::unique_ptr<BrowserView> create(int, int parent, BrowserEvents& sink) override
    {
        auto view = std::make_unique<FakeView>();
        views.push_back(view.get());
        parents.push_back(parent);
        events = &sink;
        return view;
    }
    int scrollbar_width() override { return 17; }
    void open_external(const std::string& url) override { opened.push_back(url); }
};

struct BrowserFamily : ::testing::Test {
    ScriptHarness h;
    FakeBrowsers browsers;
    test::MemoryWindows windows;
    BitmapReferences bitmaps;
    int32_t right_click_mode = 0;

    void SetUp() override
    {
        windows.table().occupy(0, windows.make_window(0));
        register_browser_family(h.engine(), &browsers, windows, bitmaps, &right_click_mode);
    }
    void load(const std::string& events)
    {
        ASSERT_TRUE(h.load("event.initialize()\n    system.message(\"made \" browser.create(main))\nevent.end()\n" +
                           events));
        h.run();
        h.clear_output();
    }
    std::string run(const std::string& body)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n")) << body;
        h.run();
        return h.output();
    }
    // The page navigates: the answer says whether the control may go on.
    bool page_goes_to(const std::string& url)
    {
        bool go_on = browsers.events->before_navigate(0, url, "");
        h.drain();
        return go_on;
    }
};

TEST_F(BrowserFamily, RukLinksCallTheNamedFunctionOrTheEventThatTakesPrecedence)
{
    load("function.play(&p)\n    system.message(\"play [\" &p \"]\")\nfunction.end()\n"
         "function.sayhello(&p)\n    system.message(\"hello \" &p)\nfunction.end()\n"
         "event.browser:command:error()\n    system.message(\"command error \" browser.0.get.status())\nevent.end()\n");
    EXPECT_FALSE(page_goes_to("ruk:play=track%201"));
    EXPECT_FALSE(page_goes_to("RUK:Say Hello=x=y"));
    EXPECT_FALSE(page_goes_to("ruk:nosuch=%22quoted%22"));
    EXPECT_EQ(h.output(), "play [track 1]\nhello x=y\ncommand error nosuch=\"quoted\"\n");

    // With a "browser:rukcommand" event only the event runs.
    ASSERT_TRUE(h.load("function.play(&p)\n    system.message(\"play\")\nfunction.end()\n"
                       "event.browser:rukcommand()\n    system.message(\"event got \" browser.0.get.status())\nevent.end()\n"));
    h.clear_output();
    EXPECT_FALSE(page_goes_to("ruk:play=1"));
    EXPECT_EQ(h.output(), "event got play=1\n");

    // Manual commands: nothing is called, and nothing reports an error.
    ASSERT_TRUE(h.load("function.play(&p)\n    system.message(\"play\")\nfunction.end()\n"
                       "event.browser:command:error()\n    system.message(\"error\")\nevent.end()\n"));
    run("browser.manualcommand(1)");
    h.clear_output();
    EXPECT_FALSE(page_goes_to("ruk:play=1"));
    EXPECT_EQ(h.output(), "");
}

TEST_F(BrowserFamily, BeforeNavigateCanCancelAndMailAddressesNeverLoad)
{
    load("event.browser:_beforenavigate()\n"
         "    if (browser.0.get.url() = \"http://127.0.0.1/stop\")\n        browser.0.cancel(1)\n    if.end()\nevent.end()\n"
         "event.browser:mailtorequest()\n    system.message(\"mail \" browser.0.get.mailto())\nevent.end()\n");
    EXPECT_TRUE(page_goes_to("http://127.0.0.1/go"));
    EXPECT_FALSE(page_goes_to("http://127.0.0.1/stop"));
    EXPECT_EQ(run("system.message(browser.0.get.url())"), "http://127.0.0.1/stop\n");

    EXPECT_FALSE(page_goes_to("mailto:ann@example.org"));
    EXPECT_EQ(browsers.opened, std::vector<std::string>{"mailto:ann@example.org"});
    ASSERT_TRUE(h.load("event.initialize()\n    browser.0.manualmailto(1)\nevent.end()\n"
                       "event.browser:mailtorequest()\n    system.message(\"mail \" browser.0.get.mailto())\nevent.end()\n"));
    h.run();
    h.clear_output();
    EXPECT_FALSE(page_goes_to("mailto:bob@example.org"));
    EXPECT_EQ(h.output(), "mail bob@example.org\n");
    EXPECT_EQ(browsers.opened.size(), 1u);
}

TEST_F(BrowserFamily, NewWindowsAreRefusedForEnginePagesAndByMode)
{
    load("");
    EXPECT_TRUE(browsers.events->new_window(0));
    page_goes_to("vop:page.html");
    EXPECT_FALSE(browsers.events->new_window(0));
    page_goes_to("http://127.0.0.1/");
    run("browser.0.newwindow(0)");
    EXPECT_FALSE(browsers.events->new_window(0));
}

TEST_F(BrowserFamily, TableLimitsIdsAndParents)
{
    load("");
    run("for (&i, 1, 30)\n    browser.create(main)\nfor.next()");
    EXPECT_EQ(run("system.message(\"[\" browser.create(main) \"]\")"), "[]\n");
    EXPECT_EQ(browsers.views.size(), 30u);

    const size_t before = h.errors().size();
    run("browser.30.goback()");
    ASSERT_EQ(h.errors().size(), before + 1);
    EXPECT_EQ(h.errors().back(), "Invalid browser ID.");

    ASSERT_TRUE(h.load("function.browser:-1:goback()\n    system.message(\"function\")\nfunction.end()\n"
                       "event.initialize()\n    browser.-1.goback()\nevent.end()\n"));
    h.clear_output();
    h.run();
    EXPECT_EQ(h.output(), "function\n");
    EXPECT_EQ(h.errors().size(), before + 1);
}

TEST_F(BrowserFamily, ABrowserWhoseWindowClosedIsGoneAndItsSlotFree)
{
    load("event.browser:documentcomplete()\n    system.message(\"complete\")\nevent.end()\n");
    browsers.views[0]->exists = false;
    browsers.events->document_complete(0);
    h.drain();
    EXPECT_EQ(h.output(), "");
    EXPECT_EQ(run("system.message(\"[\" browser.0.width() \"] \" browser.create(main))"), "[] 0\n");
    EXPECT_EQ(browsers.views.size(), 2u);
}

TEST_F(BrowserFamily, AParentThatIsNoWindowIsReportedButTheIdStillComes)
{
    EXPECT_EQ(run("system.message(\"id \" browser.create(9))"), "id 0\n");
    ASSERT_FALSE(h.errors().empty());
    EXPECT_EQ(h.errors().back(), "Invalid parent ID. Browser must be child of a valid window ID.");
    EXPECT_EQ(browsers.parents, std::vector<int>{-1});
    EXPECT_EQ(run("system.message(\"parent \" browser.0.parent())"), "parent -1\n");
}

TEST_F(BrowserFamily, HiddenScrollbarWidensTheControl)
{
    load("");
    run("browser.0.pos(10, 20, 300, 100)");
    EXPECT_EQ(browsers.views[0]->extra, 0);
    run("browser.0.scrollbar.visible(0)");
    EXPECT_EQ(browsers.views[0]->extra, 17);
    EXPECT_EQ(run("system.message(browser.0.width() \" \" browser.0.left())\nbrowser.0.width(50)\n"
                  "system.message(browser.0.width() \" \" browser.frompoint(15, 25) \" [\" browser.frompoint(70, 25) \"]\")"),
              "300 10\n50 0 []\n");
}

TEST_F(BrowserFamily, NavigateHandsOverFlagsHeadersAndLimits)
{
    load("");
    run("browser.0.navigate(\"a.html\", \"X-A: 1\", 1, 1)\nbrowser.0.open(\"b.html\", \"\", 0, 1)\n"
        "browser.0.navigate(\"c.html\", \"\", 1)");
    EXPECT_EQ(browsers.views[0]->navigations,
              (std::vector<std::string>{"a.html|X-A: 1|hc", "b.html||c", "c.html||h"}));
}

TEST_F(BrowserFamily, ElementListsFillTheArrayFromZero)
{
    load("");
    browsers.views[0]->answer = std::string("one.html") + weblib::ListSeparator + "two.html";
    EXPECT_EQ(run("&links[5] = stale\nbrowser.0.html.get.element.list(\"a\", \"class\", \"x\", \"href\", \"links\")\n"
                  "system.message(var.array.count(links) \" \" &links[0] \" \" &links[1])"),
              "2 one.html two.html\n");
    browsers.views[0]->answer = std::nullopt;
    EXPECT_EQ(run("browser.0.html.get.element.list(\"a\", \"class\", \"x\", \"href\", \"links\")\n"
                  "system.message(var.array.count(links))"),
              "0\n");
}

TEST_F(BrowserFamily, CopytoSizesTheBitmapToTheFormAndCopiesThePixels)
{
    load("");
    run("browser.0.pos(0, 0, 3, 2)");
    browsers.views[0]->picture = BrowserPicture {3, 2, std::vector<uint32_t>(6, 0xFFFF0000)};
    run("browser.0.copyto.-1");
    const Bitmap& picture = *bitmaps.resolve("-1").bitmap;
    ASSERT_EQ(picture.width(), 3);
    ASSERT_EQ(picture.height(), 2);
    EXPECT_EQ(picture.pixel(2, 1), 0x0000FFu); // red in the low byte
    const size_t before = h.errors().size();
    run("browser.0.copyto.-300");
    EXPECT_EQ(h.errors().size(), before + 1);
}

TEST_F(BrowserFamily, EventsCarryTheirDataAndImmediacy)
{
    load("event.browser:statuschange()\n    system.message(\"status [\" browser.0.get.status() \"]\")\nevent.end()\n"
         "event.browser:download:progress()\n    system.message(browser.0.download.current() \"/\" browser.0.download.max())\nevent.end()\n"
         "event.browser:navigate:error()\n    system.message(\"error \" browser.status())\n    browser.0.cancel(1)\nevent.end()\n");
    browsers.events->status_change(0, "  over a link  ");
    browsers.events->download_progress(0, 40, 100);
    EXPECT_TRUE(browsers.events->navigate_error(0, "", 404));
    h.drain();
    EXPECT_EQ(h.output(), "status [over a link]\n40/100\nerror 404\n");
}

// An immediate event that runs while the family waits for the page runs
// commands of its own; the waiting command still answers from its own words.
TEST_F(BrowserFamily, CommandsKeepTheirWordsAcrossEventsThatRunWhileThePageAnswers)
{
    load("");
    const std::string title_event = "\nevent.end()\nevent.browser:titlechange()\n    system.message(\"title\")";
    FakeView& view = *browsers.views[0];
    view.while_waiting = [&] { browsers.events->title_change(0); };
    view.answer = "picked";
    EXPECT_EQ(run("    system.message(\"sel [\" browser.0.selection.get() \"]\")" + title_event),
              "title\nsel [picked]\n");

    view.scripts.clear();
    view.answer.reset();
    run("    browser.0.html.set.link.color(1, 2, 3)" + title_event);
    ASSERT_EQ(view.scripts.size(), 3u);
    EXPECT_NE(view.scripts[1].find("\"#020000\""), std::string::npos);
    EXPECT_NE(view.scripts[2].find("\"#030000\""), std::string::npos);
}

TEST_F(BrowserFamily, ACommandOutlivesItsBrowserBeingReplacedWhileThePageAnswers)
{
    // Browser 1's title event closes browser 0's window and creates a new
    // browser, which takes slot 0, while a command on browser 0 waits for
    // its page. The command finishes on the view it started with.
    load("");
    run("    browser.create(main)");
    ASSERT_EQ(browsers.views.size(), 2u);
    FakeView& first = *browsers.views[0];
    first.while_waiting = [&] {
        first.while_waiting = nullptr;
        first.exists = false;
        browsers.events->title_change(1);
    };
    EXPECT_EQ(run("    browser.0.html.set.link.color(1, 2, 3)\nevent.end()\nevent.browser:titlechange()\n"
                  "    system.message(\"made \" browser.create(main))"),
              "made 0\n");
    ASSERT_EQ(browsers.views.size(), 3u);
    EXPECT_EQ(browsers.views[2]->scripts.size(), 0u);
}

TEST(BrowserText, RukCommandsAndSelectionText)
{
    const weblib::RukCommand c = weblib::parse_ruk_command("ruk:Say%20Hello=a%20b%22c%25");
    EXPECT_EQ(c.text, "Say Hello=a b\"c%25");
    EXPECT_EQ(c.function, "sayhello");
    EXPECT_EQ(c.value, "a b\"c%25");
    EXPECT_EQ(weblib::parse_ruk_command("ruk:stop").function, "stop");
    EXPECT_EQ(weblib::parse_ruk_command("ruk:stop").value, "");
    EXPECT_EQ(weblib::normalise_selection_text("a\r\n\r\n\r\nb\r\nc"), "a\nb\nc");
    EXPECT_EQ(weblib::html_colour_text("255"), "#ff0000");
    EXPECT_EQ(weblib::html_colour_text("navy"), "navy");
    // A lone sign is no number: it passes as text instead of ending the engine.
    EXPECT_EQ(weblib::html_colour_text(" - "), "-");
    EXPECT_EQ(weblib::html_colour_text("-1"), "#ffffff");
    // Nothing a script passes can end the string it becomes in a page script.
    EXPECT_EQ(weblib::js_string("a\"b\\c\n</script>"), "\"a\\\"b\\\\c\\n\\x3c/script>\"");
}

} // namespace
