// Other programs' windows and the messages between engines, over one Xlib connection.
#include "system/X11Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <unistd.h>

namespace ruk {

namespace {

// The longest title and file name handed to scripts, in bytes.
constexpr size_t MaxNameBytes = 511;
// How far below the root a top-level window may sit: a client window is a
// child of the root without a window manager, and one to three levels deeper
// inside the frames of the common ones.
constexpr int TopLevelDepth = 4;
// Upper bounds for walks over the window tree, so that a hostile or broken
// tree cannot keep us busy.
constexpr size_t MaxWalkedWindows = 50000;
constexpr int MaxTreeDepth = 64;
// Longest property read, in 32-bit units (256 KiB).
constexpr long MaxPropertyLongs = 65536;

// Source indication of EWMH client messages: a pager or similar tool.
constexpr long SourcePager = 2;

// --- the process-wide X error handler (see the class comment) ---
std::vector<Display*> s_our_displays;
unsigned long s_error_count = 0;
XErrorHandler s_previous_handler = nullptr;

int count_our_errors(Display* display, XErrorEvent* error)
{
    if (std::find(s_our_displays.begin(), s_our_displays.end(), display) != s_our_displays.end()) {
        ++s_error_count;
        return 0;
    }
    return s_previous_handler ? s_previous_handler(display, error) : 0;
}

void install_error_handler()
{
    XErrorHandler old = XSetErrorHandler(count_our_errors);
    if (old != count_our_errors)
        s_previous_handler = old;
}

// Cuts a UTF-8 text to at most `limit` bytes without splitting a character.
std::string cut_utf8(std::string text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

std::string latin1_to_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

const char* const AtomNames[] = {
    EngineMessageAtomName,
    EngineWindowAtomName,
    "UTF8_STRING",
    "COMPOUND_TEXT",
    "_NET_WM_NAME",
    "_NET_WM_PID",
    "_NET_ACTIVE_WINDOW",
    "_NET_CLOSE_WINDOW",
    "_NET_SUPPORTED",
    "_NET_SUPPORTING_WM_CHECK",
    "_NET_WM_STATE",
    "_NET_WM_STATE_HIDDEN",
    "WM_STATE",
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "WM_CLIENT_MACHINE",
};

} // namespace

bool decode_engine_message(const void* xcb_generic_event, uint32_t message_atom, uint32_t& message, uint32_t& wparam,
                           uint32_t& lparam)
{
    if (xcb_generic_event == nullptr || message_atom == 0)
        return false;
    xcb_client_message_event_t event;
    std::memcpy(&event, xcb_generic_event, sizeof event);
    if ((event.response_type & 0x7F) != XCB_CLIENT_MESSAGE || event.format != 32 || event.type != message_atom)
        return false;
    message = event.data.data32[0];
    wparam = event.data.data32[1];
    lparam = event.data.data32[2];
    return true;
}

X11Desktop::X11Desktop() = default;

X11Desktop::X11Desktop(std::string display_name)
    : m_display_name(std::move(display_name))
{
}

std::unique_ptr<X11Desktop> X11Desktop::without_display()
{
    auto desktop = std::make_unique<X11Desktop>();
    desktop->m_tried = true;
    return desktop;
}

X11Desktop::~X11Desktop()
{
    if (m_display == nullptr)
        return;
    XCloseDisplay(m_display);
    std::erase(s_our_displays, m_display);
}

Display* X11Desktop::display()
{
    if (!m_tried) {
        m_tried = true;
        m_display = XOpenDisplay(m_display_name ? m_display_name->c_str() : nullptr);
        if (m_display != nullptr) {
            s_our_displays.push_back(m_display);
            static_assert(std::size(AtomNames) == AtomCount);
            std::array<Atom, AtomCount> atoms{};
            XInternAtoms(m_display, const_cast<char**>(AtomNames), AtomCount, False, atoms.data());
            for (size_t i = 0; i < AtomCount; ++i)
                m_atoms[i] = atoms[i];
        }
    }
    if (m_display != nullptr)
        install_error_handler();
    return m_display;
}

bool X11Desktop::available()
{
    return display() != nullptr;
}

bool X11Desktop::checked(const std::function<void()>& requests)
{
    unsigned long before = s_error_count;
    requests();
    XSync(m_display, False);
    return s_error_count == before;
}

namespace {

// One window property as the server handed it out, freed with XFree.
struct RawProperty {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    std::unique_ptr<unsigned char, int (*)(void*)> data{nullptr, XFree};
    bool ok = false;
};

RawProperty get_property(Display* display, unsigned long window, unsigned long property, unsigned long type,
                         long max_longs)
{
    RawProperty p;
    unsigned long bytes_after = 0;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(display, window, property, 0, max_longs, False, type, &p.type, &p.format,
                                    &p.count, &bytes_after, &data);
    p.data.reset(data);
    p.ok = status == Success && data != nullptr;
    return p;
}

} // namespace

std::optional<std::string> X11Desktop::property_bytes(unsigned long window, unsigned long property,
                                                      unsigned long type, unsigned long* actual_type_out)
{
    RawProperty p = get_property(m_display, window, property, type, MaxPropertyLongs);
    if (!p.ok || p.type == None || p.format != 8 || (type != AnyPropertyType && p.type != type))
        return std::nullopt;
    if (actual_type_out != nullptr)
        *actual_type_out = p.type;
    return std::string(reinterpret_cast<const char*>(p.data.get()), p.count);
}

std::optional<std::vector<unsigned long>> X11Desktop::property_longs(unsigned long window, unsigned long property,
                                                                     unsigned long type)
{
    RawProperty p = get_property(m_display, window, property, type, MaxPropertyLongs);
    if (!p.ok || p.type != type || p.format != 32)
        return std::nullopt;
    // Xlib hands format-32 data out as an array of longs.
    const auto* longs = reinterpret_cast<const unsigned long*>(p.data.get());
    return std::vector<unsigned long>(longs, longs + p.count);
}

std::string X11Desktop::read_title(unsigned long window)
{
    if (auto name = property_bytes(window, atom(AtomNetWmName), atom(AtomUtf8String)); name && !name->empty())
        return *name;
    Atom type = None;
    auto name = property_bytes(window, XA_WM_NAME, AnyPropertyType, &type);
    if (!name || name->empty())
        return {};
    if (type == XA_STRING)
        return latin1_to_utf8(*name);
    if (type == atom(AtomCompoundText)) {
        XTextProperty text{};
        text.value = reinterpret_cast<unsigned char*>(name->data());
        text.encoding = type;
        text.format = 8;
        text.nitems = name->size();
        char** list = nullptr;
        int count = 0;
        std::string converted;
        if (Xutf8TextPropertyToTextList(m_display, &text, &list, &count) >= Success && list != nullptr) {
            for (int i = 0; i < count; ++i)
                converted += list[i];
            XFreeStringList(list);
            return converted;
        }
    }
    return *name; // UTF8_STRING, or an encoding we cannot convert: the bytes as they are
}

bool X11Desktop::has_wm_state(unsigned long window)
{
    return property_longs(window, atom(AtomWmState), atom(AtomWmState)).has_value();
}

std::optional<unsigned long> X11Desktop::parent_of(unsigned long window)
{
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(m_display, window, &root, &parent, &children, &count) == 0)
        return std::nullopt;
    if (children != nullptr)
        XFree(children);
    return parent;
}

std::vector<unsigned long> X11Desktop::children_of(unsigned long window)
{
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<unsigned long> list;
    if (XQueryTree(m_display, window, &root, &parent, &children, &count) == 0)
        return list;
    // XQueryTree lists the bottom window first; we want the topmost first.
    list.assign(children, children + count);
    std::reverse(list.begin(), list.end());
    if (children != nullptr)
        XFree(children);
    return list;
}

std::vector<unsigned long> X11Desktop::top_level_windows()
{
    std::vector<unsigned long> found;
    std::deque<std::pair<unsigned long, int>> queue;
    queue.emplace_back(DefaultRootWindow(m_display), 0);
    while (!queue.empty() && found.size() < MaxWalkedWindows) {
        auto [window, depth] = queue.front();
        queue.pop_front();
        if (depth >= TopLevelDepth)
            continue;
        for (unsigned long child : children_of(window)) {
            found.push_back(child);
            queue.emplace_back(child, depth + 1);
        }
    }
    return found;
}

unsigned long X11Desktop::managed_client_below(unsigned long window)
{
    std::deque<std::pair<unsigned long, int>> queue{{window, 0}};
    size_t walked = 0;
    while (!queue.empty() && walked++ < MaxWalkedWindows) {
        auto [current, depth] = queue.front();
        queue.pop_front();
        if (has_wm_state(current))
            return current;
        if (depth + 1 < TopLevelDepth)
            for (unsigned long child : children_of(current))
                queue.emplace_back(child, depth + 1);
    }
    return None;
}

bool X11Desktop::window_manager_running()
{
    Window root = DefaultRootWindow(m_display);
    auto check = property_longs(root, atom(AtomNetSupportingWmCheck), XA_WINDOW);
    if (!check || check->empty() || (*check)[0] == None)
        return false;
    // A manager that died leaves the property behind; its own window then
    // no longer points at itself.
    auto self = property_longs((*check)[0], atom(AtomNetSupportingWmCheck), XA_WINDOW);
    return self && !self->empty() && (*self)[0] == (*check)[0];
}

bool X11Desktop::window_manager_supports(unsigned long wanted)
{
    auto supported = property_longs(DefaultRootWindow(m_display), atom(AtomNetSupported), XA_ATOM);
    return supported && std::find(supported->begin(), supported->end(), wanted) != supported->end();
}

void X11Desktop::send_to_root(unsigned long window, unsigned long message_type, std::array<long, 5> data)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = message_type;
    event.xclient.format = 32;
    for (size_t i = 0; i < data.size(); ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(m_display, DefaultRootWindow(m_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

void X11Desktop::set_own_window(uint32_t window, SelfHandler handler)
{
    m_own_window = window;
    m_self_handler = std::move(handler);
    if (window == 0 || display() == nullptr)
        return;
    long one = 1;
    checked([&] {
        XChangeProperty(m_display, window, atom(AtomEngineWindow), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&one), 1);
    });
}

uint32_t X11Desktop::find_window(std::string_view title)
{
    if (display() == nullptr)
        return 0;
    unsigned long first = None;
    for (unsigned long window : top_level_windows()) {
        if (read_title(window) != title)
            continue;
        if (has_wm_state(window))
            return static_cast<uint32_t>(window);
        if (first == None)
            first = window;
    }
    return static_cast<uint32_t>(first);
}

bool X11Desktop::exists(std::string_view title, std::string_view window_class)
{
    if (display() == nullptr)
        return false;
    for (unsigned long window : top_level_windows()) {
        if (read_title(window) != title)
            continue;
        if (window_class.empty())
            return true;
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint) == 0)
            continue;
        bool match = (hint.res_class != nullptr && window_class == hint.res_class)
            || (hint.res_name != nullptr && window_class == hint.res_name);
        if (hint.res_class != nullptr)
            XFree(hint.res_class);
        if (hint.res_name != nullptr)
            XFree(hint.res_name);
        if (match)
            return true;
    }
    return false;
}

std::string X11Desktop::title_of(uint32_t window)
{
    if (window == 0 || display() == nullptr)
        return {};
    return cut_utf8(read_title(window), MaxNameBytes);
}

uint32_t X11Desktop::window_at(int32_t x, int32_t y)
{
    if (display() == nullptr)
        return 0;
    Window root = DefaultRootWindow(m_display);
    Window deepest = root;
    for (int depth = 0; depth < MaxTreeDepth; ++depth) {
        int inner_x = 0;
        int inner_y = 0;
        Window child = None;
        if (XTranslateCoordinates(m_display, root, deepest, x, y, &inner_x, &inner_y, &child) == 0 || child == None)
            break;
        deepest = child;
    }
    // Up to the nearest window with a title, remembering the child of the root.
    Window top = deepest;
    for (Window current = deepest; current != root && current != None;) {
        if (!read_title(current).empty())
            return static_cast<uint32_t>(current);
        top = current;
        auto parent = parent_of(current);
        if (!parent)
            break;
        current = *parent;
    }
    if (top == root)
        return static_cast<uint32_t>(root);
    // No title on the way up: perhaps a window manager's frame; its client.
    unsigned long client = managed_client_below(top);
    return static_cast<uint32_t>(client != None ? client : deepest);
}

uint32_t X11Desktop::foreground_window()
{
    if (display() == nullptr)
        return 0;
    auto active = property_longs(DefaultRootWindow(m_display), atom(AtomNetActiveWindow), XA_WINDOW);
    if (active && !active->empty() && (*active)[0] != None)
        return static_cast<uint32_t>((*active)[0]);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    if (focus == None || focus == PointerRoot)
        return 0;
    return static_cast<uint32_t>(focus);
}

uint32_t X11Desktop::desktop_window()
{
    if (display() == nullptr)
        return 0;
    return static_cast<uint32_t>(DefaultRootWindow(m_display));
}

std::optional<WindowRect> X11Desktop::window_rect(uint32_t window)
{
    if (window == 0 || display() == nullptr)
        return std::nullopt;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_display, window, &attributes) == 0)
        return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = None;
    if (XTranslateCoordinates(m_display, window, attributes.root, 0, 0, &x, &y, &child) == 0)
        return std::nullopt;
    return WindowRect{x, y, attributes.width, attributes.height};
}

