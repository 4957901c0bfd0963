// rukengine: runs one script package (or script sources) on the desktop or headless.
#include "browser/BrowserLibrary.h"
#include "browser/BrowserUse.h"
#include "host/EngineApp.h"
#include "host/HostState.h"
#include "help/rukengine_help.h"

#include <QApplication>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <algorithm>

namespace {

ruk::EngineApp* g_engine = nullptr;

// Exceptions that reach the message loop become the script's "exception" event.
class EngineApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (g_engine)
                g_engine->handle_exception(e.what());
        } catch (...) {
            if (g_engine)
                g_engine->handle_exception("Unknown exception");
        }
        return false;
    }
};

bool g_verbose = false;

// Qt's own diagnostics reach standard error only with --verbose: standard
// error belongs to the script's reported errors.
void qt_messages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (g_verbose || type == QtFatalMsg)
        std::fprintf(stderr, "qt: %s\n", text.toLocal8Bit().constData());
}

// The usage and the options, from the same source text as the manual page.
void usage(FILE* out)
{
    std::fputs(ruk::help::Help, out);
}

bool display_reachable()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Past a file-size limit a write fails and is reported (the old file
    // stays, the temporary one goes) instead of the signal ending the engine.
    std::signal(SIGXFSZ, SIG_IGN);
    ruk::EngineOptions options;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--headless") {
            options.headless = true;
            options.engine_flags.push_back(a);
        } else if (a == "--verbose") {
            options.verbose = true;
            options.engine_flags.push_back(a);
        } else if (a == "--print-boxes") {
            options.print_boxes = true;
            options.engine_flags.push_back(a);
        } else if (a == "--timeout" && i + 1 < argc) {
            char* end = nullptr;
            options.timeout = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end || !(options.timeout > 0)) {
                std::fprintf(stderr, "rukengine: --timeout needs a number of seconds above 0\n");
                usage(stderr);
                return 2;
            }
            options.engine_flags.push_back(a);
            options.engine_flags.push_back(argv[i]);
        } else if (a == "--timeout") {
            std::fprintf(stderr, "rukengine: --timeout needs a number of seconds\n");
            return 2;
        } else if (a == "--snapshot" && i + 1 < argc) {
            // The engine works in its package's working folder: a relative
            // name is taken from the folder it was started in.
            std::error_code error;
            const std::filesystem::path absolute = std::filesystem::absolute(argv[++i], error);
            options.snapshot = error ? argv[i] : absolute.string();
        } else if (a == "--snapshot") {
            std::fprintf(stderr, "rukengine: --snapshot needs a file name\n");
            return 2;
        } else if (a == "--families") {
            options.list_families = true;
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("rukengine %s (engine version %s)\n", ruk::help::Version, ruk::EngineVersion);
            return 0;
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::fprintf(stderr, "rukengine: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else {
            break;
        }
    }
    if (i < argc)
        options.package = argv[i++];
    for (; i < argc; ++i)
        options.arguments.push_back(argv[i]);

    // The platform is chosen once, here.
    if (!options.headless && !display_reachable())
        options.headless = true;
    if (options.headless && std::find(options.engine_flags.begin(), options.engine_flags.end(), "--headless")
                                == options.engine_flags.end())
        options.engine_flags.push_back("--headless");
    setenv("QT_QPA_PLATFORM", options.headless ? "offscreen" : "xcb", 1);
    g_verbose = options.verbose;
    qInstallMessageHandler(qt_messages);

    // WebEngine must be set up before the application object: only for a
    // package whose code names the browser family.
    if (!options.list_families) {
        std::string package = options.package;
        if (package.empty())
            package = ruk::EngineApp::default_package_path();
        if (ruk::package_uses_browsers(package))
            ruk::BrowserLibrary::prepare();
    }

    int qt_argc = 1;
    char* qt_argv[] = {argv[0], nullptr};
    EngineApplication app(qt_argc, qt_argv);
    app.setQuitOnLastWindowClosed(false);
    const bool options_list_families = options.list_families;
    ruk::EngineApp engine(std::move(options));
    g_engine = &engine;
    int code = options_list_families ? engine.print_families() : engine.run();
    g_engine = nullptr;
    return code;
}
