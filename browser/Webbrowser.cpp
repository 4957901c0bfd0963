// The browser form TfBrowser: a borderless child of a script window holding one web view.
#include "browser/Webbrowser.h"

#include "browser/BrowserPage.h"
#include "browser/OfflineFilter.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>
#include <chrono>

namespace ruk {

namespace {

// A navigation the control has not finished after this long no longer
// holds the script up; nor does a page that does not answer a script.
constexpr int NavigateWaitMs = 30000;
constexpr int EvaluateWaitMs = 1500;
constexpr int EvaluateAttempts = 3;
constexpr int SettleMs = 100;
constexpr int PlainRetries = 10;
constexpr int FrameChecks = 25;
constexpr int FrameCheckMs = 20;

bool headless() { return QGuiApplication::platformName() == QLatin1String("offscreen"); }

// True when every pixel has the same colour.
bool is_plain(const QImage& image)
{
    if (image.isNull())
        return true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (row[x] != first)
                return false;
    }
    return true;
}

std::string text_of(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? "1" : "0";
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (d == static_cast<double>(static_cast<long long>(d)))
            return std::to_string(static_cast<long long>(d));
    }
    return value.toString().toStdString();
}

} // namespace

TfBrowser::TfBrowser(int id, QWidget* parent, QWebEngineProfile* profile, BrowserEvents& events)
    : QWidget(parent, parent ? Qt::Widget : Qt::Tool | Qt::FramelessWindowHint), m_id(id), m_events(events)
{
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, palette().color(QPalette::Button));
    setPalette(colours);

    wBrowser = new QWebEngineView(this);
    m_page = new BrowserPage(profile, wBrowser);
    m_offline = new OfflineFilter(m_page);
    m_page->setUrlRequestInterceptor(m_offline);
    m_page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    m_page->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // The package's own pages link to the web as any page does.
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    QWebEngineScript notes;
    notes.setName(QStringLiteral("ruk-notes"));
    notes.setSourceCode(BrowserPage::engine_page_script());
    notes.setInjectionPoint(QWebEngineScript::DocumentCreation);
    notes.setWorldId(QWebEngineScript::ApplicationWorld);
    notes.setRunsOnSubFrames(true);
    m_page->scripts().insert(notes);
    wBrowser->setPage(m_page);
    wBrowser->setFocusPolicy(Qt::StrongFocus);
    wBrowser->setContextMenuPolicy(Qt::NoContextMenu);

    m_page->set_navigation_check([this](const QUrl& url, bool main_frame) {
        // The engine's own error page is no navigation of the page's.
        if (m_error_page && main_frame && url.scheme() == QLatin1String("data"))
            return true;
        const bool go_on = wBrowserBeforeNavigate2(url, main_frame);
        // Only the page itself reports a failed load for a refused navigation;
        // a frame's refusal must not hide the page's next real error.
        if (!go_on && main_frame)
            ++m_refused;
        return go_on;
    });
    m_page->set_window_check([this] { return m_events.new_window(m_id); });
    m_page->set_mail_link([this](const QUrl& url) { wBrowserBeforeNavigate2(url, true); });
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        m_busy = true;
        m_error_status = 0;
        post([this] { m_events.download_begin(m_id); });
    });
    connect(m_page, &QWebEnginePage::loadProgress, this,
            [this](int progress) { post([this, progress] { m_events.download_progress(m_id, progress, 100); }); });
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            m_error_status = info.errorCode();
            m_failed_url = info.url();
        }
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        m_busy = false;
        m_error_page = false;
        post([this, ok] { wBrowserDocumentComplete(ok); });
    });
    connect(m_page, &QWebEnginePage::urlChanged, this,
            [this](const QUrl& url) { post([this, url] { wBrowserNavigateComplete2(url); }); });
    connect(m_page, &QWebEnginePage::titleChanged, this, [this] { post([this] { m_events.title_change(m_id); }); });
    connect(m_page, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
        post([this, url] { m_events.status_change(m_id, url.toStdString()); });
    });
    connect(m_page, &QWebEnginePage::geometryChangeRequested, this,
            [this] { post([this] { m_events.client_to_host_window(m_id); }); });
    place(BrowserBounds {0, 0, 0, 0}, 0);
    if (parent)
        show();
}

TfBrowser::~TfBrowser()
{
    // The page goes before the view: WebEngine wants its pages gone before its profile.
    m_page->set_navigation_check(nullptr);
    m_page->set_window_check(nullptr);
    disconnect(m_page, nullptr, this, nullptr);
}

void TfBrowser::post(std::function<void()> notification)
{
    QMetaObject::invokeMethod(this, std::move(notification), Qt::QueuedConnection);
}

void TfBrowser::place(const BrowserBounds& bounds, int32_t extra_width)
{
    setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
    wBrowser->setGeometry(-2, -2, bounds.width + 4 + extra_width, bounds.height + 4);
}

