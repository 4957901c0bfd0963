// Other programs' windows and the messages between engines, over one Xlib connection.
#pragma once

#include "system/WindowRect.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Xlib's own declaration, so that users of this header need not include Xlib.
typedef struct _XDisplay Display;

namespace ruk {

// Wire format of a message between engines (other engines rely on it; keep
// it stable). A message is an X11 ClientMessage event:
//   window       = the target window id (the receiving engine's window)
//   message_type = the atom "RUK_ENGINE_MESSAGE" (interned, created if missing)
//   format       = 32
//   data.l[0]    = the message number, e.g. 0x8001 for a step of a text transfer
//   data.l[1]    = the word parameter, 32 bits, unsigned
//   data.l[2]    = the long parameter, 32 bits, unsigned
//   data.l[3], data.l[4] = 0
// It is sent with XSendEvent(display, target, False, NoEventMask, &event)
// followed by XFlush, so messages from one sender arrive in the order they
// were posted. Window handles in scripts are X11 window ids in decimal.
inline constexpr const char* EngineMessageAtomName = "RUK_ENGINE_MESSAGE";
// An engine marks its own window with this property (CARDINAL, format 32,
// value 1), so that tools can tell it from other windows of the process.
inline constexpr const char* EngineWindowAtomName = "RUK_ENGINE_WINDOW";

// Recognises a message between engines in an event as xcb delivers it (an
// xcb_generic_event_t, 32 bytes): a client message, sent or not, of format 32
// whose type is `message_atom`. Fills the three numbers and returns true;
// returns false and leaves them alone for any other event or a null pointer.
bool decode_engine_message(const void* xcb_generic_event, uint32_t message_atom, uint32_t& message, uint32_t& wparam,
                           uint32_t& lparam);


// Questions about the desktop's windows and actions on them, answered through
// an Xlib connection of our own, opened on first use. When no display can be
// opened every question gets the neutral answer (0, empty text, false) and
// every action does nothing.
//
// Windows are X11 window ids; 0 names no window. A "top-level window" is a
// window at most four levels below the root: a client window under any
// window manager, or a child of the root without one. Unmapped (hidden)
// windows count. Titles are _NET_WM_NAME (UTF-8), else WM_NAME converted to
// UTF-8; a title is compared byte for byte.
//
// X errors. A request about a window that has gone away makes the server
// answer with an error, which Xlib hands to a process-wide handler whose
// default ends the process. The first use installs a handler that counts and
// ignores errors on our connections and passes errors of any other
// connection on to the handler it replaced; every later call re-installs it
// if someone replaced it meanwhile. Everything runs on one thread.
class X11Desktop {
public:
    using SelfHandler = std::function<void(uint32_t message, uint32_t wparam, uint32_t lparam)>;

    // Uses $DISPLAY.
    X11Desktop();
    // Uses the named display (":5"); for tests and tools.
    explicit X11Desktop(std::string display_name);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // A desktop that never opens a display: every answer is the neutral one
    // (rukc run, the test harness).
    static std::unique_ptr<X11Desktop> without_display();

    // Opens the connection when not tried yet; false when there is no display.
    bool available();

    // The engine's own window and the handler that takes a message sent to it
    // synchronously (it runs at once, re-entering the engine). Marks the
    // window with the engine property when it is not 0.
    void set_own_window(uint32_t window, SelfHandler handler);
    uint32_t own_window() const { return m_own_window; }

    // --- finding windows ---
    // The top-level window with exactly this title; a client window that the
    // window manager manages wins over other windows with the title, then the
    // higher one in the stacking order. 0 when there is none.
    uint32_t find_window(std::string_view title);
    // True when a top-level window has this title and, unless `window_class`
    // is empty, a WM_CLASS whose class or instance name equals it.
    bool exists(std::string_view title, std::string_view window_class);
    // The window's title, empty when it has none or names no window.
    std::string title_of(uint32_t window);
    // The window at a point of the screen: the deepest mapped window there,
    // then up to the nearest one that carries a title (the managed client
    // window when the point lies on a window manager's frame). The root when
    // the point shows the bare desktop; 0 without a display.
    uint32_t window_at(int32_t x, int32_t y);
    // _NET_ACTIVE_WINDOW, else the window with the input focus; 0 for none.
    uint32_t foreground_window();
    // The root window.
    uint32_t desktop_window();

