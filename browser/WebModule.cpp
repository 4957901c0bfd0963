// The browser module's entry points: WebEngine's start-up, the shared profile and the browsers it makes.
#include "browser/BrowserControl.h"
#include "browser/BrowserInputFilter.h"
#include "browser/BrowserModule.h"
#include "browser/PageSchemes.h"
#include "browser/Webbrowser.h"

#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

#include <cstdlib>
#include <unistd.h>

namespace ruk {

namespace {

// Chromium's own switches: no GPU process, and nothing it would fetch on
// its own (updates, safe-browsing lists, metrics). As root it runs without
// its sandbox, which it refuses to start under.
void set_chromium_switches()
{
    if (std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        return;
    std::string flags = "--disable-gpu --disable-background-networking --disable-component-update "
                        "--disable-domain-reliability --disable-sync --no-pings --disable-breakpad "
                        "--metrics-recording-only --no-first-run";
    if (::geteuid() == 0)
        flags = "--no-sandbox " + flags;
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
}

// One profile for every browser of the engine, kept in memory only: no
// cache, cookies or history are written to the disk. Downloads a page asks
// for are refused.
class WebEngineModule : public BrowserModule {
public:
    WebEngineModule()
    {
        m_profile = new QWebEngineProfile(qApp);
        m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        m_schemes = new PageSchemes(m_profile);
        m_profile->installUrlSchemeHandler("ruk", m_schemes);
        m_profile->installUrlSchemeHandler("vop", m_schemes);
        // Mail addresses would otherwise go straight to the desktop's mail
        // program; with a handler they are navigations the engine refuses.
        m_profile->installUrlSchemeHandler("mailto", m_schemes);
        QObject::connect(m_profile, &QWebEngineProfile::downloadRequested,
                         [](QWebEngineDownloadRequest* request) { request->cancel(); });
        qApp->installEventFilter(new BrowserInputFilter(qApp));
    }

    std::unique_ptr<BrowserView> create(int id, void* parent_widget, BrowserEvents& events) override
    {
        auto* form = new TfBrowser(id, static_cast<QWidget*>(parent_widget), m_profile, events);
        return std::make_unique<BrowserControl>(form);
    }

    int scrollbar_width() override { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

    std::vector<ShownPage> shown_pages(void* parent_widget) override
    {
        std::vector<ShownPage> pages;
        auto* parent = static_cast<QWidget*>(parent_widget);
        if (!parent)
            return pages;
        // Grabbing runs the loop a little, in which a form may go: the forms
        // are held by guarded pointers, in their stacking order.
        std::vector<QPointer<TfBrowser>> forms;
        for (QObject* child : parent->children())
            if (auto* form = qobject_cast<TfBrowser*>(child))
                forms.emplace_back(form);
        for (const QPointer<TfBrowser>& form : forms) {
            if (!form || form->isHidden() || form->width() <= 0 || form->height() <= 0)
                continue;
            BrowserPicture picture = form->grab_page();
            if (!form || picture.width <= 0 || picture.height <= 0)
                continue;
            const QRect place = form->geometry();
            pages.push_back(ShownPage{BrowserBounds{place.x(), place.y(), place.width(), place.height()},
                                      std::move(picture)});
        }
        return pages;
    }

private:
    QWebEngineProfile* m_profile = nullptr;
    PageSchemes* m_schemes = nullptr;
};

} // namespace

} // namespace ruk

extern "C" __attribute__((visibility("default"))) bool ruk_browser_prepare()
{
    ruk::set_chromium_switches();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ruk::PageSchemes::register_schemes();
    return true;
}

extern "C" __attribute__((visibility("default"))) ruk::BrowserModule* ruk_browser_module()
{
    static ruk::WebEngineModule* module = new ruk::WebEngineModule;
    return module;
}
