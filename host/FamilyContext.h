// Everything a command family may use, handed to it once at start-up.
#pragma once

#include <memory>

namespace ruk {

class Engine;
class Registry;
class X11Desktop;
class WindowHost;
class InputHost;
class FileDialogs;
class Clipboard;
class BitmapReferences;
class MenuHost;
class EditorHost;
class SystemServices;
class ApplicationServices;
class BrowserHost;
struct HostState;
struct Session;

// Made once by whoever runs scripts (the engine, rukc run, the test
// harness) and passed to every family's registration. Families keep
// references into it, so everything it names outlives the engine's
// dispatcher table. Without a display, `desktop` gives neutral answers and
// `windows` has no windows; the families need no other switch for that.
struct FamilyContext {
    Engine& engine;
    HostState& state;
    Session& session;                 // the running package: header, folders
    Registry& settings;               // the settings store
    SystemServices& system;           // the engine's answers to the system family
    ApplicationServices& application; // ending, titles, starting other engines
    X11Desktop& desktop;              // other programs' windows, messages between engines
    WindowHost& windows;              // the window table
    InputHost& input;                 // cursors, key table, screen and pointer
    FileDialogs& dialogs;             // file and folder selection (cancelled without a desktop)
    Clipboard& clipboard;             // the desktop's clipboard
    // The bitmaps scripts name ("main", window indexes, -1 to -256), one
    // table for the draw, window, screen and system families.
    BitmapReferences& bitmaps;
    MenuHost& menus;                  // shows pop-up menus (closes them at once without a desktop)
    // The editor controls; null gives the "sci" family none (every create answers "0").
    EditorHost* editors = nullptr;
    // The embedded browsers; null where none can run.
    BrowserHost* browsers = nullptr;
};

} // namespace ruk
