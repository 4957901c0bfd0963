// The running engine: start-up, hooks of the message loop, terminate sequence and shutdown.
#include "host/EngineApp.h"

#include "browser/BrowserLibrary.h"
#include "host/FamilyContext.h"
#include "host/HeadlessServices.h"
#include "host/InterEngine.h"
#include "host/KeyCodes.h"
#include "host/Leftovers.h"
#include "host/X11Window.h"
#include "host/Main.h"
#include "host/SourceBuild.h"
#include "host/Modules.h"
#include "graphics/WindowBitmaps.h"
#include "host/QtClipboard.h"
#include "host/QtFileDialogs.h"
#include "host/QtInputHost.h"
#include "host/QtMenuHost.h"
#include "host/QtEditorHost.h"
#include "host/TouchFilter.h"
#include "system/Disk.h"
#include "system/DynamicLibrary.h"
#include "system/Misc.h"
#include "system/Registry.h"
#include "system/Serial.h"
#include "system/Settings.h"
#include "system/X11Desktop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace ruk {

namespace {

int g_signal_pipe[2] = {-1, -1};
Engine* g_signal_engine = nullptr;
volatile sig_atomic_t g_end_requested = 0;

// A fatal signal (an abort, a crash): the working folder and the built
// package go, then the signal ends the process as it would have.
void on_fatal_signal(int sig)
{
    emergency::clean_up_now();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void on_signal(int)
{
    g_end_requested = 1;
    if (g_signal_engine)
        g_signal_engine->request_abort();
    char byte = 1;
    if (g_signal_pipe[1] >= 0) {
        ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
        (void)written;
    }
}

// SIGUSR1 asks for a snapshot; the loop writes it.
void on_snapshot_signal(int)
{
    char byte = 2;
    if (g_signal_pipe[1] >= 0) {
        ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
        (void)written;
    }
}

// Starts a program without waiting for it; its process id, or 0 when it
// could not start.
pid_t start_program(const std::string& program, std::vector<std::string> args)
{
    args.insert(args.begin(), program);
    return spawn_program(program, args, std::string(), false, false).pid;
}

bool contains_ruk(const std::string& path)
{
    return to_lower(path).find(".ruk") != std::string::npos;
}

std::string self_executable()
{
    std::error_code ec;
    auto target = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("rukengine") : target.string();
}

} // namespace

EngineApp::EngineApp(EngineOptions options)
    : m_options(std::move(options)), m_engine(this),
      m_anim(m_table, [this] { return tick_ms(); }, [this](int index) {
          if (auto* w = dynamic_cast<TrukEngineWin*>(m_table.window(index)))
              w->AnimEngineTimer();
      })
{
    m_state.headless = m_options.headless;
    m_desktop = std::make_unique<X11Desktop>();
    m_input_host = std::make_unique<QtInputHost>(*this, m_state.headless);
    m_dialogs = m_state.headless ? std::unique_ptr<FileDialogs>(new NoFileDialogs) : std::make_unique<QtFileDialogs>();
    m_clipboard = std::make_unique<QtClipboard>();
    m_menus = std::make_unique<QtMenuHost>(
        [this](int index) -> QWidget* { return dynamic_cast<TrukEngineWin*>(m_table.window(index)); });
    m_editors = std::make_unique<QtEditorHost>(
        [this](int index) -> QWidget* { return dynamic_cast<TrukEngineWin*>(m_table.window(index)); },
        QtEditorHost::default_plugin_path());
    m_touch_filter = std::make_unique<TouchFilter>(m_state, [this](const char* name) { raise(name, 0, true, true); });
    m_idle_timer.setSingleShot(true);
    connect(&m_idle_timer, &QTimer::timeout, this, [this] { idle_pass(); });
}

EngineApp::~EngineApp()
{
    m_finished = true;
    if (m_watchdog.joinable())
        m_watchdog.join();
    g_signal_engine = nullptr;
}

_XDisplay* EngineApp::display()
{
    return m_state.headless ? nullptr : m_desktop->display();
}

// --- Host -------------------------------------------------------------------

int EngineApp::message_box(std::string_view text, std::string_view caption, uint32_t flags, int default_button)
{
    if (m_state.headless || m_options.print_boxes) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout << '\n' << std::flush;
        return default_button;
    }
    QMessageBox box;
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    switch (flags & 0xF0) {
    case 0x10: box.setIcon(QMessageBox::Critical); break;
    case 0x20: box.setIcon(QMessageBox::Question); break;
    case 0x30: box.setIcon(QMessageBox::Warning); break;
    case 0x40: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    if (flags & 0x40000)
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    static const char* const names[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    static const QMessageBox::ButtonRole roles[] = {
        QMessageBox::InvalidRole, QMessageBox::AcceptRole, QMessageBox::RejectRole, QMessageBox::RejectRole,
        QMessageBox::AcceptRole,  QMessageBox::AcceptRole, QMessageBox::YesRole,    QMessageBox::NoRole,
    };
    std::vector<std::pair<QPushButton*, int>> buttons;
    const std::vector<int>& ids = dialog_buttons(flags);
    for (int id : ids) {
        QPushButton* b = box.addButton(QString::fromLatin1(names[id]), roles[id]);
        buttons.emplace_back(b, id);
        if (id == default_button)
            box.setDefaultButton(b);
        // Escape (or closing the box) answers Cancel, or OK in a box with OK alone.
        if (id == 2 || (ids.size() == 1 && id == 1))
            box.setEscapeButton(b);
    }
    box.exec();
    for (auto& [b, id] : buttons)
        if (box.clickedButton() == b)
            return id;
    return default_button;
}

int64_t EngineApp::tick_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void EngineApp::terminate_application()
{
    m_quit_requested = true;
    m_engine.set_quit(true);
    // A box still open would hold its own loop: it ends with its default answer.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(0);
        else
            modal->close();
    }
    QCoreApplication::quit();
}

// --- Application services ---------------------------------------------------

void EngineApp::terminate_sequence()
{
    if (m_engine.stopped())
        return;
    if (!run_terminate_events(m_engine, m_state))
        return; // a script keeps the engine running
    m_engine.set_stop(true);
    m_sequence_ran = true;
    QApplication::restoreOverrideCursor();
    write_snapshot();
    close_script_windows();
    if (m_main_window)
        m_main_window->close_for_shutdown();
    terminate_application();
}

// An end the scripts cannot cancel (a signal, the time-out): the terminate
// sequence runs, and the engine ends even when "unload" or "terminate" asked
// to stay.
void EngineApp::end_now()
{
    terminate_sequence();
    if (!m_engine.stopped()) {
        m_engine.set_stop(true);
        m_sequence_ran = true;
        write_snapshot();
        close_script_windows();
        if (m_main_window)
            m_main_window->close_for_shutdown();
    }
    terminate_application();
}

void EngineApp::set_title(const std::string& title)
{
    m_engine.set_caption(title);
    QString text = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    QApplication::setApplicationDisplayName(text);
    if (m_main_window)
        m_main_window->setWindowTitle(text);
}

bool EngineApp::set_icon(const std::string& path)
{
    if (!QFileInfo::exists(QString::fromStdString(path)))
        return false;
    QApplication::setWindowIcon(QIcon(QString::fromStdString(path)));
    return true;
}

// A hidden engine's window is never shown, not even by restoring it.
void EngineApp::minimize()
{
    if (m_main_window && !m_state.hidden)
        m_main_window->showMinimized();
}

void EngineApp::restore()
{
    if (m_main_window && !m_state.hidden)
        m_main_window->showNormal();
}

int EngineApp::start_engine(const std::string& parameters, bool)
{
    std::vector<std::string> args;
    if (m_state.headless)
        args.push_back("--headless");
    // An engine under a time-out starts engines that end no later than it.
    if (m_options.timeout > 0) {
        using namespace std::chrono;
        double left = m_options.timeout - duration<double>(steady_clock::now() - m_started_at).count();
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", left > 0.001 ? left : 0.001);
        args.push_back("--timeout");
        args.push_back(text);
    }
    for (auto& a : split_parameter_text(parameters))
        args.push_back(std::move(a));
    // The trailing empty arguments of the parameter text are the package's own.
    pid_t pid = start_program(self_executable(), args);
    if (pid == 0)
        return 2;
    m_started_engines.push_back(pid);
    return 42;
}

// Engines started by "execute" are collected once they end, so that none
// stays behind as a zombie while this one runs.
void EngineApp::reap_children()
{
    for (size_t i = 0; i < m_started_engines.size();) {
        if (::waitpid(m_started_engines[i], nullptr, WNOHANG) != 0)
            m_started_engines.erase(m_started_engines.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

int EngineApp::count_instances(const std::string& package_id)
{
    // Counting never creates a semaphore or a key file.
    auto semaphore = InstanceSemaphore::find("sem_rukreader" + package_id, InstanceSemaphore::default_key_folder());
    return semaphore ? semaphore->holders() : 0;
}

// --- System services ----------------------------------------------------------

void EngineApp::process_events()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
}

void EngineApp::beep()
{
    QApplication::beep();
}

int EngineApp::colour_depth()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

int EngineApp::count_engines()
{
    return m_global_semaphore ? m_global_semaphore->holders() : 1;
}

std::string EngineApp::engine_file_name()
{
    return self_executable();
}

// --- start-up and shutdown -------------------------------------------------------

bool EngineApp::locate_package(std::string& path)
{
    path = m_options.package;
    if (path.empty())
        path = default_package_path();
    return true;
}

std::string EngineApp::default_package_path()
{
    // An engine named X runs X.ruk beside it.
    std::string exe = self_executable();
    std::string lower = to_lower(exe);
    size_t dot = lower.rfind(".exe");
    return dot != std::string::npos ? exe.substr(0, dot) + ".ruk" + exe.substr(dot + 4) : exe + ".ruk";
}

void EngineApp::hold_package_semaphores(const PackageHeader& header)
{
    m_state.running_family_id = header.family_id;
    const std::string folder = InstanceSemaphore::default_key_folder();
    // An empty id would name the global semaphore and count this engine twice.
    if (!header.package_id.empty())
        m_package_semaphore = InstanceSemaphore::open("sem_rukreader" + header.package_id, folder);
    if (!header.family_id.empty())
        m_family_semaphore = InstanceSemaphore::open("sem_rukreader" + header.family_id, folder);
    if (m_package_semaphore)
        m_package_semaphore->hold();
    if (m_family_semaphore)
        m_family_semaphore->hold();
}

int EngineApp::print_families()
{
    m_registry = std::make_unique<Registry>(Registry::default_path());
    register_families();
    for (const std::string& word : registered_words(m_engine))
        std::cout << word << '\n';
    std::cout.flush();
    return 0;
}

void EngineApp::register_families()
{
    FamilyContext context{m_engine,     m_state,    m_session,   *m_registry,       *this,    *this, *m_desktop, *this,
                          *m_input_host, *m_dialogs, *m_clipboard, m_bitmaps, *m_menus, m_editors.get()};
    if (BrowserLibrary::prepared()) {
        m_browsers = std::make_unique<BrowserLibrary>(*this);
        context.browsers = m_browsers.get();
    }
    ruk::register_families(context);
}

int EngineApp::start_up()
{
    // From the first moment on, a signal ends the engine in order: the
    // working folder goes and the semaphore units come back; the time-out
    // runs from here too.
    m_started_at = std::chrono::steady_clock::now();
    install_signal_handlers();
    start_watchdog();
    m_engine.random().seed_from_clock();
    m_global_semaphore = InstanceSemaphore::open("sem_rukreader", InstanceSemaphore::default_key_folder());
    if (m_global_semaphore)
        m_global_semaphore->hold();
    std::error_code ec;
    Session::prepare_temp_root();
    // What engines that are gone left behind (a kill, a power cut) goes now.
    sweep_leftovers(Session::temp_root());
    if (m_options.verbose) {
        m_engine.set_error_observer(
            [](const std::string& text) { std::cerr << "rukengine: " << Engine::readable_error(text) << std::endl; });
        DynamicLibrary::set_notice_sink([](const std::string& text) { std::cerr << text << std::endl; });
    }

    std::string path;
    locate_package(path);
    m_state.arguments.push_back(path);
    for (const auto& a : m_options.arguments)
        m_state.arguments.push_back(a);

    // Sources run as a package built for this run.
    if (is_source_path(path)) {
        std::string built = Session::temp_root() + "source-" + m_engine.random().random_id() + ".ruk";
        PackageWriteOptions options;
        options.output_path = built;
        PackageHeader header;
        header.package_id = package_name_of(path).substr(0, 16);
        SourceBuild build = build_package_from_sources(path, options, header);
        if (!build.ok) {
            for (const auto& e : build.errors)
                std::fprintf(stderr, "rukengine: %s\n", e.c_str());
            return ExitSourceErrors;
        }
        m_built_package = built;
        m_built_lock.hold(built);
        emergency::remember("", m_built_package);
        m_state.package_name = package_name_of(path);
        path = built;
    }

    if (!contains_ruk(path)) {
        m_engine.info_box(path.empty() ? std::string("rukEngine version ") + EngineVersion
                                       : "Cannot read this file : " + path);
        return path.empty() ? ExitOk : ExitNotAPackage;
    }
    if (!fs::exists(path, ec)) {
        m_engine.info_box("Cannot find " + path + "##Engine version " + EngineVersion);
        if (m_options.package.empty())
            std::fputs("rukengine: no package given (rukengine --help tells how to start one)\n", stderr);
        return ExitNotFound;
    }
    // Only a regular file is read: a pipe or a device would hold start-up
    // for ever, beyond the reach of the time-out and the signals.
    if (!fs::is_regular_file(path, ec)) {
        m_engine.info_box("Cannot read this file : " + path);
        return ExitNotAPackage;
    }
    // Made absolute before anything changes directory: a restart must find it.
    const std::string absolute_path = fs::absolute(path, ec).string();
    m_state.package_path = fs::absolute(m_built_package.empty() ? path : m_options.package, ec).string();
    if (m_state.package_name.empty())
        m_state.package_name = package_name_of(path);
    m_session.package_path = path;
    if (!m_session.unpack(m_engine.random(), [this](const PackageHeader& h) { hold_package_semaphores(h); })) {
        bool no_restart = m_options.arguments.size() >= 1 && to_lower(std::string(trim_blanks(m_options.arguments[0]))) == "/norestart";
        if (m_options.verbose)
            std::fprintf(stderr, "rukengine: cannot read the package %s; %s\n", path.c_str(),
                         no_restart ? "not starting again" : "starting again with /norestart");
        if (!no_restart) {
            std::vector<std::string> args = m_options.engine_flags;
            args.push_back(absolute_path.empty() ? path : absolute_path);
            args.push_back("/norestart");
            m_restarted = start_program(self_executable(), args);
            if (m_restarted != 0)
                return ExitOk; // the restarted engine's code becomes this one's
        }
        return ExitUnreadable;
    }
    m_folder_lock.hold(m_session.working_folder);
    emergency::remember(m_session.working_folder, m_built_package);
    if (end_requested())
        return ExitOk;
    if (::chdir(m_session.working_folder.c_str()) != 0)
        std::fprintf(stderr, "rukengine: cannot enter %s\n", m_session.working_folder.c_str());
    m_session.keep_folder = false;

    m_registry = std::make_unique<Registry>(Registry::default_path());
    register_families();
    // The engine window exists from the start, so that the start-up events
    // can already size and place it; it is shown, and its timers start, once
    // they have run.
    m_main_window = std::make_unique<TrukEngineWin>(*this, 0);
    m_table.occupy(0, m_main_window.get());
    m_table.record(0).target_left = static_cast<float>(m_main_window->x()) * 100.0f;
    m_table.record(0).target_top = static_cast<float>(m_main_window->y()) * 100.0f;
    if (!m_engine.code().load_code(m_session.prepare_code())) {
        std::fprintf(stderr, "rukengine: the package has no readable code\n");
        return ExitNoCode;
    }
    m_state.start_time = std::chrono::steady_clock::now();
    install_hooks();

    m_engine.run_event("_initialize", true, 0, false);
    if (!m_quit_requested && !end_requested())
        m_engine.run_event("initialize", true, 0, false);
    if (end_requested())
        end_now();
    if (m_quit_requested || m_engine.stopped())
        return 0;

    m_main_window->apply_style();
    // Only now may the engine window's timers raise "load" and the rest.
    m_main_window->start_timers();
    if (!m_state.hidden) {
        m_main_window->show();
        if (!m_state.show_in_taskbar && !m_state.headless)
            set_skip_taskbar(m_desktop->display(), static_cast<uint32_t>(m_main_window->winId()));
    }
    m_state.engine_window_handle = static_cast<uint32_t>(m_main_window->winId());
    m_desktop->set_own_window(m_state.engine_window_handle,
                              [this](uint32_t m, uint32_t w, uint32_t l) { handle_engine_message(m, w, l); });
    QApplication::exec();
    return 0;
}

void EngineApp::install_hooks()
{
    qApp->installEventFilter(this);
    qApp->installNativeEventFilter(this);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { schedule_idle(); });
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        connect(screen, &QScreen::availableGeometryChanged, this,
                [this] { raise("system:desktop:changed", 0, false, false); });
        connect(screen, &QScreen::geometryChanged, this,
                [this] { raise("system:display:changed", 0, false, false); });
    }
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (!m_main_window || m_main_window->activation_countdown > 0)
            return;
        if (s == Qt::ApplicationActive)
            raise("gotfocus", 0, false, false);
        else if (s == Qt::ApplicationInactive)
            raise("lostfocus", 0, false, false);
    });
    start_watchdog();
}