std::string X11Desktop::module_file_name(uint32_t window)
{
    if (window == 0 || display() == nullptr)
        return {};
    auto pid = property_longs(window, atom(AtomNetWmPid), XA_CARDINAL);
    if (!pid || pid->empty() || (*pid)[0] == 0 || (*pid)[0] > 0x7FFFFFFF)
        return {};
    if (auto machine = property_bytes(window, atom(AtomWmClientMachine), XA_STRING)) {
        std::array<char, 256> host{};
        if (gethostname(host.data(), host.size() - 1) != 0 || *machine != host.data())
            return {}; // the pid belongs to another machine
    }
    std::string link = "/proc/" + std::to_string((*pid)[0]) + "/exe";
    std::array<char, 4096> target{};
    ssize_t length = readlink(link.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size())
        return {};
    return cut_utf8(std::string(target.data(), static_cast<size_t>(length)), MaxNameBytes);
}

bool X11Desktop::is_window(uint32_t window)
{
    if (window == 0 || display() == nullptr)
        return false;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_display, window, &attributes) != 0;
}

bool X11Desktop::is_visible(uint32_t window)
{
    if (window == 0 || display() == nullptr)
        return false;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_display, window, &attributes) == 0)
        return false;
    return attributes.map_state == IsViewable || is_iconic(window);
}

