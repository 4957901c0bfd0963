// What the engine and the browser module (librukbrowser.so, on WebEngine) say to each other.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruk {

// A form's bounds inside its parent window, in pixels.
struct BrowserBounds {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A picture of a page: 32-bit pixels 0xAARRGGBB, row after row.
struct BrowserPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// A page as its window shows it: the form's bounds inside the window and
// the form's picture.
struct ShownPage {
    BrowserBounds bounds;
    BrowserPicture picture;
};

// What a browser tells the engine. The view calls these on the user
// interface thread, from its own notifications; the answers decide whether
// the control goes on.
class BrowserEvents {
public:
    virtual ~BrowserEvents() = default;
    // The page is about to go to `url` (as the page wrote it) in `frame`
    // (empty for the top document). False cancels the navigation.
    virtual bool before_navigate(int id, const std::string& url, const std::string& frame) = 0;
    // The page asks for a new window; false refuses it.
    virtual bool new_window(int id) = 0;
    virtual void navigate_complete(int id, const std::string& url) = 0;
    virtual void document_complete(int id) = 0;
    virtual void status_change(int id, const std::string& text) = 0;
    virtual void title_change(int id) = 0;
    virtual void download_begin(int id) = 0;
    virtual void download_complete(int id) = 0;
    virtual void download_progress(int id, int32_t current, int32_t maximum) = 0;
    // A navigation failed with `status` (an HTTP status or a network error
    // code). True: the script cancelled, no error page is shown.
    virtual bool navigate_error(int id, const std::string& frame, int32_t status) = 0;
    // The page asks to size or move its host window.
    virtual void client_to_host_window(int id) = 0;
    // The mouse family's right-click mode: 0 no context menus at all, 1 none
    // in browsers, 2 only over text fields.
    virtual int right_click_mode() = 0;
};

// The control's own navigation operations.
enum class BrowserGo { Home, Back, Forward, Search, Stop, Refresh };

// One embedded browser: a borderless form inside a script window holding
// the web view. Every call runs on the user interface thread.
class BrowserView {
public:
    virtual ~BrowserView() = default;

    // False once the form is gone (its parent window closed it).
    virtual bool alive() const = 0;
    virtual uint64_t handle() const = 0;
    virtual void set_visible(bool visible) = 0;
    virtual void repaint() = 0;
    virtual BrowserBounds bounds() const = 0;
    // Sets the form's bounds; the control sits at (-2, -2), 4 pixels wider
    // and higher than the form plus `extra_width` (a hidden scrollbar).
    virtual void set_bounds(const BrowserBounds& bounds, int32_t extra_width) = 0;
    // True when the screen point lies on the control.
    virtual bool contains_screen_point(int32_t x, int32_t y) const = 0;

    // Navigates; `headers` are extra request headers, one "Name: value" a
    // line. Returns once the control is no longer busy (or has given up).
    virtual void navigate(const std::string& url, const std::string& headers, bool no_history, bool no_cache) = 0;
    virtual std::string url() const = 0;
    virtual void go(BrowserGo what) = 0;

    // Runs script code in the page and waits for its value as text (an
    // undefined or null value gives nothing); nothing when the page cannot
    // answer.
    virtual std::optional<std::string> evaluate(const std::string& code) = 0;
    // Runs script code in the page without waiting; errors are ignored.
    virtual void run_script(const std::string& code) = 0;

    // 0 smallest to 4 largest text.
    virtual void set_zoom(int level) = 0;
    // No dialog boxes from the page.
    virtual void set_silent(bool silent) = 0;
    // Nothing is fetched from the network while offline.
    virtual void set_offline(bool offline) = 0;
    virtual void set_background(uint32_t colour) = 0;

    virtual void print(bool page_setup) = 0;
    virtual void save_as() = 0;
    virtual void show_properties() = 0;
    // The page as the form shows it, form-sized.
    virtual BrowserPicture grab() = 0;
};

// The browser module's entry: made once, lives until the engine ends.
class BrowserModule {
public:
    virtual ~BrowserModule() = default;
    // A new browser form, shown, as a child of `parent_widget` (the script
    // window's widget); null when the control cannot be made.
    virtual std::unique_ptr<BrowserView> create(int id, void* parent_widget, BrowserEvents& events) = 0;
    // The width of the desktop style's vertical scrollbar.
    virtual int scrollbar_width() = 0;
    // The pages of the browser forms shown directly inside `parent_widget`
    // (not hidden, not empty), bottom to top, each grabbed as "copyto" grabs it.
    virtual std::vector<ShownPage> shown_pages(void* parent_widget) = 0;
};

// The names the module exports (extern "C"). Prepare runs before the
// application object exists: it registers the page-to-script schemes and
// sets what WebEngine needs then; it returns false when WebEngine cannot
// start. The module entry gives the module, once the application exists.
inline constexpr const char* BrowserPrepareSymbol = "ruk_browser_prepare";
inline constexpr const char* BrowserModuleSymbol = "ruk_browser_module";
using BrowserPrepareFunction = bool (*)();
using BrowserModuleFunction = BrowserModule* (*)();

// The browsers as the family reaches them. The engine implements it over
// the module it loaded; runs without browsers use NoBrowsers.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;
    // True when browsers can be made in this run.
    virtual bool available() = 0;
    // A browser inside script window `parent` (its slot in the window
    // table); null when none can be made.
    virtual std::unique_ptr<BrowserView> create(int id, int parent, BrowserEvents& events) = 0;
    virtual int scrollbar_width() = 0;
    // Hands an address ("mailto:...") to the desktop's own program for it.
    virtual void open_external(const std::string& url) = 0;
};

class NoBrowsers : public BrowserHost {
public:
    bool available() override { return false; }
    std::unique_ptr<BrowserView> create(int, int, BrowserEvents&) override { return nullptr; }
    int scrollbar_width() override { return 0; }
    void open_external(const std::string&) override {}
};

} // namespace ruk