void EngineApp::install_signal_handlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0)
        return;
    g_signal_engine = &m_engine;
    m_signal_notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, this);
    connect(m_signal_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        ssize_t got = ::read(g_signal_pipe[0], &byte, 1);
        if (got == 1 && byte == 2) {
            write_snapshot();
            return;
        }
        end_now();
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // Every signal that would end the process quietly ends the engine in
    // order instead: a closed pipe on standard output ("... | head"), an
    // alarm, the user signals.
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2})
        sigaction(sig, &action, nullptr);
    struct sigaction fatal {};
    fatal.sa_handler = on_fatal_signal;
    sigemptyset(&fatal.sa_mask);
    fatal.sa_flags = SA_RESETHAND;
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGQUIT})
        sigaction(sig, &fatal, nullptr);
    // With a snapshot file, SIGUSR1 asks for a picture instead of an end.
    if (!m_options.snapshot.empty()) {
        struct sigaction snapshot {};
        snapshot.sa_handler = on_snapshot_signal;
        sigemptyset(&snapshot.sa_mask);
        snapshot.sa_flags = SA_RESTART;
        sigaction(SIGUSR1, &snapshot, nullptr);
    }
}

bool EngineApp::end_requested() const
{
    return g_end_requested != 0 || m_timed_out;
}