bool X11Desktop::is_enabled(uint32_t window)
{
    return is_window(window);
}

bool X11Desktop::is_iconic(uint32_t window)
{
    if (window == 0 || display() == nullptr)
        return false;
    auto state = property_longs(window, atom(AtomWmState), atom(AtomWmState));
    if (state && !state->empty() && (*state)[0] == IconicState)
        return true;
    auto net_state = property_longs(window, atom(AtomNetWmState), XA_ATOM);
    return net_state
        && std::find(net_state->begin(), net_state->end(), atom(AtomNetWmStateHidden)) != net_state->end();
}

bool X11Desktop::activate(uint32_t window)
{
    if (!is_window(window))
        return false;
    bool managed = window_manager_running();
    checked([&] {
        if (managed)
            send_to_root(window, atom(AtomNetActiveWindow), {SourcePager, CurrentTime, 0, 0, 0});
        XRaiseWindow(m_display, window);
        if (!managed) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(m_display, window, &attributes) != 0 && attributes.map_state == IsViewable)
                XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
        }
    });
    return true;
}

void X11Desktop::open_icon(uint32_t window)
{
    if (!is_iconic(window))
        return;
    bool managed = window_manager_running();
    checked([&] {
        if (managed)
            send_to_root(window, atom(AtomNetActiveWindow), {SourcePager, CurrentTime, 0, 0, 0});
        XMapRaised(m_display, window);
        if (!managed) {
            // Nobody else will update the state the window was left in.
            long state[2] = {NormalState, None};
            XChangeProperty(m_display, window, atom(AtomWmState), atom(AtomWmState), 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(state), 2);
        }
    });
}