bool TfBrowser::wBrowserBeforeNavigate2(const QUrl& url, bool main_frame, bool at_once)
{
    // The engine's schemes and mail addresses keep the page's own spelling;
    // an ordinary address reads as the user would see it.
    const QString scheme = url.scheme().toLower();
    const std::string text = (scheme == QLatin1String("ruk") || scheme == QLatin1String("vop") ||
                              scheme == QLatin1String("mailto"))
                                 ? url.toEncoded().toStdString()
                                 : url.toString().toStdString();
    const std::string frame = main_frame ? std::string() : std::string("frame");
    if (scheme == QLatin1String("ruk") || scheme == QLatin1String("mailto")) {
        // Always refused; the script hears of it once WebEngine is back.
        if (at_once)
            m_events.before_navigate(m_id, text, frame);
        else
            post([this, text, frame] { m_events.before_navigate(m_id, text, frame); });
        return false;
    }
    return m_events.before_navigate(m_id, text, frame);
}

void TfBrowser::wBrowserNavigateComplete2(const QUrl& url)
{
    m_events.navigate_complete(m_id, url.toString().toStdString());
}

void TfBrowser::wBrowserDocumentComplete(bool ok)
{
    m_events.download_complete(m_id);
    if (ok) {
        m_events.document_complete(m_id);
        return;
    }
    // A navigation the engine refused ends as a failed load: no error.
    if (m_refused > 0) {
        --m_refused;
        return;
    }
    wBrowserNavigateError(m_error_status);
}

void TfBrowser::wBrowserNavigateError(int status)
{
    if (m_events.navigate_error(m_id, std::string(), status))
        return;
    const QString address = m_failed_url.toString().toHtmlEscaped();
    m_error_page = true;
    m_page->setHtml(QStringLiteral("<html><body style=\"font-family:sans-serif\"><h3>This page cannot be shown."
                                   "</h3><p>%1</p><p>Error %2</p></body></html>")
                        .arg(address)
                        .arg(status),
                    m_failed_url);
}

void TfBrowser::wait_until_idle()
{
    if (!m_busy)
        return;
    QPointer<TfBrowser> self(this);
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    limit.start(NavigateWaitMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(NavigateWaitMs);
    // An application that is ending runs no loop any more: exec() answers at once.
    while (self && m_busy && std::chrono::steady_clock::now() < deadline)
        if (loop.exec() != 0)
            return;
}

namespace {

// What a script's address names: an address with a scheme as it is, a file
// (of the package's working folder when relative), or, for "www." names, a
// web address. A name that is no file stays a file: a missing page is
// reported as missing, never looked up on the network.
QUrl script_address(const std::string& text)
{
    const QString given = QString::fromStdString(text).trimmed();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(given).hasMatch())
        return QUrl(given);
    if (given.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QUrl::fromUserInput(given);
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(given));
}

} // namespace

void TfBrowser::navigate(const std::string& url, const std::string& headers, bool no_history, bool no_cache)
{
    const QUrl address = script_address(url);
    if (!address.isValid())
        return;
    const QString scheme = address.scheme().toLower();
    if (scheme == QLatin1String("ruk") || scheme == QLatin1String("mailto")) {
        // These never load: the script hears of them as of a page's link.
        wBrowserBeforeNavigate2(address, true, true);
        return;
    }
    m_busy = true;
    if (no_history && !m_page->url().isEmpty() && headers.empty() && !no_cache) {
        // The current entry is replaced: the history does not grow.
        const QByteArray quoted =
            QJsonDocument(QJsonArray {address.toString(QUrl::FullyEncoded)}).toJson(QJsonDocument::Compact);
        m_page->runJavaScript(QStringLiteral("location.replace(%1)").arg(QString::fromUtf8(quoted.mid(1, quoted.size() - 2))),
                              QWebEngineScript::ApplicationWorld);
    } else {
        QWebEngineHttpRequest request(address);
        for (const QString& line : QString::fromStdString(headers).split(QRegularExpression(QStringLiteral("[\r\n]+")),
                                                                         Qt::SkipEmptyParts)) {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            if (colon > 0)
                request.setHeader(line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toLatin1());
        }
        if (no_cache) {
            request.setHeader("Cache-Control", "no-cache");
            request.setHeader("Pragma", "no-cache");
        }
        m_page->load(request);
    }
    wait_until_idle();
}

std::optional<std::string> TfBrowser::evaluate(const std::string& code)
{
    // A script sent while a page loads can be lost with the old document
    // (WebEngine drops the answer when the page moves to another renderer):
    // the loading page is waited for first, and a lost answer asked again.
    wait_until_idle();
    for (int attempt = 0; attempt < EvaluateAttempts; ++attempt) {
        QPointer<TfBrowser> self(this);
        std::optional<std::optional<std::string>> answer = evaluate_once(code);
        if (!self)
            return std::nullopt;
        if (answer)
            return *answer;
    }
    return std::nullopt;
}

