// The page-to-script schemes "ruk:" and "vop:" inside the browsers.
#pragma once

#include <QWebEngineUrlSchemeHandler>

namespace ruk {

// "ruk:" never loads anything: every such navigation is a call into the
// script and is refused before it starts. "vop:NAME" loads the file NAME
// from the package's working folder (the current folder); a name that
// leaves the folder ("..", an absolute path) is refused.
class PageSchemes : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    // Registers both schemes, and "mailto" so that mail links reach the
    // engine; must run before the application object exists.
    static void register_schemes();

    void requestStarted(QWebEngineUrlRequestJob* job) override;
};

} // namespace ruk
