// Screen, pointer and keyboard over Xlib, XTest, XRandR and XKB.
#include "graphics/X11Input.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <bit>
#include <cstring>
#include <algorithm>
#include <memory>

namespace ruk {

namespace {

// Counts the errors of the requests made while it lives, then puts the
// previous handler back.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : m_display(display)
    {
        XSync(display, False);
        s_errors = 0;
        m_previous = XSetErrorHandler(&ErrorTrap::count);
    }
    ~ErrorTrap() { XSetErrorHandler(m_previous); }
    // Waits for the server and says whether nothing failed.
    bool ok()
    {
        XSync(m_display, False);
        return s_errors == 0;
    }

private:
    static int count(Display*, XErrorEvent*)
    {
        ++s_errors;
        return 0;
    }
    static inline int s_errors = 0;
    Display* m_display;
    int (*m_previous)(Display*, XErrorEvent*) = nullptr;
};

template <typename T, auto Free> struct XDeleter {
    void operator()(T* p) const { Free(p); }
};
using Resources = std::unique_ptr<XRRScreenResources, XDeleter<XRRScreenResources, XRRFreeScreenResources>>;
using OutputInfo = std::unique_ptr<XRROutputInfo, XDeleter<XRROutputInfo, XRRFreeOutputInfo>>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, XDeleter<XRRCrtcInfo, XRRFreeCrtcInfo>>;

// Turns pixels of an image whose visual has the usual red, green and blue
// masks into colour values (red in the low byte). The masks are looked at
// once per image, not once per pixel: a whole screen is a million pixels.
class PixelDecoder {
public:
    explicit PixelDecoder(const XImage* image)
        : m_red(image->red_mask), m_green(image->green_mask), m_blue(image->blue_mask)
    {
    }
    uint32_t colour(unsigned long value) const
    {
        return m_red.of(value) | (m_green.of(value) << 8) | (m_blue.of(value) << 16);
    }

private:
    struct Channel {
        explicit Channel(unsigned long mask) : mask(mask)
        {
            if (mask == 0)
                return;
            while (!((mask >> shift) & 1))
                ++shift;
            bits = mask >> shift;
        }
        uint32_t of(unsigned long value) const
        {
            if (mask == 0)
                return 0;
            const unsigned long v = (value & mask) >> shift;
            return static_cast<uint32_t>(bits == 0xFF ? v : v * 255 / bits);
        }
        unsigned long mask;
        int shift = 0;
        unsigned long bits = 0;
    };
    Channel m_red, m_green, m_blue;
};

// The root window's size as the server has it now (the display structure's
// copy is not updated when the screen changes size).
std::pair<int32_t, int32_t> root_size(Display* d)
{
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(d, DefaultRootWindow(d), &root, &x, &y, &width, &height, &border, &depth))
        return {DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
    return {static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

} // namespace

struct X11Input::OutputMode {
    Resources resources;
    RROutput output = 0;
    CrtcInfo crtc_info;
    RRCrtc crtc = 0;
    std::vector<RRMode> modes; // of the output, in the server's order
};

X11Input::X11Input(bool enabled) : m_enabled(enabled) {}

X11Input::X11Input(std::string display_name) : m_display_name(std::move(display_name)) {}

X11Input::~X11Input()
{
    if (m_display) {
        restore_mode();
        XCloseDisplay(m_display);
    }
}

Display* X11Input::display()
{
    if (!m_tried && m_enabled) {
        m_tried = true;
        m_display = XOpenDisplay(m_display_name ? m_display_name->c_str() : nullptr);
    }
    return m_display;
}

bool X11Input::available()
{
    return display() != nullptr;
}

// --- screen ----------------------------------------------------------------

std::vector<WindowRect> X11Input::monitors()
{
    Display* d = display();
    if (!d)
        return {WindowRect{0, 0, 0, 0}};
    std::vector<WindowRect> result;
    int event_base = 0, error_base = 0;
    if (XRRQueryExtension(d, &event_base, &error_base)) {
        int count = 0;
        XRRMonitorInfo* list = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
        for (int i = 0; list && i < count; ++i) {
            WindowRect r{list[i].x, list[i].y, list[i].width, list[i].height};
            if (list[i].primary)
                result.insert(result.begin(), r);
            else
                result.push_back(r);
        }
        if (list)
            XRRFreeMonitors(list);
    }
    if (result.empty()) {
        const auto [width, height] = root_size(d);
        result.push_back(WindowRect{0, 0, width, height});
    }
    return result;
}

WindowRect X11Input::primary_screen()
{
    return monitors().front();
}

WindowRect X11Input::work_area()
{
    Display* d = display();
    if (!d)
        return WindowRect{0, 0, 0, 0};
    const Window root = DefaultRootWindow(d);
    auto cardinals = [d, root](const char* name) {
        std::vector<long> values;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        Atom property = XInternAtom(d, name, True);
        if (property != None
            && XGetWindowProperty(d, root, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                                  &data) == Success
            && data && type == XA_CARDINAL && format == 32) {
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        if (data)
            XFree(data);
        return values;
    };
    std::vector<long> area = cardinals("_NET_WORKAREA");
    std::vector<long> current = cardinals("_NET_CURRENT_DESKTOP");
    size_t desktop = current.empty() ? 0 : static_cast<size_t>(current[0]);
    if (area.size() < 4 * (desktop + 1))
        desktop = 0;
    if (area.size() >= 4)
        return WindowRect{static_cast<int32_t>(area[4 * desktop]), static_cast<int32_t>(area[4 * desktop + 1]),
                          static_cast<int32_t>(area[4 * desktop + 2]), static_cast<int32_t>(area[4 * desktop + 3])};
    return primary_screen();
}

ScreenImage X11Input::capture(const WindowRect& rect)
{
    ScreenImage image;
    Display* d = display();
    if (!d)
        return image;
    const auto [screen_width, screen_height] = root_size(d);
    const int32_t left = std::max(rect.left, 0);
    const int32_t top = std::max(rect.top, 0);
    const auto right = int32_t(std::min<int64_t>(int64_t(rect.left) + rect.width, screen_width));
    const auto bottom = int32_t(std::min<int64_t>(int64_t(rect.top) + rect.height, screen_height));
    if (right <= left || bottom <= top)
        return image;
    ErrorTrap trap(d);
    XImage* x = XGetImage(d, DefaultRootWindow(d), left, top, static_cast<unsigned>(right - left),
                          static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (!trap.ok() || !x) {
        if (x)
            XDestroyImage(x);
        return image;
    }
    image.width = right - left;
    image.height = bottom - top;
    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    const PixelDecoder decoder(x);
    // The usual screen keeps each pixel in one 32-bit word of this machine's
    // byte order: read the words straight from the rows.
    const int native_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    const bool plain_words = x->bits_per_pixel == 32 && x->byte_order == native_order;
    for (int32_t y = 0; y < image.height; ++y) {
        uint32_t* out = image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width);
        const char* row = x->data + static_cast<ptrdiff_t>(y) * x->bytes_per_line;
        for (int32_t i = 0; i < image.width; ++i) {
            unsigned long value = 0;
            if (plain_words) {
                uint32_t word = 0;
                std::memcpy(&word, row + static_cast<ptrdiff_t>(i) * 4, 4);
                value = word;
            } else {
                value = XGetPixel(x, i, y);
            }
            out[i] = decoder.colour(value);
        }
    }
    XDestroyImage(x);
    return image;
}

std::optional<uint32_t> X11Input::pixel(int32_t x, int32_t y)
{
    ScreenImage one = capture(WindowRect{x, y, 1, 1});
    if (one.pixels.empty())
        return std::nullopt;
    return one.pixels[0];
}

// --- display modes -------------------------------------------------------------

bool X11Input::depth_supported(int32_t bits)
{
    Display* d = display();
    if (!d)
        return false;
    const int depth = DefaultDepth(d, DefaultScreen(d));
    if (bits == depth)
        return true;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(d, &count);
    bool found = false;
    for (int i = 0; formats && i < count; ++i)
        found |= formats[i].depth == depth && formats[i].bits_per_pixel == bits;
    if (formats)
        XFree(formats);
    return found;
}

std::optional<X11Input::OutputMode> X11Input::primary_output()
{
    Display* d = display();
    int event_base = 0, error_base = 0;
    if (!d || !XRRQueryExtension(d, &event_base, &error_base))
        return std::nullopt;
    const Window root = DefaultRootWindow(d);
    OutputMode result;
    result.resources.reset(XRRGetScreenResourcesCurrent(d, root));
    if (!result.resources)
        return std::nullopt;
    XRRScreenResources* res = result.resources.get();
    RROutput primary = XRRGetOutputPrimary(d, root);
    std::vector<RROutput> candidates;
    if (primary)
        candidates.push_back(primary);
    candidates.insert(candidates.end(), res->outputs, res->outputs + res->noutput);
    for (RROutput output : candidates) {
        OutputInfo info(XRRGetOutputInfo(d, res, output));
        if (!info || info->connection != RR_Connected || info->crtc == 0)
            continue;
        result.output = output;
        result.crtc = info->crtc;
        result.modes.assign(info->modes, info->modes + info->nmode);
        result.crtc_info.reset(XRRGetCrtcInfo(d, res, info->crtc));
        if (!result.crtc_info)
            return std::nullopt;
        return result;
    }
    return std::nullopt;
}

std::vector<std::pair<int32_t, int32_t>> X11Input::mode_sizes()
{
    std::vector<std::pair<int32_t, int32_t>> sizes;
    std::optional<OutputMode> output = primary_output();
    if (!output)
        return sizes;
    XRRScreenResources* res = output->resources.get();
    for (RRMode id : output->modes)
        for (int i = 0; i < res->nmode; ++i)
            if (res->modes[i].id == id)
                sizes.emplace_back(static_cast<int32_t>(res->modes[i].width),
                                   static_cast<int32_t>(res->modes[i].height));
    return sizes;
}

// Sets the mode on the primary output's CRTC and fits the screen to it: the
// screen grows before a larger mode and shrinks after a smaller one.
bool X11Input::apply_mode(unsigned long mode_id, int32_t width, int32_t height)
{
    std::optional<OutputMode> output = primary_output();
    if (!output)
        return false;
    Display* d = display();
    const int screen = DefaultScreen(d);
    const Window root = DefaultRootWindow(d);
    XRRCrtcInfo* crtc = output->crtc_info.get();
    const auto [old_width, old_height] = root_size(d);
    const int32_t new_width = crtc->x + width, new_height = crtc->y + height;
    auto resize = [&](int32_t w, int32_t h) {
        // Keep the screen's dots per inch.
        const int mm_w = std::max(1, DisplayWidthMM(d, screen) * w / std::max(DisplayWidth(d, screen), 1));
        const int mm_h = std::max(1, DisplayHeightMM(d, screen) * h / std::max(DisplayHeight(d, screen), 1));
        XRRSetScreenSize(d, root, w, h, mm_w, mm_h);
    };
    ErrorTrap trap(d);
    if (new_width > old_width || new_height > old_height)
        resize(std::max(new_width, old_width), std::max(new_height, old_height));
    Status status = XRRSetCrtcConfig(d, output->resources.get(), output->crtc, CurrentTime, crtc->x, crtc->y,
                                     mode_id, crtc->rotation, crtc->outputs, crtc->noutput);
    if (status != RRSetConfigSuccess || !trap.ok()) {
        if (new_width > old_width || new_height > old_height)
            resize(old_width, old_height);
        trap.ok();
        return false;
    }
    if (new_width != old_width || new_height != old_height)
        resize(new_width, new_height);
    return trap.ok();
}

bool X11Input::switch_mode(int32_t width, int32_t height)
{
    std::optional<OutputMode> output = primary_output();
    if (!output)
        return false;
    XRRScreenResources* res = output->resources.get();
    for (RRMode id : output->modes) {
        for (int i = 0; i < res->nmode; ++i) {
            const XRRModeInfo& mode = res->modes[i];
            if (mode.id != id || static_cast<int32_t>(mode.width) != width
                || static_cast<int32_t>(mode.height) != height)
                continue;
            if (!m_mode_changed)
                m_saved_mode = output->crtc_info->mode;
            if (apply_mode(id, width, height)) {
                m_mode_changed = true;
                return true;
            }
        }
    }
    return false;
}

void X11Input::restore_mode()
{
    if (!m_mode_changed || !m_display)
        return;
    std::optional<OutputMode> output = primary_output();
    if (!output)
        return;
    XRRScreenResources* res = output->resources.get();
    for (int i = 0; i < res->nmode; ++i) {
        const XRRModeInfo& mode = res->modes[i];
        if (mode.id == m_saved_mode && apply_mode(mode.id, static_cast<int32_t>(mode.width),
                                                  static_cast<int32_t>(mode.height)))
            m_mode_changed = false;
    }
    XFlush(m_display);
}

// --- pointer ---------------------------------------------------------------------

std::pair<int32_t, int32_t> X11Input::pointer()
{
    Display* d = display();
    if (!d)
        return {0, 0};
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &x, &y, &wx, &wy, &mask);
    return {x, y};
}

void X11Input::warp_pointer(int32_t x, int32_t y)
{
    Display* d = display();
    if (!d)
        return;
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
    XFlush(d);
}

void X11Input::fake_button(unsigned button, bool down)
{
    Display* d = display();
    if (!d)
        return;
    XTestFakeButtonEvent(d, button, down ? True : False, CurrentTime);
    XFlush(d);
}

bool X11Input::button_down(unsigned button)
{
    Display* d = display();
    if (!d || button < 1 || button > 5)
        return false;
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &x, &y, &wx, &wy, &mask);
    return mask & (Button1Mask << (button - 1));
}

// --- keyboard ----------------------------------------------------------------------

bool X11Input::fake_key(unsigned long keysym, bool down)
{
    Display* d = display();
    if (!d)
        return false;
    const KeyCode code = XKeysymToKeycode(d, keysym);
    if (code == 0)
        return false;
    XTestFakeKeyEvent(d, code, down ? True : False, CurrentTime);
    XFlush(d);
    return true;
}

bool X11Input::key_down(const std::vector<unsigned long>& keysyms)
{
    Display* d = display();
    if (!d)
        return false;
    char keys[32] = {};
    XQueryKeymap(d, keys);
    for (unsigned long keysym : keysyms) {
        const KeyCode code = XKeysymToKeycode(d, keysym);
        if (code != 0 && (keys[code / 8] & (1 << (code % 8))))
            return true;
    }
    return false;
}

bool X11Input::indicator_on(const char* name)
{
    Display* d = display();
    if (!d)
        return false;
    Atom atom = XInternAtom(d, name, True);
    Bool on = False;
    if (atom == None || !XkbGetNamedIndicator(d, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on;
}

} // namespace ruk
