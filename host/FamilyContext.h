// Everything a command family may use, handed to it once at start-up.
#pragma once

namespace ruk {

class Engine;
class Registry;
class X11Desktop;
class WindowHost;
class InputHost;
class BitmapHost;
class SystemServices;
class ApplicationServices;
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
    // The windows' backing bitmaps for the draw family; null gives the draw
    // family a bitmap of its own for the engine window and no other windows.
    BitmapHost* bitmaps = nullptr;
};

} // namespace ruk