bool X11Desktop::close(uint32_t window)
{
    if (!is_window(window))
        return false;
    if (window_manager_running() && window_manager_supports(atom(AtomNetCloseWindow))) {
        checked([&] { send_to_root(window, atom(AtomNetCloseWindow), {CurrentTime, SourcePager, 0, 0, 0}); });
        return true;
    }
    Atom* protocols = nullptr;
    int count = 0;
    bool takes_delete = false;
    if (XGetWMProtocols(m_display, window, &protocols, &count) != 0 && protocols != nullptr) {
        takes_delete = std::find(protocols, protocols + count, atom(AtomWmDeleteWindow)) != protocols + count;
        XFree(protocols);
    }
    if (takes_delete) {
        checked([&] {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = atom(AtomWmProtocols);
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(atom(AtomWmDeleteWindow));
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(m_display, window, False, NoEventMask, &event);
        });
    }
    return true;
}

bool X11Desktop::post_message(uint32_t window, uint32_t message, uint32_t wparam, uint32_t lparam)
{
    if (display() == nullptr)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(AtomEngineMessage);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(message);
    event.xclient.data.l[1] = static_cast<long>(wparam);
    event.xclient.data.l[2] = static_cast<long>(lparam);
    // A target that has gone away yields an error later, which our handler
    // counts and ignores.
    Status sent = XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
    return sent != 0;
}

bool X11Desktop::send_message(uint32_t window, uint32_t message, uint32_t wparam, uint32_t lparam)
{
    if (window != 0 && window == m_own_window && m_self_handler) {
        m_self_handler(message, wparam, lparam);
        return true;
    }
    if (display() == nullptr)
        return false;
    bool sent = false;
    bool clean = checked([&] { sent = post_message(window, message, wparam, lparam); });
    return sent && clean;
}

uint32_t X11Desktop::engine_message_atom()
{
    if (display() == nullptr)
        return 0;
    return static_cast<uint32_t>(atom(AtomEngineMessage));
}

bool X11Desktop::decode_engine_message(const void* xcb_generic_event, uint32_t& message, uint32_t& wparam,
                                       uint32_t& lparam)
{
    return ruk::decode_engine_message(xcb_generic_event, engine_message_atom(), message, wparam, lparam);
}

} // namespace ruk
