// The "browser" family: the browser table, its commands and the events its browsers raise.
#include "browser/Web.h"

#include "browser/BrowserModule.h"
#include "browser/Weblib.h"
#include "core/Engine.h"
#include "core/Struct.h"
#include "core/Text.h"
#include "graphics/BitmapReferences.h"
#include "graphics/Clipboard.h"
#include "graphics/ScriptWindow.h"

#include <array>
#include <climits>
#include <memory>

namespace ruk {

namespace {

constexpr int BrowserSlots = 30;
constexpr const char* MsgInvalidBrowser = "Invalid browser ID.";
constexpr const char* MsgInvalidParent = "Invalid parent ID. Browser must be child of a valid window ID.";

bool flag(const std::string& text) { return !text.empty() && text[0] == '1'; }

struct BrowserSlot {
    std::unique_ptr<BrowserView> view; // none: the slot is free
    int parent = -1;
    bool scrollbar_visible = true;
    std::string status_text;
    bool cancel = false;
    std::string current_url;
    std::string mailto;
    char new_window_mode = 0;
    int32_t progress = 0;
    int32_t progress_max = 0;
};

// The browser table and the family-wide values. It is also every browser's
// event sink: the views call it from their notifications, and it raises the
// script events with the browser id in the place of the window index.
class BrowserFamily : public BrowserEvents {
public:
    BrowserFamily(Engine& engine, BrowserHost& host, WindowHost& windows, BitmapReferences& bitmaps)
        : m_engine(engine), m_host(host), m_windows(windows), m_bitmaps(bitmaps)
    {
    }

    // Runs one command. Views replaced while a command runs (an event during
    // a page wait closed a browser's window and created another in its
    // slot) stay alive until the outermost command has ended, because that
    // command may still hold the old one.
    Result handle(Engine& e)
    {
        ++m_depth;
        Result result = handle_command(e);
        if (--m_depth == 0)
            m_retired.clear();
        return result;
    }

    // BrowserEvents
    bool before_navigate(int id, const std::string& url, const std::string& frame) override;
    bool new_window(int id) override;
    void navigate_complete(int id, const std::string& url) override;
    void document_complete(int id) override;
    void status_change(int id, const std::string& text) override;
    void title_change(int id) override;
    void download_begin(int id) override;
    void download_complete(int id) override;
    void download_progress(int id, int32_t current, int32_t maximum) override;
    bool navigate_error(int id, const std::string& frame, int32_t status) override;
    void client_to_host_window(int id) override;
    int right_click_mode() override { return m_right_click_mode ? *m_right_click_mode : 0; }

    void set_right_click_mode_source(const int32_t* mode) { m_right_click_mode = mode; }

private:
    Result handle_command(Engine& e);
    Result create(Engine& e);
    Result per_browser(Engine& e, int id);
    Result html(Engine& e, BrowserSlot& slot);
    Result field(Engine& e, BrowserSlot& slot);
    Result selection(Engine& e, BrowserSlot& slot);
    void copy_to(Engine& e, BrowserSlot& slot);
    // Sets the form's bounds and places the control for the scrollbar rule.
    void place(BrowserSlot& slot, const BrowserBounds& bounds);
    int scrollbar_width();
    BrowserSlot* live(int id)
    {
        if (id < 0 || id >= BrowserSlots || !m_slots[size_t(id)].view || !m_slots[size_t(id)].view->alive())
            return nullptr;
        return &m_slots[size_t(id)];
    }
    bool raise(const char* name, int id, bool immediate, bool use_group = false)
    {
        return live(id) && m_engine.run_event(name, immediate, id, use_group);
    }