    // --- one window ---
    // Position of the window's inside (without border and frame) on the
    // screen, and its size; nothing when the handle names no window.
    std::optional<WindowRect> window_rect(uint32_t window);
    // The program file of the process that owns the window, from
    // _NET_WM_PID and /proc/PID/exe; empty when the window carries no pid,
    // belongs to another machine (WM_CLIENT_MACHINE) or the link is unreadable.
    std::string module_file_name(uint32_t window);
    bool is_window(uint32_t window);
    // Mapped and viewable, or minimised (a minimised window stays visible).
    bool is_visible(uint32_t window);
    // X11 has no disabled top-level windows: true for every existing window.
    bool is_enabled(uint32_t window);
    // WM_STATE is IconicState, or _NET_WM_STATE holds _NET_WM_STATE_HIDDEN.
    bool is_iconic(uint32_t window);

    // --- acting on windows ---
    // Raises the window and gives it the focus: through the window manager
    // (_NET_ACTIVE_WINDOW) when one runs, else directly. False when the
    // handle names no window.
    bool activate(uint32_t window);
    // Restores a minimised window; does nothing to others.
    void open_icon(uint32_t window);
    // Asks the window to close: _NET_CLOSE_WINDOW through a window manager
    // that supports it, else WM_DELETE_WINDOW when the window takes that
    // protocol. A window that takes neither is left alone (nothing kills its
    // program). False when the handle names no window.
    bool close(uint32_t window);

    // --- messages between engines ---
    // Posts a message in the wire format above. False without a display.
    bool post_message(uint32_t window, uint32_t message, uint32_t wparam, uint32_t lparam);
    // Posts and waits until the server has delivered it; a message to our own
    // window is handed to the self handler at once instead. False when there
    // is no display or the server refused the target.
    bool send_message(uint32_t window, uint32_t message, uint32_t wparam, uint32_t lparam);
    // decode_engine_message with the atom of this connection's server.
    bool decode_engine_message(const void* xcb_generic_event, uint32_t& message, uint32_t& wparam, uint32_t& lparam);
    // The atom "RUK_ENGINE_MESSAGE"; 0 without a display.
    uint32_t engine_message_atom();

    // The connection, or null; for tests and tools that create windows.
    Display* display();

private:
    enum AtomId : size_t {
        AtomEngineMessage,
        AtomEngineWindow,
        AtomUtf8String,
        AtomCompoundText,
        AtomNetWmName,
        AtomNetWmPid,
        AtomNetActiveWindow,
        AtomNetCloseWindow,
        AtomNetSupported,
        AtomNetSupportingWmCheck,
        AtomNetWmState,
        AtomNetWmStateHidden,
        AtomWmState,
        AtomWmProtocols,
        AtomWmDeleteWindow,
        AtomWmClientMachine,
        AtomCount
    };
    unsigned long atom(AtomId id) const { return m_atoms[id]; }

    // Property values; nothing when the window or property is missing or of
    // another type (AnyPropertyType takes any).
    std::optional<std::string> property_bytes(unsigned long window, unsigned long property, unsigned long type,
                                               unsigned long* actual_type = nullptr);
    std::optional<std::vector<unsigned long>> property_longs(unsigned long window, unsigned long property,
                                                             unsigned long type);
    std::string read_title(unsigned long window);
    bool has_wm_state(unsigned long window);
    std::optional<unsigned long> parent_of(unsigned long window);
    std::vector<unsigned long> children_of(unsigned long window);
    // Top-level candidates, breadth first, the topmost of each level first.
    std::vector<unsigned long> top_level_windows();
    unsigned long managed_client_below(unsigned long window);
    bool window_manager_running();
    bool window_manager_supports(unsigned long atom);
    void send_to_root(unsigned long window, unsigned long message_type, std::array<long, 5> data);
    // Runs the requests of `requests`, waits for the server, and says whether
    // none of them failed.
    bool checked(const std::function<void()>& requests);

    std::optional<std::string> m_display_name; // nothing: $DISPLAY
    Display* m_display = nullptr;
    bool m_tried = false;
    std::array<unsigned long, AtomCount> m_atoms{};
    uint32_t m_own_window = 0;
    SelfHandler m_self_handler;
};

} // namespace ruk