std::optional<std::optional<std::string>> TfBrowser::evaluate_once(const std::string& code)
{
    struct Answer {
        bool done = false;
        QVariant value;
        QEventLoop loop;
    };
    auto answer = std::make_shared<Answer>();
    std::weak_ptr<Answer> waiting = answer;
    m_page->runJavaScript(QString::fromUtf8(code.data(), static_cast<qsizetype>(code.size())),
                          QWebEngineScript::ApplicationWorld, [waiting](const QVariant& value) {
                              if (auto a = waiting.lock()) {
                                  a->done = true;
                                  a->value = value;
                                  a->loop.quit();
                              }
                          });
    if (!answer->done) {
        QTimer::singleShot(EvaluateWaitMs, &answer->loop, &QEventLoop::quit);
        if (answer->loop.exec(QEventLoop::ExcludeUserInputEvents) != 0)
            return std::optional<std::string>(); // the application is ending: no answer, and no new try
    }
    if (!answer->done)
        return std::nullopt;
    if (!answer->value.isValid() || answer->value.isNull())
        return std::optional<std::string>();
    return std::optional<std::string>(text_of(answer->value));
}

void TfBrowser::run_script(const std::string& code)
{
    // The page's own world: scripts run as the page's scripts do.
    m_page->runJavaScript(QString::fromUtf8(code.data(), static_cast<qsizetype>(code.size())));
}

void TfBrowser::run_script_in_engine_world(const char* code)
{
    m_page->runJavaScript(QString::fromUtf8(code), QWebEngineScript::ApplicationWorld);
}

void TfBrowser::go(BrowserGo what)
{
    switch (what) {
    case BrowserGo::Home:
    case BrowserGo::Search:
        // The desktop has no home or search page for the engine: a blank page.
        m_page->setUrl(QUrl(QStringLiteral("about:blank")));
        break;
    case BrowserGo::Back: m_page->triggerAction(QWebEnginePage::Back); break;
    case BrowserGo::Forward: m_page->triggerAction(QWebEnginePage::Forward); break;
    case BrowserGo::Stop: m_page->triggerAction(QWebEnginePage::Stop); break;
    case BrowserGo::Refresh: m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache); break;
    }
}

void TfBrowser::set_offline(bool offline) { m_offline->set_offline(offline); }

void TfBrowser::print(bool page_setup)
{
    if (headless())
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    if (page_setup) {
        QPageSetupDialog dialog(m_printer.get(), this);
        dialog.exec();
        return;
    }
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Printing runs on; the printer stays until the next print.
    wBrowser->print(m_printer.get());
}

void TfBrowser::save_as()
{
    if (headless())
        return;
    const QString path = QFileDialog::getSaveFileName(this, QString(), m_page->title() + QStringLiteral(".html"),
                                                      QStringLiteral("Web page (*.html *.htm)"));
    if (!path.isEmpty())
        m_page->save(path, QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
}

void TfBrowser::show_properties()
{
    if (headless())
        return;
    QMessageBox::information(this, QStringLiteral("Properties"),
                             QStringLiteral("Title: %1\nAddress: %2").arg(m_page->title(), m_page->url().toString()));
}

QImage TfBrowser::capture()
{
    // Chromium hands a frame to the view a moment after drawing it: the next
    // frame the view renders is waited for, briefly.
    auto* scene = wBrowser->findChild<QQuickWidget*>();
    QEventLoop settle;
    QTimer::singleShot(SettleMs, &settle, &QEventLoop::quit);
    if (scene && scene->quickWindow())
        connect(scene->quickWindow(), &QQuickWindow::afterRendering, &settle, &QEventLoop::quit,
                Qt::QueuedConnection);
    settle.exec(QEventLoop::ExcludeUserInputEvents);
    if (!scene)
        return grab().toImage().convertToFormat(QImage::Format_ARGB32);
    // The view draws through a Quick widget: its scene is rendered afresh
    // here, whether or not the desktop has painted the window yet.
    QImage image(width(), height(), QImage::Format_ARGB32);
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.drawImage(QPoint(-2, -2) + scene->mapTo(wBrowser, QPoint(0, 0)), scene->grabFramebuffer());
    return image;
}

BrowserPicture TfBrowser::grab_page()
{
    // The page has drawn two frames since now.
    evaluate("window.__rukFrame=0;requestAnimationFrame(function(){requestAnimationFrame(function(){"
             "window.__rukFrame=1;});});0");
    for (int i = 0; i < FrameChecks; ++i) {
        if (evaluate("window.__rukFrame") == std::optional<std::string>("1"))
            break;
        QEventLoop pause;
        QTimer::singleShot(FrameCheckMs, &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // A page that moved to a new renderer shows one plain colour until its
    // first frame arrives: a picture of one colour is taken again a few
    // times (a page that really is one colour costs a second).
    QImage image = capture();
    for (int i = 0; i < PlainRetries && is_plain(image); ++i)
        image = capture();
    BrowserPicture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.pixels.resize(size_t(picture.width) * size_t(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        std::copy(row, row + picture.width, picture.pixels.begin() + ptrdiff_t(y) * picture.width);
    }
    return picture;
}

} // namespace ruk
