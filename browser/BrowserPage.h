// The page of one embedded browser: navigation requests, new windows, dialogs and the page's notes to the engine.
#pragma once

#include <QString>
#include <QWebEnginePage>

#include <functional>

namespace ruk {

// A WebEngine page that asks its form before every navigation and new
// window, keeps the page's dialogs quiet when silent (or headless), and
// reads the notes the engine's own page script leaves on the console: which
// kind of element has the focus and which lies under the mouse.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    using NavigationCheck = std::function<bool(const QUrl& url, bool main_frame)>;
    using WindowCheck = std::function<bool()>;

    BrowserPage(QWebEngineProfile* profile, QObject* parent);

    void set_navigation_check(NavigationCheck check) { m_navigation_check = std::move(check); }
    void set_window_check(WindowCheck check) { m_window_check = std::move(check); }
    // A "mailto:" link the user followed (WebEngine itself would hand it
    // straight to the desktop).
    void set_mail_link(std::function<void(const QUrl&)> handler) { m_mail_link = std::move(handler); }
    void set_silent(bool silent) { m_silent = silent; }

    // Tag names ("INPUT", "TEXTAREA", "A", ...) the page last reported.
    const QString& focus_tag() const { return m_focus_tag; }
    const QString& hover_tag() const { return m_hover_tag; }
    bool focus_in_text_field() const { return is_text_field(m_focus_tag); }
    bool hover_over_text_field() const { return is_text_field(m_hover_tag); }
    static bool is_text_field(const QString& tag) { return tag == QLatin1String("INPUT") || tag == QLatin1String("TEXTAREA"); }

    // The script the engine puts into every document of its browsers.
    static QString engine_page_script();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& origin, const QString& text) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& text) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& text, int line,
                                  const QString& source) override;

private:
    NavigationCheck m_navigation_check;
    WindowCheck m_window_check;
    std::function<void(const QUrl&)> m_mail_link;
    bool m_silent = false;
    QString m_focus_tag;
    QString m_hover_tag;
};

} // namespace ruk
