// Keeps an offline browser from reaching the network.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace ruk {

// While offline, every request for a network address (http, https, ws,
// wss, ftp) is blocked; local pages and the engine's schemes still load.
class OfflineFilter : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void set_offline(bool offline) { m_offline = offline; }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!m_offline)
            return;
        const QString scheme = info.requestUrl().scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ws") ||
            scheme == QLatin1String("wss") || scheme == QLatin1String("ftp"))
            info.block(true);
    }

private:
    bool m_offline = false;
};

} // namespace ruk
