// Editor controls for scripts: the editor plugin opened on first use, its controls in script windows.
#include "host/QtEditorHost.h"
#include "host/ModuleFolder.h"

#include "system/DynamicLibrary.h"

#include <QTimer>

namespace ruk {

QtEditorHost::QtEditorHost(std::function<QWidget*(int)> window_widget, std::string plugin_path)
    : m_window_widget(std::move(window_widget)),
      m_library(std::make_unique<DynamicLibrary>(std::move(plugin_path), "the editor controls")),
      m_slots(Slots), m_context(std::make_unique<QObject>())
{
}

QtEditorHost::~QtEditorHost()
{
    for (Slot& s : m_slots)
        delete s.widget.data();
}

std::string QtEditorHost::default_plugin_path()
{
    return find_module(EditorPluginFile).value_or(EditorPluginFile);
}

bool QtEditorHost::load()
{
    return m_library->open([this](DynamicLibrary& library) {
        void* address = nullptr;
        library.symbol(address, CreateEditorSymbol);
        m_create = reinterpret_cast<CreateEditorFunction>(address);
    });
}

bool QtEditorHost::create(int slot, int window, const WindowRect& place)
{
    if (slot < 0 || slot >= Slots || !load() || !m_create)
        return false;
    QWidget* parent = m_window_widget ? m_window_widget(window) : nullptr;
    if (!parent)
        return false;
    Slot& s = m_slots[static_cast<size_t>(slot)];
    // A slot holds one control: the one it held before goes.
    delete s.widget.data();
    s.source = std::make_unique<Source>(Source{this, slot, window});
    s.control = m_create(parent, &QtEditorHost::notified, s.source.get());
    s.widget = s.control ? s.control->widget() : nullptr;
    if (!s.widget) {
        s.control = nullptr;
        return false;
    }
    s.widget->setGeometry(place.left, place.top, std::max(0, place.width), std::max(0, place.height));
    s.widget->show();
    return true;
}

EditorControl* QtEditorHost::live(int slot) const
{
    if (slot < 0 || slot >= Slots)
        return nullptr;
    const Slot& s = m_slots[static_cast<size_t>(slot)];
    return s.widget ? s.control : nullptr;
}

bool QtEditorHost::exists(int slot) const
{
    return live(slot) != nullptr;
}

QWidget* QtEditorHost::editor_widget(int slot) const
{
    EditorControl* control = live(slot);
    return control ? control->widget() : nullptr;
}

void QtEditorHost::place(int slot, const WindowRect& place)
{
    if (QWidget* w = editor_widget(slot)) {
        w->setGeometry(place.left, place.top, std::max(0, place.width), std::max(0, place.height));
        w->repaint();
    }
}

void QtEditorHost::set_focus(int slot)
{
    if (QWidget* w = editor_widget(slot))
        w->setFocus(Qt::OtherFocusReason);
}

std::optional<intptr_t> QtEditorHost::send(int slot, uint32_t message, uintptr_t word, intptr_t value)
{
    EditorControl* control = live(slot);
    if (!control)
        return std::nullopt;
    return control->send(message, word, value);
}

void QtEditorHost::set_notification_sink(std::function<void(const EditorNotification&)> sink)
{
    m_sink = std::move(sink);
}

void QtEditorHost::notified(void* context, int code, int character)
{
    auto* source = static_cast<Source*>(context);
    QtEditorHost* host = source->host;
    const EditorNotification n{source->slot, source->window, code, character};
    // A notification with a character is the user's input (a key typed, an
    // entry chosen): each one counts, however fast they come.
    if (n.character == 0)
        for (const EditorNotification& w : host->m_waiting)
            if (w.slot == n.slot && w.code == n.code && w.character == 0)
                return;
    host->m_waiting.push_back(n);
    if (host->m_waiting.size() == 1)
        QTimer::singleShot(0, host->m_context.get(), [host] { host->deliver(); });
}

// What a script does here may notify again: that starts a new list.
void QtEditorHost::deliver()
{
    std::vector<EditorNotification> now;
    now.swap(m_waiting);
    for (const EditorNotification& n : now)
        if (m_sink)
            m_sink(n);
}

} // namespace ruk
