// The running engine: start-up, the message loop's hooks, the terminate sequence and shutdown.
#pragma once

#include "core/Engine.h"
#include "host/AnimEngine.h"
#include "graphics/ScriptWindow.h"
#include "graphics/BitmapReferences.h"
#include "graphics/WindowBitmaps.h"
#include "host/Application.h"
#include "host/HostState.h"
#include "host/Leftovers.h"
#include "host/Semaphore.h"
#include "host/Session.h"
#include "system/Misc.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <sys/types.h>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QSocketNotifier;
struct _XDisplay;

namespace ruk {

class TrukEngineWin;
class QtInputHost;
class FileDialogs;
class Clipboard;
class QtMenuHost;
class QtEditorHost;
class BrowserLibrary;
class TouchFilter;
class X11Desktop;
class Registry;

struct EngineOptions {
    bool headless = false;
    double timeout = 0;      // seconds; 0 = none
    bool verbose = false;    // reported errors go to standard error
    bool print_boxes = false; // message boxes print and answer their default, even with a display
    std::string package;     // PACKAGE, SOURCE.rks or SOURCEDIR; empty = beside the executable
    std::vector<std::string> arguments; // the package's own arguments
    std::vector<std::string> engine_flags; // the options as given, for a restart
    bool list_families = false; // print the registered command words instead of running
    std::string snapshot;    // a PNG of the composed windows, written at the end and on SIGUSR1
};

// The engine's exit codes. A package that ran and ended normally gives 0,
// whatever its scripts did; the others say why it could not run.
enum EngineExitCode : int {
    ExitOk = 0,
    ExitSourceErrors = 1,  // script sources that do not compile
    ExitUsage = 2,         // a bad command line
    ExitTimedOut = 3,      // the time-out ended an engine that did not stop in time
    ExitNotFound = 4,      // "Cannot find ..."
    ExitNotAPackage = 5,   // "Cannot read this file ..." (not a package, or not a regular file)
    ExitUnreadable = 6,    // the package cannot be unpacked, even after the restart
    ExitNoCode = 7,        // the package holds no readable code
};

// One engine process. It is the language core's host (boxes, the clock),
// the application family's services, the application-wide message hook and
// the receiver of X11 messages from other engines.
//
// Life cycle: run() locates the package, holds the instance semaphores,
// unpacks it into a working folder, loads its code, runs "_initialize" and
// "initialize", creates the engine window and runs the message loop. The
// terminate sequence ("unload", "terminate", then the stop flag and the
// windows closed) runs once, from whichever end comes first: a script,
// Escape or a right click on the engine window, an end request from another
// engine, SIGTERM/SIGINT or the time-out. Shutdown then deletes the working
// folder and gives the semaphore units back.
class EngineApp : public QObject,
                  public Host,
                  public ApplicationServices,
                  public SystemServices,
                  public WindowHost,
                  public QAbstractNativeEventFilter {
public:
    explicit EngineApp(EngineOptions options);
    ~EngineApp() override;

    // The whole run; returns the process exit code.
    int run();
    // Registers the families as a run would and prints their words, one a
    // line, sorted; returns 0.
    int print_families();
    // The package an engine started without one runs: X.ruk beside an engine named X.
    static std::string default_package_path();

    Engine& engine() { return m_engine; }
    // The X connection of the engine's own queries; null headless.
    _XDisplay* display();
    HostState& state() { return m_state; }

    // Host
    int message_box(std::string_view text, std::string_view caption, uint32_t flags, int default_button) override;
    int64_t tick_ms() override;
    void terminate_application() override;
    // A box is about to open: no window keeps following the pointer.
    void clear_drag_state() override;

    // ApplicationServices
    void terminate_sequence() override;
    void end_now();
    void set_title(const std::string& title) override;
    bool set_icon(const std::string& path) override;
    void minimize() override;
    void restore() override;
    int start_engine(const std::string& parameters, bool hidden) override;
    int count_instances(const std::string& package_id) override;

    // SystemServices
    void process_events() override;
    void beep() override;
    int colour_depth() override;
    int count_engines() override;
    std::string engine_file_name() override;

    // WindowHost
    ScriptWindow* make_window(int index) override;
    void free_window(ScriptWindow* window) override;
    int window_at(int32_t x, int32_t y) override;
    WindowRect screen() override;
    uint64_t find_window(std::string_view caption) override;
    void repaint_area(const WindowRect& area) override;
    int64_t motion_clock_ms() override { return tick_ms(); }
    void animation_started(int index) override;

    // Writes the composed picture of every visible window to the snapshot
    // file given on the command line; false when none was given or it
    // could not be written.
    bool write_snapshot();

    // Raises an event for window 0 or a script window.
    void raise(const char* name, int window, bool immediate, bool use_group);
    // A message from another engine (or this one): text transfer, numbers, end request.
    void handle_engine_message(uint32_t message, uint32_t wparam, uint32_t lparam);
    // The last error text becomes the exception's message and "exception" runs;
    // without such an event the application ends.
    void handle_exception(const std::string& message);

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int start_up();
    void shut_down();
    bool locate_package(std::string& path);
    void hold_package_semaphores(const PackageHeader& header);
    void register_families();
    void install_hooks();
    void idle_pass();
    void reap_children();
    bool end_requested() const;
    void schedule_idle();
    void install_signal_handlers();
    void start_watchdog();
    int wait_for_restart();
    // Closes script windows 1 to 254 in order, without "unload".
    void close_script_windows();

    EngineOptions m_options;
    Engine m_engine;
    HostState m_state;
    Session m_session;
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<Registry> m_registry;
    std::optional<InstanceSemaphore> m_global_semaphore;
    std::optional<InstanceSemaphore> m_package_semaphore;
    std::optional<InstanceSemaphore> m_family_semaphore;
    std::unique_ptr<TrukEngineWin> m_main_window;
    WindowBitmaps m_window_bitmaps{*this}; // the windows' backing bitmaps
    BitmapReferences m_bitmaps{&m_window_bitmaps}; // every bitmap scripts name
    std::unique_ptr<QtInputHost> m_input_host;   // cursors and the screen; ends before the application
    std::unique_ptr<TouchFilter> m_touch_filter;
    std::unique_ptr<FileDialogs> m_dialogs;      // cancelled headless
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<QtMenuHost> m_menus;
    std::unique_ptr<QtEditorHost> m_editors;     // opens the editor plugin on first use
    std::unique_ptr<BrowserLibrary> m_browsers; // the browser module, when start-up opened it
    std::string m_built_package;     // a package built from sources, removed at the end
    bool m_sequence_ran = false;     // the terminate sequence has stopped the engine
    bool m_quit_requested = false;   // the application was asked to end
    QTimer m_idle_timer;
    std::vector<pid_t> m_started_engines;
    std::atomic<bool> m_timed_out{false};
    QSocketNotifier* m_signal_notifier = nullptr;
    std::thread m_watchdog;
    std::atomic<bool> m_finished{false};
    std::chrono::steady_clock::time_point m_started_at = std::chrono::steady_clock::now();
    RunLock m_folder_lock;           // marks the working folder as in use
    RunLock m_built_lock;            // marks the package built from sources as in use
    pid_t m_restarted = 0;           // the engine started again with "/norestart"
    AnimEngine m_anim;               // every window's 20 ms animation tick
};

} // namespace ruk
