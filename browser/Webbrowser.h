// The browser form TfBrowser: a borderless child of a script window holding one web view.
#pragma once

#include "browser/BrowserModule.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QImage;
class QPrinter;
class QWebEngineProfile;
class QWebEngineView;

namespace ruk {

class BrowserPage;
class OfflineFilter;

// One embedded browser. The form is borderless with the button-face colour;
// its one control, wBrowser, sits at (-2, -2) and is 4 pixels wider and
// higher than the form, so that the view's edge is never seen. The
// control's notifications become calls of the family's BrowserEvents under
// the form's browser id; handlers are named after the control.
class TfBrowser : public QWidget {
    Q_OBJECT
public:
    TfBrowser(int id, QWidget* parent, QWebEngineProfile* profile, BrowserEvents& events);
    ~TfBrowser() override;

    int id() const { return m_id; }
    BrowserEvents& events() { return m_events; }
    QWebEngineView* view() const { return wBrowser; }
    BrowserPage* page() const { return m_page; }

    void place(const BrowserBounds& bounds, int32_t extra_width);
    void navigate(const std::string& url, const std::string& headers, bool no_history, bool no_cache);
    std::optional<std::string> evaluate(const std::string& code);
    void run_script(const std::string& code);
    // Runs code beside the engine's page script, unseen by the page's scripts.
    void run_script_in_engine_world(const char* code);
    void go(BrowserGo what);
    void set_offline(bool offline);
    void print(bool page_setup);
    void save_as();
    void show_properties();
    BrowserPicture grab_page();

private:
    // The control's notifications.
    // `at_once`: the script itself asked (no WebEngine call is under way),
    // so "ruk:" and "mailto:" addresses are heard before the command ends.
    bool wBrowserBeforeNavigate2(const QUrl& url, bool main_frame, bool at_once = false);
    void wBrowserNavigateComplete2(const QUrl& url);
    void wBrowserDocumentComplete(bool ok);
    void wBrowserNavigateError(int status);
    // Waits, letting the loop run, until the control is no longer busy.
    void wait_until_idle();
    // The form's picture once the view has rendered its next frame.
    QImage capture();
    // One try: nothing when no answer came in time, else the page's value.
    std::optional<std::optional<std::string>> evaluate_once(const std::string& code);
    // WebEngine's notifications reach the script from the event loop, never
    // from inside WebEngine's own signal: a script that reads the document
    // there would wait for an answer WebEngine cannot give before it returns.
    void post(std::function<void()> notification);

    int m_id;
    BrowserEvents& m_events;
    QWebEngineView* wBrowser = nullptr;
    BrowserPage* m_page = nullptr;
    OfflineFilter* m_offline = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    bool m_busy = false;
    int m_refused = 0;          // refused navigations whose failed end is no error
    bool m_error_page = false;  // the engine's own error page is loading
    int m_error_status = 0;     // the failure code of the load that is ending
    QUrl m_failed_url;          // and its address
};

} // namespace ruk
