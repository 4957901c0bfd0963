// The "system" family: questions about the machine and the engine, programs, message boxes and start-up switches.
#pragma once

#include "graphics/Clipboard.h"
#include "system/MachineInfo.h"
#include "system/MessageBox.h"
#include "system/ProcessSlots.h"

#include <string>

namespace ruk {

class Engine;
class BitmapReferences;
struct HostState;

// What the family needs from the running engine or its desktop. The engine
// gives the Qt version; rukc run and the tests give the headless one.
class SystemServices {
public:
    virtual ~SystemServices() = default;
    // Handles every window message waiting in the engine's queue, running the
    // events they raise, then returns.
    virtual void process_events() = 0;
    // The desktop's default sound.
    virtual void beep() = 0;
    // Bits per pixel of the engine window's surface.
    virtual int colour_depth() = 0;
    // Engines running now, this one included (holders of the global instance semaphore).
    virtual int count_engines() = 0;
    // Full path of the running engine executable.
    virtual std::string engine_file_name() = 0;
};

// No desktop: nothing to process, a silent beep, 24-bit colour, one engine.
class HeadlessSystemServices : public SystemServices {
public:
    void process_events() override {}
    void beep() override {}
    int colour_depth() override { return 24; }
    int count_engines() override { return 1; }
    std::string engine_file_name() override;
};

// Registers "system". The family keeps its own state (process slots, loaded
// libraries, the last system error) for as long as the engine keeps the
// handler; letting it go reaps the ended programs and unloads the libraries.
// `state`, `services`, `clipboard` and `bitmaps` must outlive the engine's
// handler table.
void register_system_family(Engine& engine, HostState& state, SystemServices& services, Clipboard& clipboard,
                            BitmapReferences& bitmaps);

} // namespace ruk
