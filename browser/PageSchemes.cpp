// The page-to-script schemes "ruk:" and "vop:" inside the browsers.
#include "browser/PageSchemes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace ruk {

void PageSchemes::register_schemes()
{
    for (const char* name : {"ruk", "vop", "mailto"}) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

void PageSchemes::requestStarted(QWebEngineUrlRequestJob* job)
{
    const QUrl url = job->requestUrl();
    if (url.scheme().toLower() != QLatin1String("vop")) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    QString name = url.path();
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    const QString clean = QDir::cleanPath(name);
    if (clean.isEmpty() || clean.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(clean)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    QFile file(QDir::current().filePath(clean));
    if (!file.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* body = new QBuffer(job);
    body->setData(file.readAll());
    const QByteArray type = QMimeDatabase().mimeTypeForFile(clean, QMimeDatabase::MatchExtension).name().toLatin1();
    job->reply(type, body);
}

} // namespace ruk
