// The engine's side of the browser module: opening librukbrowser.so and making browsers in script windows.
#pragma once

#include "browser/BrowserModule.h"
#include "graphics/Compositor.h"

#include <string>
#include <vector>

namespace ruk {

class WindowHost;

// WebEngine lives in its own module, librukbrowser.so, which the engine
// never links: a package without browsers does not map it. Start-up opens
// it (prepare()) before the application object exists, and only when the
// package's code names the browser family (package_uses_browsers); the
// module then registers the "ruk" and "vop" schemes, which WebEngine accepts
// only that early. The browsers themselves, and WebEngine's processes, start
// with the first "create".
//
// The module is looked for beside the executable, then in
// ../lib/rukengine/ from it; RUK_BROWSER_MODULE names another file. Where it
// cannot be opened (missing, or WebEngine's libraries missing) the family
// offers no browsers: "isavailable" answers "0" and "create" nothing.
class BrowserLibrary : public BrowserHost {
public:
    // Opens the module and prepares WebEngine; false when it cannot.
    static bool prepare();
    // True once prepare() succeeded in this process.
    static bool prepared();
    // The module file that prepare() opens.
    static std::string module_path();

    explicit BrowserLibrary(WindowHost& windows) : m_windows(windows) {}

    bool available() override;
    std::unique_ptr<BrowserView> create(int id, int parent, BrowserEvents& events) override;
    int scrollbar_width() override;
    void open_external(const std::string& url) override;

    // The pages every script window shows, as the snapshot composes them:
    // one inset a visible browser, bottom to top within each window. Nothing
    // before the first browser was made.
    std::vector<WindowInset> shown_pages();

private:
    BrowserModule* module();

    WindowHost& m_windows;
    BrowserModule* m_module = nullptr;
};

} // namespace ruk
