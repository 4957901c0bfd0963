// The face of the editor plugin: one editor control as the engine drives it.
#pragma once

#include <cstdint>

class QWidget;

namespace ruk {

// The editor library is a plugin the engine opens only when a script first
// creates an editor, so that the engine starts without it. The plugin makes
// controls through one C function and the engine drives them through this
// class; the control is a child widget of a script window and goes with it.
class EditorControl {
public:
    virtual ~EditorControl() = default;
    virtual QWidget* widget() = 0;
    // A message with its raw parameters, exactly as the control takes them.
    virtual intptr_t send(uint32_t message, uintptr_t word, intptr_t value) = 0;
};

// Called by the control for every notification it reports (paints aside),
// synchronously, from inside the control.
using EditorNotifyFunction = void (*)(void* context, int code, int character);
using CreateEditorFunction = EditorControl* (*)(QWidget* parent, EditorNotifyFunction notify, void* context);

// The plugin's one exported function, of type CreateEditorFunction.
constexpr const char* CreateEditorSymbol = "ruk_create_editor";
// The plugin's file, looked for beside the engine's executable.
constexpr const char* EditorPluginFile = "librukscintilla.so";

} // namespace ruk