void EngineApp::start_watchdog()
{
    if (m_options.timeout <= 0 || m_watchdog.joinable())
        return;
    m_watchdog = std::thread([this] {
        using namespace std::chrono;
        auto deadline = steady_clock::now() + duration<double>(m_options.timeout);
        while (!m_finished && steady_clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(10));
        if (m_finished)
            return;
        // Stop the running script, then end the engine from its own thread.
        m_timed_out = true;
        m_engine.request_abort();
        QMetaObject::invokeMethod(this, [this] { end_now(); }, Qt::QueuedConnection);
        // "unload" and "terminate" get ten seconds; an engine still busy
        // then is not waited for.
        auto hard = steady_clock::now() + seconds(10);
        while (!m_finished && steady_clock::now() < hard)
            std::this_thread::sleep_for(milliseconds(20));
        if (!m_finished) {
            emergency::clean_up_now();
            std::_Exit(ExitTimedOut);
        }
    });
}

void EngineApp::shut_down()
{
    if (!m_sequence_ran && m_main_window)
        terminate_sequence();
    if (!m_sequence_ran)
        write_snapshot();
    m_engine.set_stop(true);
    m_finished = true;
    close_script_windows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (m_main_window) {
        m_main_window->close_for_shutdown();
        m_table.release(0);
        m_main_window.reset();
    }
    if (!m_session.keep_folder) {
        m_session.delete_working_folder();
    } else {
        // A folder kept on purpose is no leftover for later engines to sweep.
        mark_kept(m_session.working_folder);
        if (::chdir("/") != 0) {
            // nothing else to do: the folder stays
        }
    }
    m_input_host.reset(); // the display mode found at the start comes back
    if (!m_built_package.empty()) {
        std::error_code ec;
        fs::remove(m_built_package, ec);
    }
    m_folder_lock.drop();
    m_built_lock.drop();
    emergency::remember("", "");
    for (auto* semaphore : {&m_package_semaphore, &m_family_semaphore, &m_global_semaphore})
        if (*semaphore)
            (*semaphore)->release();
}

// Waits for the engine started again on a package this one could not
// unpack, passing an end request on to it; its exit code is the answer.
int EngineApp::wait_for_restart()
{
    bool passed_on = false;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(m_restarted, &status, WNOHANG);
        if (done == m_restarted)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0)
            return ExitUnreadable;
        if (end_requested() && !passed_on) {
            ::kill(m_restarted, SIGTERM);
            passed_on = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int EngineApp::run()
{
    int code = start_up();
    shut_down();
    if (m_restarted != 0)
        code = wait_for_restart();
    return code;
}

} // namespace ruk
