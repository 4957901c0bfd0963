// Editor controls for scripts: the editor plugin opened on first use, its controls in script windows.
#pragma once

#include "host/EditorControl.h"
#include "system/EditorHost.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ruk {

class DynamicLibrary;

// The plugin (EditorControl.h) is opened the first time a script creates an
// editor and stays loaded; when it or the editor library it needs is
// missing, no editor can be created. A slot holds its control until the
// slot is given a new one or the control's window closes (the control is a
// child widget and goes with it).
//
// Notifications arrive from inside a control, where no script may run. They
// wait in a list that the event loop hands to the sink in order; a
// notification without a character that is already waiting (same slot and
// code) is not added again, so a burst of changes made by one command costs
// a few events. Notifications with a character (typed keys, chosen list
// entries) are never merged: keys typed faster than the loop turns, a
// repeated one too, each reach the script.
class QtEditorHost : public EditorHost {
public:
    // `window_widget` gives the widget of a script window (null for none);
    // `plugin_path` is the plugin file to open.
    QtEditorHost(std::function<QWidget*(int)> window_widget, std::string plugin_path);
    ~QtEditorHost() override;

    bool load() override;
    bool create(int slot, int window, const WindowRect& place) override;
    bool exists(int slot) const override;
    void place(int slot, const WindowRect& place) override;
    void set_focus(int slot) override;
    std::optional<intptr_t> send(int slot, uint32_t message, uintptr_t word, intptr_t value) override;
    void set_notification_sink(std::function<void(const EditorNotification&)> sink) override;

    // The control's widget in a slot, or null (tests read it back).
    QWidget* editor_widget(int slot) const;
    // The plugin beside the running executable.
    static std::string default_plugin_path();

private:
    // What a control's notifications need to say where they come from.
    struct Source {
        QtEditorHost* host = nullptr;
        int slot = 0;
        int window = 0;
    };
    struct Slot {
        QPointer<QWidget> widget;
        EditorControl* control = nullptr;
        std::unique_ptr<Source> source;
    };
    static void notified(void* context, int code, int character);
    void deliver();
    EditorControl* live(int slot) const;

    std::function<QWidget*(int)> m_window_widget;
    std::unique_ptr<DynamicLibrary> m_library;
    CreateEditorFunction m_create = nullptr;
    std::vector<Slot> m_slots;
    std::function<void(const EditorNotification&)> m_sink;
    std::vector<EditorNotification> m_waiting;
    std::unique_ptr<QObject> m_context; // ends a pending delivery with the host
};

} // namespace ruk