    Engine& m_engine;
    BrowserHost& m_host;
    WindowHost& m_windows;
    BitmapReferences& m_bitmaps;
    const int32_t* m_right_click_mode = nullptr;
    int m_depth = 0;                                   // commands running, nested through events
    std::vector<std::unique_ptr<BrowserView>> m_retired; // replaced views a running command may hold
    std::array<BrowserSlot, BrowserSlots> m_slots;
    int m_last_created = -1;
    std::string m_event_frame;
    int32_t m_error_status = 0;
    bool m_manual_command = false;
    bool m_manual_mailto = false;
    int m_scrollbar_width = -1; // read once, on first need
};

int BrowserFamily::scrollbar_width()
{
    if (m_scrollbar_width < 0)
        m_scrollbar_width = m_host.scrollbar_width();
    return m_scrollbar_width;
}

void BrowserFamily::place(BrowserSlot& slot, const BrowserBounds& bounds)
{
    slot.view->set_bounds(bounds, slot.scrollbar_visible ? 0 : scrollbar_width());
}

Result BrowserFamily::handle_command(Engine& e)
{
    const std::string& op = e.word(1);
    if (op == "isavailable")
        return flag_to_text(m_host.available());
    if (op == "manualcommand") {
        m_manual_command = flag(e.param(1));
        return std::nullopt;
    }
    if (op == "eventframe")
        return m_event_frame;
    if (op == "status")
        return int_to_text(m_error_status);
    if (op == "frompoint") {
        const int32_t x = e.param_int(1, 0), y = e.param_int(2, 0);
        for (int id = 0; id < BrowserSlots; ++id)
            if (BrowserSlot* slot = live(id); slot && slot->view->contains_screen_point(x, y))
                return int_to_text(id);
        return std::nullopt;
    }
    if (op == "create")
        return create(e);
    const int32_t id = is_int_expression(op) ? eval_int(op, INT_MIN) : INT_MIN;
    if (id == INT_MIN || id < 0)
        return e.call_function();
    if (id >= BrowserSlots) {
        e.report_error(MsgInvalidBrowser);
        return std::nullopt;
    }
    if (!live(id))
        return std::nullopt;
    return per_browser(e, id);
}

Result BrowserFamily::create(Engine& e)
{
    // A browser whose window closed took its form along: its slot is free.
    int id = -1;
    for (int i = 0; i < BrowserSlots && id < 0; ++i)
        if (!live(i))
            id = i;
    if (id < 0 || !m_host.available())
        return std::nullopt;
    const std::string& reference = e.param(1);
    int parent = reference == "main" ? 0 : (reference.empty() ? -1 : eval_int(reference, -1));
    if (parent < 0 || parent >= WindowSlots || !m_windows.window(parent)) {
        e.report_error(MsgInvalidParent);
        parent = -1;
    }
    BrowserSlot& slot = m_slots[size_t(id)];
    if (slot.view)
        m_retired.push_back(std::move(slot.view));
    slot = BrowserSlot {};
    slot.view = m_host.create(id, parent, *this);
    if (!slot.view)
        return std::nullopt;
    slot.parent = parent;
    m_last_created = id;
    return int_to_text(id);
}

Result BrowserFamily::per_browser(Engine& e, int id)
{
    BrowserSlot& slot = m_slots[size_t(id)];
    BrowserView& view = *slot.view;
    // Copies: an immediate event that runs while the page answers splits
    // commands of its own.
    const std::string op = e.word(2);
    const std::string w3 = e.word(3);
    if (op == "cancel") {
        slot.cancel = flag(e.param(1));
        return std::nullopt;
    }
    if (op == "execscript") {
        std::string code;
        for (char c : e.param(1))
            if (c != '\n')
                code += c;
        // Only the page's own script language runs here.
        view.run_script(code);
        return std::nullopt;
    }
    if (op == "html")
        return html(e, slot);
    if (op == "field")
        return field(e, slot);
    if (op == "selection")
        return selection(e, slot);
    if (op == "handle")
        return int_to_text(int64_t(view.handle()));
    if (op == "parent")
        return int_to_text(slot.parent);
    if (op == "get") {
        if (w3 == "status")
            return slot.status_text;
        if (w3 == "url")
            return slot.current_url;
        if (w3 == "mailto")
            return slot.mailto;
        return e.call_function();
    }
    if (op == "visible") {
        view.set_visible(flag(e.param(1)));
        if (flag(e.param(1)))
            view.repaint();
        return std::nullopt;
    }
    if (op == "pos") {
        BrowserBounds b = view.bounds();
        b.left = e.param_int(1, b.left);
        b.top = e.param_int(2, b.top);
        b.width = std::max(0, e.param_int(3, b.width));
        b.height = std::max(0, e.param_int(4, b.height));
        place(slot, b);
        return std::nullopt;
    }
    if (op == "left" || op == "top" || op == "width" || op == "height") {
        BrowserBounds b = view.bounds();
        int32_t& value = op == "left" ? b.left : op == "top" ? b.top : op == "width" ? b.width : b.height;
        if (e.param(1).empty())
            return int_to_text(value);
        value = e.param_int(1, value);
        if (&value == &b.width || &value == &b.height)
            value = std::max(0, value);
        place(slot, b);
        return std::nullopt;
    }
    if (op == "zoom") {
        view.set_zoom(e.param_int(1, 2));
        return std::nullopt;
    }
    if (op == "repaint") {
        view.repaint();
        return std::nullopt;
    }
    if (op == "scrollbar" && w3 == "visible") {
        slot.scrollbar_visible = flag(e.param(1));
        place(slot, view.bounds());
        view.set_visible(true);
        return std::nullopt;
    }
    if (op == "navigate" || op == "open") {
        view.navigate(e.param(1).substr(0, 12800), e.param(2).substr(0, 12800), flag(e.param(3)), flag(e.param(4)));
        return std::nullopt;
    }
    if (op == "getsource")
        return view.evaluate(weblib::script_source()).value_or(std::string());
    if (op == "newwindow") {
        slot.new_window_mode = e.param(1).empty() ? 0 : e.param(1)[0];
        return std::nullopt;
    }
    static const std::pair<const char*, BrowserGo> moves[] = {
        {"gohome", BrowserGo::Home}, {"goback", BrowserGo::Back}, {"goforward", BrowserGo::Forward},
        {"gosearch", BrowserGo::Search}, {"stop", BrowserGo::Stop}, {"refresh", BrowserGo::Refresh}};
    for (const auto& [word, move] : moves)
        if (op == word) {
            view.go(move);
            return std::nullopt;
        }
    if (op == "silent") {
        view.set_silent(flag(e.param(1)));
        return std::nullopt;
    }
    if (op == "offline") {
        view.set_offline(flag(e.param(1)));
        return std::nullopt;
    }
    if (op == "print") {
        if (!w3.empty() && w3 != "pagesetup")
            return e.call_function();
        view.print(w3 == "pagesetup");
        return std::nullopt;
    }
    if (op == "saveas") {
        view.save_as();
        return std::nullopt;
    }
    if (op == "copyto") {
        copy_to(e, slot);
        return std::nullopt;
    }
    if (op == "property") {
        view.show_properties();
        return std::nullopt;
    }
    if (op == "options") {
        // The desktop has no one Internet settings panel: nothing opens.
        return std::nullopt;
    }
    if (op == "manualmailto") {
        m_manual_mailto = flag(e.param(1));
        return std::nullopt;
    }
    if (op == "rzbackcolor") {
        view.set_background(static_cast<uint32_t>(e.param_int(1, 0)));
        return std::nullopt;
    }
    if (op == "download") {
        if (w3 == "current")
            return int_to_text(slot.progress);
        if (w3 == "max")
            return int_to_text(slot.progress_max);
        return e.call_function();
    }
    return e.call_function();
}

Result BrowserFamily::html(Engine& e, BrowserSlot& slot)
{
    BrowserView& view = *slot.view;
    const std::string verb = e.word(3);
    const std::string object = e.word(4);
    const std::string detail = e.word(5);
    auto property = [&](const char* name, const std::string& value) {
        std::optional<std::string_view> set;
        if (!value.empty())
            set = value;
        return view.evaluate(weblib::script_document_property(name, set)).value_or(std::string());
    };
    if (object == "title")
        return property("title", e.param(1));
    if (object == "background" && detail == "color")
        return property("bgColor", weblib::html_colour_text(e.param(1)));
    if (object == "link" && detail == "color") {
        const char* names[] = {"linkColor", "vlinkColor", "alinkColor"};
        const std::string colours[] = {weblib::html_colour_text(e.param(1)), weblib::html_colour_text(e.param(2)),
                                       weblib::html_colour_text(e.param(3))};
        for (int i = 0; i < 3; ++i)
            property(names[i], colours[i]);
        return std::nullopt;
    }
    if (verb == "frompoint" && object == "attribute")
        return view.evaluate(weblib::script_from_point(e.param_int(1, 0), e.param_int(2, 0), e.param(3)))
            .value_or(std::string());
    if (verb == "frompoint" && object == "tagname")
        return view.evaluate(weblib::script_from_point(e.param_int(1, 0), e.param_int(2, 0), std::nullopt))
            .value_or(std::string());
    if (object != "element")
        return e.call_function();
    weblib::ElementQuery query;
    query.tag = e.param(1);
    query.name1 = e.param(2);
    query.value1 = e.param(3);
    if (verb == "get" && detail == "list") {
        const std::string target = e.param(5);
        std::optional<std::string> values = view.evaluate(weblib::script_element_list(query, e.param(4)));
        if (target.empty())
            return std::nullopt;
        VarStore& vars = e.vars();
        // The array holds exactly the values found, from element 0.
        vars.assign(target + "[]", "");
        const int32_t number = vars.index(target);
        if (number < 0 || !values || values->empty())
            return std::nullopt;
        int32_t n = 0;
        size_t start = 0;
        for (;;) {
            const size_t end = values->find(weblib::ListSeparator, start);
            vars.set_element(number, n++, std::string_view(*values).substr(start, end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        return std::nullopt;
    }
    query.name2 = e.param(4);
    query.value2 = e.param(5);
    if (verb == "get" && detail == "content") {
        query.second_exact_lower = true;
        return view.evaluate(weblib::script_element_content(query, flag(e.param(6)), e.param(7) == "0"));
    }
    if (verb == "get" && detail == "attribute")
        return view.evaluate(weblib::script_element_attribute(query, e.param(6))).value_or(std::string());
    if (verb == "set" && detail == "content") {
        query.second_exact_lower = true;
        view.evaluate(weblib::script_set_element_content(query, e.param(6), flag(e.param(7)), e.param(8) == "0"));
        view.repaint();
        return std::nullopt;
    }
    return e.call_function();
}

Result BrowserFamily::field(Engine& e, BrowserSlot& slot)
{
    const std::string& verb = e.word(3);
    const std::string& kind = e.word(4);
    if (kind == "textarea" || kind == "text" || kind == "password" || kind == "radio" || kind == "checkbox")
        return slot.view->evaluate(weblib::script_field(kind, e.param(1), e.param(2))).value_or("not found");
    if (kind == "select" && verb == "get")
        return slot.view->evaluate(weblib::script_select_get(e.param(1))).value_or("not found");
    if (kind == "select" && verb == "set")
        return slot.view->evaluate(weblib::script_select_set(e.param(1), e.param(2))).value_or("not found");
    return e.call_function();
}

Result BrowserFamily::selection(Engine& e, BrowserSlot& slot)
{
    BrowserView& view = *slot.view;
    const std::string op = e.word(3);
    if (op == "paste") {
        view.evaluate(weblib::script_paste(e.param(1), flag(e.param(2))));
        return std::nullopt;
    }
    if (op == "get" || op == "isempty") {
        const bool html = op == "get" && e.param(1) == "0";
        std::string text = view.evaluate(weblib::script_selection(html)).value_or(std::string());
        if (!html)
            text = weblib::normalise_selection_text(text);
        return op == "get" ? text : flag_to_text(text.empty());
    }
    if (op.empty())
        return e.call_function();
    view.evaluate(weblib::script_document_command(op, e.param(1)));
    return std::nullopt;
}

void BrowserFamily::copy_to(Engine& e, BrowserSlot& slot)
{
    const NamedBitmap named = m_bitmaps.resolve(e.word(3));
    Bitmap* bitmap = named.bitmap;
    if (!bitmap) {
        e.report_error("Invalid image.");
        return;
    }
    const BrowserBounds bounds = slot.view->bounds();
    BrowserPicture picture = slot.view->grab();
    if (!bitmap->resize(std::max(1, bounds.width), std::max(1, bounds.height)))
        return;
    for (int32_t y = 0; y < bitmap->height(); ++y)
        for (int32_t x = 0; x < bitmap->width(); ++x) {
            uint32_t argb = 0xFFFFFFFF;
            if (x < picture.width && y < picture.height)
                argb = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
            bitmap->set_pixel(x, y, ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
        }
    m_bitmaps.changed(named);
}

// --- Events ----------------------------------------------------------------

bool BrowserFamily::before_navigate(int id, const std::string& url, const std::string& frame)
{
    BrowserSlot* slot = live(id);
    if (!slot)
        return true;
    m_event_frame = frame;
    if (weblib::has_scheme(url, "ruk:")) {
        const weblib::RukCommand command = weblib::parse_ruk_command(url);
        slot->status_text = command.text;
        const bool handled = raise("browser:rukcommand", id, true);
        if (!handled && !m_manual_command) {
            std::vector<std::string> values(12);
            values[0] = command.value;
            if (!call_function_external(m_engine, command.function, values))
                raise("browser:command:error", id, false);
        }
        return false;
    }
    if (weblib::has_scheme(url, "mailto:") && url.size() > 7) {
        if (m_manual_mailto) {
            slot->mailto = url.substr(7);
            raise("browser:mailtorequest", id, false);
        } else {
            m_host.open_external(url);
        }
        return false;
    }
    slot->current_url = url;
    slot->cancel = false;
    raise("browser:beforenavigate", id, false);
    raise("browser:_beforenavigate", id, true);
    slot = live(id);
    return !(slot && slot->cancel);
}

bool BrowserFamily::new_window(int id)
{
    BrowserSlot* slot = live(id);
    if (!slot)
        return false;
    raise("browser:newwindow", id, false);
    if ((slot = live(id)) == nullptr)
        return false;
    return !(weblib::has_scheme(slot->current_url, "ruk:") || weblib::has_scheme(slot->current_url, "vop:") ||
             slot->new_window_mode == '0');
}

void BrowserFamily::navigate_complete(int id, const std::string& url)
{
    if (BrowserSlot* slot = live(id))
        slot->current_url = url;
    raise("browser:_navigatecomplete", id, true);
    raise("browser:navigatecomplete", id, false);
}

void BrowserFamily::document_complete(int id)
{
    raise("browser:documentcomplete", id, false);
    raise("browser:_documentcomplete", id, true);
}

void BrowserFamily::status_change(int id, const std::string& text)
{
    BrowserSlot* slot = live(id);
    if (!slot || m_engine.stopped())
        return;
    slot->status_text = std::string(trim_blanks(text));
    raise("browser:statuschange", id, false);
    raise("browser:_statuschange", id, true);
}

void BrowserFamily::title_change(int id)
{
    raise("browser:titlechange", id, true);
    raise("browser:_titlechange", id, true, true);
}

void BrowserFamily::download_begin(int id) { raise("browser:download:begin", id, false); }
void BrowserFamily::download_complete(int id) { raise("browser:download:complete", id, false); }

void BrowserFamily::download_progress(int id, int32_t current, int32_t maximum)
{
    BrowserSlot* slot = live(id);
    if (!slot)
        return;
    slot->progress = current;
    slot->progress_max = maximum;
    raise("browser:download:progress", id, false);
}

bool BrowserFamily::navigate_error(int id, const std::string& frame, int32_t status)
{
    BrowserSlot* slot = live(id);
    if (!slot)
        return false;
    m_event_frame = frame;
    m_error_status = status;
    slot->cancel = false;
    raise("browser:navigate:error", id, true);
    slot = live(id);
    return slot && slot->cancel;
}

void BrowserFamily::client_to_host_window(int id) { raise("browser:clienttohostwindow", id, false); }

} // namespace

void register_browser_family(Engine& engine, BrowserHost* browsers, WindowHost& windows, BitmapReferences& bitmaps,
                             const int32_t* right_click_mode)
{
    std::shared_ptr<BrowserHost> none;
    if (!browsers) {
        none = std::make_shared<NoBrowsers>();
        browsers = none.get();
    }
    auto family = std::make_shared<BrowserFamily>(engine, *browsers, windows, bitmaps);
    family->set_right_click_mode_source(right_click_mode);
    engine.register_family("browser", [family, none](Engine& e) -> Result { return family->handle(e); });
}

} // namespace ruk
